#include "support/SimProcess.h"
#include "support/PendingLines.h"

#include <QByteArray>
#include <QVector>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ignivex::test {

SimProcess::SimProcess(const QString& program, const QStringList& arguments) {
    int in[2];
    int out[2];
    if (::pipe(in) != 0)
        return;
    if (::pipe(out) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    ::posix_spawn_file_actions_addclose(&actions, in[1]);
    ::posix_spawn_file_actions_addclose(&actions, out[0]);

    QList<QByteArray> args{program.toLocal8Bit()};
    for (const QString& a : arguments)
        args << a.toLocal8Bit();
    QVector<char*> argv;
    for (QByteArray& a : args)
        argv << a.data();
    argv << nullptr;
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (rc != 0) {
        pid_ = -1;
        return;
    }
    device_ = readLine(10000);
}

SimProcess::~SimProcess() {
    stop();
}

QString SimProcess::readLine(int ms) {
    for (;;) {
        if (auto line = takeLine(pending_))
            return *line;
        pollfd p{fromChild_, POLLIN, 0};
        if (fromChild_ < 0 || ::poll(&p, 1, ms) <= 0)
            return {};
        char buffer[1024];
        const ssize_t n = ::read(fromChild_, buffer, sizeof buffer);
        if (n <= 0)
            return {};
        pending_.append(buffer, n);
    }
}

QString SimProcess::command(const QString& line, int ms) {
    if (toChild_ < 0)
        return {};
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    if (::write(toChild_, bytes.constData(), size_t(bytes.size())) != bytes.size())
        return {};
    return readLine(ms);
}

void SimProcess::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
    if (toChild_ >= 0)
        ::close(toChild_);
    if (fromChild_ >= 0)
        ::close(fromChild_);
    toChild_ = fromChild_ = -1;
}

}  // namespace ignivex::test
