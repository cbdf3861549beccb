#include "TnvParDef.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <thread>

namespace {

const char* const kCategories[] = {"Ram", "EEProm", "Flash", "Scope", "Local", "ExportFile"};

// The start-up's work: the category table, then the definitions of every category.
void LoadDefinitionsFile(benchmark::State& state) {
    const QString folder = QStringLiteral(KX_SOURCE_DIR "/data");
    int definitions = 0;
    for (auto _ : state) {
        TnvParDefSet defs;
        defs.OnErrParDef = [](TnvParDefSet*, std::uint32_t) {
            throw std::runtime_error("a definition is missing");
        };
        if (!defs.LoadFromFile(folder, QStringLiteral("VF_Parameters_v207.ini")))
            state.SkipWithError("definitions file not found");
        for (const char* category : kCategories)
            defs.AddParDefCategory(QString::fromLatin1(category));
        definitions = defs.GetCountParDef();
    }
    state.counters["definitions"] = definitions;
}
BENCHMARK(LoadDefinitionsFile)->Unit(benchmark::kMillisecond);

// 100,000 results posted by a worker thread until the value set has handled
// them all on this thread. With loadFrames the worker first stores each reply
// in the value, as the exchange thread does (that includes reading the clock).
void PostResults(benchmark::State& state, bool loadFrames) {
    constexpr int kCount = 100'000;
    TnvParDef def;
    def.ParIndex = 24;
    def.Type = TnvParDef::tpInt16;
    def.FormatNorm = 0.1;
    def.FormatString = QStringLiteral("000.0");
    def.Valid = true;
    TnvParValueSet set;
    set.AddParBind(&def);
    TnvParValue* value = set.FindValue(24);
    int handled = 0;
    value->OnReceive = [&handled](TnvParValue* sender, bool) {
        benchmark::DoNotOptimize(sender->GetValueUShort(0));
        ++handled;
    };
    const auto w = reinterpret_cast<std::uintptr_t>(value);
    for (auto _ : state) {
        handled = 0;
        std::thread worker([&set, value, w, loadFrames] {
            for (int i = 0; i < kCount; ++i) {
                bool changed = false;
                if (loadFrames) {
                    const std::uint8_t frame[] = {2, 3, 2, static_cast<std::uint8_t>(i >> 8),
                                                  static_cast<std::uint8_t>(i)};
                    changed = value->LoadFromFrame(frame);
                }
                set.PostMessage(TnvParValueSet::kMsgReadDone, w, changed ? 1 : 0);
            }
        });
        while (handled < kCount)
            QCoreApplication::processEvents();
        worker.join();
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK_CAPTURE(PostResults, MessagesOnly, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PostResults, WithLoadFromFrame, true)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
