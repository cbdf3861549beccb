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
        QStringList arguments{"--defs", kxtest::SourcePath(defs), "--tcp", "0"};
        if (port != 0) {
            FHome.emplace().Map(port, Pty());
            arguments << "--pty" << Pty();
        }
        FProcess = std::make_unique<kxtest::TSubprocess>(KX_SIM_BINARY, arguments + options);
        // One ready line per link, TCP first.
        FLink = FProcess->ReadLine(10000).section(' ', 2, 2);
        FReady = !FLink.isEmpty();
        for (qsizetype n = (arguments + options).count("--pty"); n > 0; --n)
            FReady = FReady && FProcess->ReadLine(10000).startsWith("ready pty ");
    }
    bool Ready() const { return FReady; }
    QString Link() const { return FLink; }
    QString Pty() const { return FDir.filePath("drive"); }
    CliRun Run(const QStringList& arguments) const {
        return Kx720(QStringList{"--tcp", FLink} + arguments);
    }

private:
    QTemporaryDir FDir;
    std::optional<kxtest::TConfigHome> FHome;
    std::unique_ptr<kxtest::TSubprocess> FProcess;
    QString FLink;
    bool FReady = false;
};
