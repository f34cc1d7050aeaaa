#pragma once

namespace kx {

// SIGTERM, SIGINT and SIGHUP end the process like Quit: the event loop quits, so aboutToQuit
// handlers (pending history and queue writes) still run. Call once, after the
// QCoreApplication exists.
void installQuitOnTerminationSignals();

}  // namespace kx
