// An HTML report template, with the shipped templates and fault database
// beside it for its includes and tables, filled from the values of the
// definitions file. A template either becomes text or raises the project's
// error with its text; the report stays within its bound.
#include "FuzzInput.h"
#include "TnvError.h"
#include "TnvParDefSet.h"
#include "TnvParValueSet.h"
#include "TnvReportHtml.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

struct TState {
    QTemporaryDir Dir{kxfuzz::MemoryFolder()};
    TnvParDefSet Defs;
    TnvParValueSet Values;
    TnvReportHtml Report;
    QString File = Dir.filePath(QStringLiteral("input.html"));
};

TState* State = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv); // lives as long as the process
    State = new TState;
    const QDir shipped(QStringLiteral(KX_FUZZ_REPORTS_DIR));
    for (const QString& name : shipped.entryList(QDir::Files))
        QFile::copy(shipped.filePath(name), State->Dir.filePath(name));
    TState& s = *State;
    kxfuzz::Require(s.Defs.LoadFromFile(QStringLiteral(KX_FUZZ_SOURCE_DIR "/data"),
                                        QStringLiteral("VF_Parameters_v207.ini")),
                    "the definitions load");
    for (const char* category : {"Ram", "EEProm", "Scope"})
        kxfuzz::Require(s.Defs.AddParDefCategory(category) &&
                            s.Values.AddParBindsCategory(&s.Defs, category),
                        "the values are made");
    s.Report.SetValueSet(&s.Values);
    s.Report.SetDatabaseName(s.Dir.filePath(QStringLiteral("faults.db")));
    s.Report.OnCondition = [](TnvReportHtml*, const QString& tag) {
        return tag.size() % 2 == 1;
    };
    s.Report.OnDescriptor = [](TnvReportHtml*, const QString& tag) {
        return tag;
    };
    s.Report.OnMessage = [](TnvReportHtml*, const QString& tag) {
        return tag.toUpper();
    };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kxfuzz::WriteInput(State->File, data, size);
    try {
        const QString report = State->Report.CompileModel(State->File);
        kxfuzz::Require(report.size() <= TnvReportHtml::kMaxReportChars, "a report is bounded");
    } catch (const TnvError& e) {
        kxfuzz::Require(!e.Message().isEmpty(), "a refused template says why");
    }
    return 0;
}
