#pragma once
// Why a grab failed, with a localised message for the "Capture failed" toast, and a small
// result-or-error holder for the grabbing calls.
#include <QString>
#include <utility>
#include <variant>

namespace kx {

class CaptureError {
public:
    enum class Kind { failed, noPermission, noDisplay, noWindow };

    static CaptureError failed(const QString& text) { return CaptureError(Kind::failed, text); }
    static CaptureError noPermission() { return CaptureError(Kind::noPermission, {}); }
    static CaptureError noDisplay() { return CaptureError(Kind::noDisplay, {}); }
    static CaptureError noWindow() { return CaptureError(Kind::noWindow, {}); }

    Kind kind() const { return kind_; }
    // The text carried by `failed` (empty for the other kinds).
    const QString& text() const { return text_; }
    // The message shown to the user, in the current interface language.
    QString message() const;

    bool operator==(const CaptureError&) const = default;

private:
    CaptureError(Kind kind, QString text) : kind_(kind), text_(std::move(text)) {}
    Kind kind_;
    QString text_;
};

// A value or the CaptureError that prevented it.
template <typename T>
class Captured {
public:
    Captured(T value) : v_(std::move(value)) {}             // NOLINT(google-explicit-constructor)
    Captured(CaptureError error) : v_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    bool hasValue() const { return v_.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    // Only when hasValue().
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }

    // Only when !hasValue().
    const CaptureError& error() const { return std::get<1>(v_); }

private:
    std::variant<T, CaptureError> v_;
};

}  // namespace kx
