#pragma once

#include "TProgramRun.h"
#include "TestFiles.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using CliRun = kxtest::TProgramRun;
using kxtest::RunProgram;

inline CliRun Kx720(const QStringList& arguments, const QString& folder = {}) {
    return RunProgram(KX_CLI_BINARY, arguments, folder);
}

// kx720-sim on a free TCP port, and on a pty of its own that COM port of a
// private ports.ini names when port is not 0, for the life of the object.
class CliSim {
public:
    explicit CliSim(const QStringList& options = {}, int port = 0,
                    const QString& defs = "data/VF_Parameters_v207.ini") {
        QStringList arguments =
            QStringList{"--defs", kxtest::SourcePath(defs), "--tcp", "0"} + options;
        if (port != 0) {
            FHome.emplace().Map(port, Pty());
            arguments << "--pty" << Pty();
        }
        FSim = std::make_unique<kxtest::TSimProcess>(arguments, 1 + arguments.count("--pty"));
    }
    bool Ready() const { return FSim->Ready(); }
    QString Link() const { return QStringLiteral("127.0.0.1:%1").arg(FSim->TcpPort()); }
    QString Pty() const { return FDir.filePath("drive"); }
    CliRun Run(const QStringList& arguments) const {
        return Kx720(QStringList{"--tcp", Link()} + arguments);
    }

private:
    QTemporaryDir FDir;
    std::optional<kxtest::TConfigHome> FHome;
    std::unique_ptr<kxtest::TSimProcess> FSim;
};
