#pragma once
// Runs kxtestwin (a separate X client) for a desktop test.
#include "ChildProcess.h"

namespace kx::test {

class TestClient : public ChildProcess {
public:
    explicit TestClient(const QStringList& args) : ChildProcess(QStringLiteral(KX_TESTWIN), args) {}
};

}  // namespace kx::test
