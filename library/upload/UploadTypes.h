#pragma once
// Records shared by the uploader, its transports and the retry queue.

#include "core/Enums.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace kx {

// A failed upload step; `message` is already localised and is what the user reads.
struct UploadError {
    QString message;
};

// A value or the upload error that prevented it.
template <class T>
class Outcome {
public:
    Outcome() : v_(UploadError{}) {}
    Outcome(T value) : v_(std::move(value)) {}
    Outcome(UploadError error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    const T& value() const { return std::get<0>(v_); }
    const UploadError& error() const { return std::get<1>(v_); }
    QString message() const { return ok() ? QString() : error().message; }

private:
    std::variant<T, UploadError> v_;
};

// Everything a finished child printed, decoded as UTF-8, and how it exited.
struct ProcessOutput {
    QString out;
    QString err;
    int exitCode = 0;
};

// The parsed server description, built anew for every upload or test.
struct Endpoint {
    QString scheme;  // "https"/"http" (WebDAV), "ftp", "sftp"
    QString host;    // never empty; an IPv6 address without brackets
    std::optional<int> port;
    QStringList basePath;  // WebDAV only
    QStringList folder;
    bool absolute = false;  // the folder setting began with "/"

    bool operator==(const Endpoint&) const = default;
};

// The `remote.*` settings of one upload, read once at its start.
struct UploadSettings {
    RemoteProtocol protocol = RemoteProtocol::webdav;
    QString host;
    QString folder;
    QString user;
    QString keyPath;
    QString publicURL;
    std::optional<qint64> port;

    static UploadSettings fromPrefs();
};

}  // namespace kx
