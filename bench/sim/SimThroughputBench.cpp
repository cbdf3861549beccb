// Requests served per second by kx720-sim over TCP loopback with one client,
// each request waiting for its reply before the next; and the same for a bare
// server of the same loop shape (EchoFloor.cpp), the floor.
//
// The machine is a VM whose idle vCPUs halt: a ping-pong between a client and
// a server on two idle vCPUs pays two wake-ups a request, which bounds it far
// below what the simulator can do. With argument one_cpu:1 the client pins
// itself to one CPU before the server is spawned (the child inherits it), so
// that the figure is the server's own throughput.

#include "TestSupport.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <sched.h>

using namespace kxtest;

namespace {

// Pins the calling thread, and the children it spawns from now on, to the
// first CPU it may run on, until the object goes.
class TOneCpu {
public:
    explicit TOneCpu(bool pin) {
        if (!pin || sched_getaffinity(0, sizeof FSaved, &FSaved) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &FSaved)) {
                CPU_SET(cpu, &one);
                break;
            }
        }
        FPinned = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~TOneCpu() {
        if (FPinned)
            sched_setaffinity(0, sizeof FSaved, &FSaved);
    }
    TOneCpu(const TOneCpu&) = delete;
    TOneCpu& operator=(const TOneCpu&) = delete;
    bool Failed(bool pin) const { return pin && !FPinned; }

private:
    cpu_set_t FSaved{};
    bool FPinned = false;
};

void Transact(benchmark::State& state, uint16_t port, const TBytes& pdu) {
    RawTcpClient client(port);
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

void Exchange(benchmark::State& state, const TBytes& pdu, bool oneCpu = false) {
    const TOneCpu pin(oneCpu);
    TSimProcess sim({"--tcp", "127.0.0.1:0"});
    if (pin.Failed(oneCpu) || !sim.Ready()) {
        state.SkipWithError(pin.Failed(oneCpu) ? "cannot pin to one CPU"
                                               : "kx720-sim did not start");
        return;
    }
    Transact(state, sim.TcpPort(), pdu);
}

void BM_TcpReadFrequency(benchmark::State& state) {
    Exchange(state, {0x03, 0x00, 0x18, 0x00, 0x01}, state.range(0) != 0);
}
// The same read against the floor.
void BM_TcpEchoFloor(benchmark::State& state) {
    const bool oneCpu = state.range(0) != 0;
    const TOneCpu pin(oneCpu);
    TSubprocess floor(QStringLiteral(KX_ECHO_FLOOR), {});
    const QString ready = floor.ReadLine(10000);
    if (pin.Failed(oneCpu) || !ready.startsWith(QStringLiteral("ready tcp "))) {
        state.SkipWithError(pin.Failed(oneCpu) ? "cannot pin to one CPU"
                                               : "the floor did not start");
        return;
    }
    Transact(state, static_cast<uint16_t>(ready.section(':', -1).toInt()),
             {0x03, 0x00, 0x18, 0x00, 0x01});
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

BENCHMARK(BM_TcpReadFrequency)->ArgName("one_cpu")->Arg(0)->Arg(1)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_TcpEchoFloor)->ArgName("one_cpu")->Arg(0)->Arg(1)->MinTime(1.0)->UseRealTime();
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
