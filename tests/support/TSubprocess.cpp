#include "TSubprocess.h"

#include "TestWait.h"

#include <QElapsedTimer>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kxtest {

TSubprocess::TSubprocess(const QString& program, const QStringList& arguments,
                         const QString& errorFile) {
    // Close-on-exec, so that a later child does not hold this one's pipe open.
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    std::vector<QByteArray> storage{program.toLocal8Bit()};
    for (const QString& a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray errorPath = errorFile.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    if (!errorFile.isEmpty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.constData(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        FPid = pid;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    FOutput = pipeFds[0];
}

TSubprocess::~TSubprocess() {
    if (FPid > 0) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
    }
    if (FOutput >= 0)
        close(FOutput);
}

QString TSubprocess::ReadLine(int ms) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (const qsizetype end = FBuffer.indexOf('\n'); end >= 0) {
            const QByteArray line = FBuffer.left(end);
            FBuffer.remove(0, end + 1);
            return QString::fromLocal8Bit(line);
        }
        const qint64 left = ms - timer.elapsed();
        pollfd p{FOutput, POLLIN, 0};
        if (FOutput < 0 || left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
            return {};
        char chunk[256];
        const ssize_t n = read(FOutput, chunk, sizeof chunk);
        if (n <= 0)
            return {};
        FBuffer.append(chunk, n);
    }
}

int TSubprocess::Stop(int signal, int ms) {
    if (FPid <= 0)
        return FExitCode;
    kill(FPid, signal);
    int status = 0;
    pid_t done = 0;
    PollUntil([&] { return (done = waitpid(FPid, &status, WNOHANG)) != 0; }, ms);
    if (done == 0) {
        kill(FPid, SIGKILL);
        waitpid(FPid, &status, 0);
    }
    FPid = -1;
    FExitCode = done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return FExitCode;
}

} // namespace kxtest
