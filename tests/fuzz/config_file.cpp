// The ".720" configuration file as an import reads it, into the values of the
// category "ExportFile". A file either loads or raises the project's error
// with its text; what loaded must save and load again to the same file.
#include "FuzzInput.h"
#include "NvConfigFile.h"
#include "TnvConfigJob.h"
#include "TnvError.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

struct TState {
    QTemporaryDir Dir{kxfuzz::MemoryFolder()};
    TnvConfigJob Job;
    QString File = Dir.filePath(QStringLiteral("input.720"));
};

TState* State = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv); // lives as long as the process
    State = new TState;
    const QString failure = State->Job.Load(QStringLiteral(KX_FUZZ_SOURCE_DIR "/data"),
                                            QStringLiteral("VF_Parameters_v207.ini"));
    kxfuzz::Require(failure.isEmpty(), "the definitions load");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kxfuzz::WriteInput(State->File, data, size);
    try {
        State->Job.LoadFile(State->File);
    } catch (const TnvError& e) {
        kxfuzz::Require(!e.Message().isEmpty(), "a refused file says why");
        return 0;
    }
    // What an import took from the file is what an export writes again.
    const QStringList saved = nv::ConfigFileLines(State->Job.Values());
    nv::TnvConfigKeys keys;
    keys.SetLines(saved);
    try {
        nv::ApplyConfigKeys(State->Job.Values(), keys);
    } catch (const TnvError&) {
        kxfuzz::Broken("a saved configuration loads again");
    }
    kxfuzz::Require(nv::ConfigFileLines(State->Job.Values()) == saved,
                    "a configuration survives a save and a load");
    return 0;
}
