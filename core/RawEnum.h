#pragma once
// String-backed enumerations: the raw value of a case is its name, written exactly.
// Each enumeration specialises RawNames<E> with its names in declaration order.

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <string_view>

namespace kx {

template <typename E>
struct RawNames;

template <typename E>
QString rawValue(E value)
{
    const auto& names = RawNames<E>::names;
    const auto i = static_cast<std::size_t>(value);
    return i < names.size() ? QString::fromLatin1(names[i].data(), qsizetype(names[i].size())) : QString();
}

// Exact, case-sensitive match of a raw value; anything else gives no value.
template <typename E>
std::optional<E> fromRaw(const QString& text)
{
    const auto& names = RawNames<E>::names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (text == QLatin1String(names[i].data(), qsizetype(names[i].size())))
            return static_cast<E>(i);
    }
    return std::nullopt;
}

template <typename E>
QList<E> allCases()
{
    QList<E> out;
    for (std::size_t i = 0; i < RawNames<E>::names.size(); ++i)
        out.append(static_cast<E>(i));
    return out;
}

}  // namespace kx
