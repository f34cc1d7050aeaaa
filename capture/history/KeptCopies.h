#pragma once
// The copies the history folder keeps aside because part of them could not be read: the index
// ("index.json.bad-<time>") and journals ("index.<x>.journal.bad-<time>"). They exist to save
// records the program could not read; a capture the user deleted must not live on in them.

#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

namespace kx {

// The kept copies in `dir` (plain files, no links), by name.
QStringList keptCopies(const QString& dir);

struct CopyCleaning {
    int rewritten = 0;   // copies written anew without the removed captures
    int dropped = 0;     // copies removed: nothing in them was still needed
    QStringList failed;  // copies that could not be read, rewritten or removed (left as they were)
    QString error;       // the system's reason for the first of them
};

// Takes the captures in `removed` out of every kept copy of `dir`. A record (an object of an
// index copy, a line of a journal copy) goes when its id is removed; an unreadable piece goes
// when it names a removed capture (of a piece between an index copy's records only its
// brackets, commas and blanks stay). Everything else stays byte for byte. A copy is removed
// when every readable record in it is in `indexed` and it holds nothing else that could still
// matter (blanks, brackets, commas, the start of a record cut before its id ended). Copies
// are read in pieces, never whole; each rewrite goes to a temporary file that is synced
// before it replaces the copy.
CopyCleaning forgetInKeptCopies(const QString& dir, const QSet<QUuid>& removed, const QSet<QUuid>& indexed);

}  // namespace kx
