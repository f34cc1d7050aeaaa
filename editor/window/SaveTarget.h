#pragma once
// Writing an encoded image under a name nobody else holds: the bytes go to a temporary
// file in the folder, which is then hard-linked to "<base>.<ext>", "<base> 2.<ext>", ...;
// a name that exists (EEXIST) moves on to the next number, so another editor or an
// automatic save picking the same name at the same moment never loses its file. Safe on
// any thread.

#include <QByteArray>
#include <QString>

namespace kx {

struct SaveResult {
    QString path;   // the file written; empty on failure
    QString error;  // why it failed (system text), empty on success
    bool ok() const { return !path.isEmpty(); }
};

// Candidate n (1-based): "<base>.<ext>" for 1, "<base> <n>.<ext>" from 2.
QString candidateName(const QString& base, const QString& ext, int n);
// Writes `bytes` into `folder` (created if missing) under the first free candidate.
SaveResult saveExclusively(const QString& folder, const QString& base, const QString& ext,
                           const QByteArray& bytes);

}  // namespace kx
