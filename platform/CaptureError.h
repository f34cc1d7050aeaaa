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

    Kind kind() const { return m_kind; }
    // The text carried by `failed` (empty for the other kinds).
    const QString& text() const { return m_text; }
    // The message shown to the user, in the current interface language.
    QString message() const;

    bool operator==(const CaptureError&) const = default;

private:
    CaptureError(Kind kind, QString text) : m_kind(kind), m_text(std::move(text)) {}
    Kind m_kind;
    QString m_text;
};

// A value or the CaptureError that prevented it.
template <typename T>
class Captured {
public:
    Captured(T value) : m_v(std::move(value)) {}             // NOLINT(google-explicit-constructor)
    Captured(CaptureError error) : m_v(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    bool hasValue() const { return m_v.index() == 0; }
    explicit operator bool() const { return hasValue(); }

    // Only when hasValue().
    T& value() { return std::get<0>(m_v); }
    const T& value() const { return std::get<0>(m_v); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }

    // Only when !hasValue().
    const CaptureError& error() const { return std::get<1>(m_v); }

private:
    std::variant<T, CaptureError> m_v;
};

}  // namespace kx
