#include "NvFormat.h"
#include "TnvIniFile.h"
#include "TnvMessageWindow.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

const QString kDefinitions = QStringLiteral(KX_SOURCE_DIR "/data/VF_Parameters_v207.ini");

// Opening the definitions file is what loading one parameter definition costs.
void OpenDefinitionsFile(benchmark::State& state) {
    for (auto _ : state) {
        TnvIniFile ini(kDefinitions);
        benchmark::DoNotOptimize(ini.ReadInteger("Par-10000", "RegAddr", 0));
    }
}
BENCHMARK(OpenDefinitionsFile);

void ReadEveryParameterSection(benchmark::State& state) {
    const TnvIniFile ini(kDefinitions);
    const QStringList sections = ini.ReadSections();
    for (auto _ : state) {
        for (const QString& section : sections)
            benchmark::DoNotOptimize(ini.ReadString(section, "FormatString", ""));
    }
    state.SetItemsProcessed(state.iterations() * sections.size());
}
BENCHMARK(ReadEveryParameterSection);

void FormatFloatPattern(benchmark::State& state) {
    double value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(nv::FormatFloat("#,##0.0;-#,##0.0;'zero'", value));
        value += 0.37;
    }
}
BENCHMARK(FormatFloatPattern);

void FormatDateTimePattern(benchmark::State& state) {
    nv::TDateTime value = 46000.25;
    for (auto _ : state) {
        benchmark::DoNotOptimize(nv::FormatDateTime("dd/mm/yyyy hh:nn:ss.zzz", value));
        value += 0.001;
    }
}
BENCHMARK(FormatDateTimePattern);

// 100,000 messages posted by a worker thread and handled on this thread.
void PostMessagesFromAWorker(benchmark::State& state) {
    constexpr int kCount = 100'000;
    for (auto _ : state) {
        int handled = 0;
        TnvMessageWindow window([&handled](unsigned, std::uintptr_t, std::intptr_t) { ++handled; });
        std::thread worker([&window] {
            for (int i = 0; i < kCount; ++i)
                window.Post(TnvMessageWindow::WM_USER + 1, i, 0);
        });
        while (handled < kCount)
            QCoreApplication::processEvents();
        worker.join();
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(PostMessagesFromAWorker)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
