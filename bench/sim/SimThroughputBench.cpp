// Requests served per second by kx720-sim over TCP loopback with one client,
// each request waiting for its reply before the next.

#include "TestSupport.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

using namespace kxtest;

namespace {

void Exchange(benchmark::State& state, const TBytes& pdu) {
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    if (!sim.Ready()) {
        state.SkipWithError("kx720-sim did not start");
        return;
    }
    RawTcpClient client(sim.TcpPort());
    for (auto _ : state) {
        const auto reply = client.Transact(2, pdu);
        if (!reply) {
            state.SkipWithError("no reply");
            break;
        }
        benchmark::DoNotOptimize(reply->data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TcpReadFrequency(benchmark::State& state) {
    Exchange(state, {0x03, 0x00, 0x18, 0x00, 0x01});
}
void BM_TcpReadLiveBlock(benchmark::State& state) {
    Exchange(state, {0x03, 0x00, 0x00, 0x00, 0x1C});
}
void BM_TcpWriteKeepAlive(benchmark::State& state) {
    Exchange(state, {0x10, 0x00, 0x1D, 0x00, 0x01, 0x02, 0x27, 0x10});
}
void BM_TcpIdentify(benchmark::State& state) {
    Exchange(state, {0x41});
}

BENCHMARK(BM_TcpReadFrequency)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_TcpReadLiveBlock)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_TcpWriteKeepAlive)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_TcpIdentify)->MinTime(1.0)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
