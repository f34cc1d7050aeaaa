#pragma once
// The small string-backed enumerations shared by settings, capture, editor and upload.
#include "core/RawEnum.h"

namespace kx {

// Text form of a picked colour (setting `colorFormat`).
enum class ColorFormat { hex, hexLower, rgb, hsl, swiftUI };
template <>
struct RawNames<ColorFormat> {
    static constexpr std::array<std::string_view, 5> names{"hex", "hexLower", "rgb", "hsl", "swiftUI"};
};

// What the editor's copy button does (setting `copy.mode`).
enum class CopyMode { copy, copyAndClose };
template <>
struct RawNames<CopyMode> {
    static constexpr std::array<std::string_view, 2> names{"copy", "copyAndClose"};
};

// What is copied after an upload (setting `upload.copyFormat`).
enum class UploadCopyFormat { link, markdown, html };
template <>
struct RawNames<UploadCopyFormat> {
    static constexpr std::array<std::string_view, 3> names{"link", "markdown", "html"};
};

// The text put on the clipboard after a successful upload.
QString uploadCopyText(UploadCopyFormat format, const QString& url, const QString& alt);

// Upload transport (setting `remote.protocol`).
enum class RemoteProtocol { webdav, ftp, sftp };
template <>
struct RawNames<RemoteProtocol> {
    static constexpr std::array<std::string_view, 3> names{"webdav", "ftp", "sftp"};
};

// AI service (setting `ai.provider`).
enum class AIProvider { claude, openai };
template <>
struct RawNames<AIProvider> {
    static constexpr std::array<std::string_view, 2> names{"claude", "openai"};
};

// Saved-image format (setting `imageFormat`); the first case is the lossless one.
enum class ImageFormat { png, jpg, heic };
template <>
struct RawNames<ImageFormat> {
    static constexpr std::array<std::string_view, 3> names{"png", "jpg", "heic"};
};

// File extension (without dot) of a format: "png", "jpg", "heic".
inline QString fileExtension(ImageFormat f)
{
    return rawValue(f);
}

}  // namespace kx
