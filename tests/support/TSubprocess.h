#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <csignal>

namespace kxtest {

// A child process, killed and reaped when the object goes. Started with
// posix_spawn rather than QProcess: ThreadSanitizer loses track of the
// parent's locks after QProcess's vfork-style start.
class TSubprocess {
public:
    // Standard output comes back through ReadLine; standard error goes to
    // errorFile when one is named, else to the test's own.
    TSubprocess(const QString& program, const QStringList& arguments,
                const QString& errorFile = {});
    ~TSubprocess();
    TSubprocess(const TSubprocess&) = delete;
    TSubprocess& operator=(const TSubprocess&) = delete;

    bool Running() const { return FPid > 0; }
    int Pid() const { return FPid; }
    // The next line of the child's standard output, or a null string when
    // none comes within ms or the child closed it.
    QString ReadLine(int ms);
    // Sends signal and waits up to ms for the child to end, then kills it.
    // Returns its exit code, -1 when a signal ended it.
    int Stop(int signal = SIGTERM, int ms = 5000);

private:
    int FPid = -1;
    int FOutput = -1;
    int FExitCode = -1;
    QByteArray FBuffer;
};

} // namespace kxtest
