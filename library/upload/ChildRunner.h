#pragma once
// Runs curl or sftp as a child process without blocking the UI thread: the input is written
// and closed, both output channels are read as they come, and a child that runs past its
// time limit is killed with everything it started. A child dies with the process that started it.

#include "library/upload/UploadTypes.h"

#include <QByteArray>
#include <QFuture>
#include <QMap>

namespace kx {

struct ChildRequest {
    QString program;  // full path
    QStringList arguments;
    QMap<QString, QString> environment;  // added to (or replacing) the inherited one
    QByteArray input;
    int timeLimitMs = 300'000;
    // Any exit status gives the output (the caller judges it); a crash is still a failure.
    bool anyExitStatus = false;
    // The password the child was given: hidden in any reason made of what it printed.
    QString secret;
};

// Exit status 0 gives the output; anything else an UploadError with the child's last error
// lines, the exit-code text, the platform's reason it could not start, or the time-out text.
// Must be called on a thread with an event loop (the UI thread); the future finishes there.
QFuture<Outcome<ProcessOutput>> runChild(const ChildRequest& request);

// Kills every running child with everything it started (its process group): quitting must
// not leave an sftp with the password in its environment behind. Their futures never finish.
void endAllChildren();

}  // namespace kx
