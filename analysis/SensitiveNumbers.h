#pragma once
// Card numbers and IBANs that recognition put on two lines or split unevenly: found from the
// words of all lines together, the check digits deciding.

#include "analysis/SensitiveText.h"

#include <QList>
#include <QString>
#include <utility>
#include <vector>

namespace kx::sensitive {

// A part of a hit: a range of one reading's glued text.
struct Piece {
    std::size_t reading;
    Span range;
};

// The "card" and "iban" hits made of several pieces, each with its pieces, one per line.
QList<std::pair<QString, QList<Piece>>> splitNumbers(const std::vector<Reading>& rs);

}  // namespace kx::sensitive
