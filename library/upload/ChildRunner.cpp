#include "library/upload/ChildRunner.h"

#include "core/Localisation.h"
#include "library/upload/ProgramText.h"
#include "library/upload/UploadPlan.h"

#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>
#include <QProcess>
#include <QPromise>
#include <QSet>
#include <QTimer>
#include <csignal>

namespace kx {

namespace {

class ChildRun;

QSet<ChildRun*>& running()
{
    static QSet<ChildRun*> runs;
    return runs;
}

class ChildRun : public QObject {
public:
    explicit ChildRun(const ChildRequest& request) : request_(request)
    {
        running().insert(this);
        // A child that exits before reading its input must not end the application.
        std::signal(SIGPIPE, SIG_IGN);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (auto it = request.environment.cbegin(); it != request.environment.cend(); ++it)
            env.insert(it.key(), it.value());
        process_.setProcessEnvironment(env);
        process_.setProgram(request.program);
        process_.setArguments(request.arguments);
        // Its own process group, so a time-out also ends the ssh that sftp started. It dies
        // with this process however that ends (a kill or a crash too): no curl or sftp with
        // the password is left talking to the server. The signal follows the thread that
        // started the child, which is the UI thread, alive as long as the process.
        process_.setChildProcessModifier([parent = ::getpid()] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(127);  // this process ended before the line above
        });

        connect(&process_, &QProcess::started, this, [this] {
            process_.write(request_.input);
            process_.closeWriteChannel();
        });
        connect(&process_, &QProcess::readyReadStandardOutput, this,
                [this] { out_ += process_.readAllStandardOutput(); });
        connect(&process_, &QProcess::readyReadStandardError, this,
                [this] { err_ += process_.readAllStandardError(); });
        connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                finish(UploadError{process_.errorString()});
        });
        connect(&process_, &QProcess::finished, this, &ChildRun::onFinished);

        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &ChildRun::onTimeout);
    }

    QFuture<Outcome<ProcessOutput>> start()
    {
        auto future = promise_.future();
        promise_.start();
        timer_.start(std::max(1, request_.timeLimitMs));
        process_.start();
        return future;
    }

    ~ChildRun() override { running().remove(this); }

    // The child and everything in its process group.
    void killGroup()
    {
        const qint64 pid = process_.processId();
        if (pid > 0) {
            ::kill(-pid_t(pid), SIGKILL);
            ::kill(pid_t(pid), SIGKILL);
        }
    }

    void abandon()
    {
        done_ = true;
        timer_.stop();
        killGroup();
        process_.waitForFinished(1000);  // reaped, so no zombie outlives the quit
    }

private:
    void onTimeout()
    {
        timedOut_ = true;
        killGroup();
    }

    void onFinished(int exitCode, QProcess::ExitStatus status)
    {
        out_ += process_.readAllStandardOutput();
        err_ += process_.readAllStandardError();
        if (timedOut_) {
            finish(UploadError{upload::timedOutText()});
            return;
        }
        const QString out = QString::fromUtf8(out_);
        const QString err = QString::fromUtf8(err_);
        if (status == QProcess::NormalExit && (exitCode == 0 || request_.anyExitStatus))
            finish(ProcessOutput{out, err, exitCode});
        else
            finish(UploadError{upload::failureMessage(err, exitCode, Lang::current(), request_.secret)});
    }

    void finish(Outcome<ProcessOutput> result)
    {
        if (done_)
            return;
        done_ = true;
        timer_.stop();
        promise_.addResult(std::move(result));
        promise_.finish();
        deleteLater();
    }

    ChildRequest request_;
    QProcess process_;
    QTimer timer_;
    QPromise<Outcome<ProcessOutput>> promise_;
    QByteArray out_;
    QByteArray err_;
    bool timedOut_ = false;
    bool done_ = false;
};

}  // namespace

QFuture<Outcome<ProcessOutput>> runChild(const ChildRequest& request)
{
    return (new ChildRun(request))->start();
}

void endAllChildren()
{
    for (ChildRun* run : running().values())
        run->abandon();
}

}  // namespace kx
