#pragma once

#include "TestPaths.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kxtest {

// What a run of a program to its end gave.
struct TProgramRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
    qint64 Ms = 0;
};

// Runs program to its end in folder (the source's data folder by default,
// where kx720 finds its definitions).
inline TProgramRun RunProgram(const QString& program, const QStringList& arguments,
                              const QString& folder = {}) {
    QProcess process;
    process.setWorkingDirectory(folder.isEmpty() ? SourcePath("data") : folder);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError()), clock.elapsed()};
}

} // namespace kxtest
