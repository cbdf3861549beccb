// Per-exchange cost of reads through TnvMBThread against a plain libmodbus
// read loop on the same TCP loopback peer, and the CPU an idle connected
// thread costs with the terminal's 19 cyclic live values.

#include "TnvMBThread.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <modbus.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRegisters = 4096;

// A libmodbus TCP slave on a thread of its own, serving one client after
// another until it is destroyed.
class TLoopbackSlave {
public:
    TLoopbackSlave() {
        FContext = modbus_new_tcp("127.0.0.1", 0);
        FMapping = modbus_mapping_new(0, 0, kRegisters, 0);
        for (int i = 0; i < kRegisters; ++i)
            FMapping->tab_registers[i] = static_cast<uint16_t>(0x1000 + i);
        FListen = socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(FListen, reinterpret_cast<sockaddr*>(&address), size);
        getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &size);
        FPort = ntohs(address.sin_port);
        listen(FListen, 2);
        FThread = std::thread([this] { Serve(); });
    }

    ~TLoopbackSlave() {
        shutdown(FListen, SHUT_RDWR);
        close(FListen);
        FThread.join();
        modbus_mapping_free(FMapping);
        modbus_free(FContext);
    }

    int Port() const { return FPort; }

private:
    // One thread per client, each with a context of its own; the register
    // map is only read.
    void Serve() {
        std::vector<std::thread> clients;
        for (;;) {
            const int client = accept(FListen, nullptr, nullptr);
            if (client < 0)
                break;
            clients.emplace_back([this, client] {
                modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
                modbus_set_socket(ctx, client);
                uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
                for (;;) {
                    const int rc = modbus_receive(ctx, query);
                    if (rc < 0)
                        break;
                    if (rc > 0)
                        modbus_reply(ctx, query, rc, FMapping);
                }
                close(client);
                modbus_free(ctx);
            });
        }
        for (std::thread& t : clients)
            t.join();
    }

    modbus_t* FContext;
    modbus_mapping_t* FMapping;
    int FListen;
    int FPort = 0;
    std::thread FThread;
};

QString Definitions(const QString& folder, int count) {
    QString text = "[Categories]\nRam=0/" + QString::number(count - 1) + "\n";
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("[Par-%1]\nRegAddr=%1\nRegQtty=1\nRegProg=%1\nName=P%1\nDescr=P%1\n"
                               "Type=3\nUnsigned=1\nReadonly=0\nFormatNorm=1\nFormatString=0\n")
                    .arg(i);
    const QString path = folder + "/defs.ini";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
}

// A value set of count cyclic values on a started thread to port.
struct TThreadRig {
    QTemporaryDir Dir;
    TnvParDefSet Defs;
    TnvParValueSet Set;
    TnvMBThread Thread;
    long Received = 0;

    TThreadRig(int port, int count) {
        Defs.LoadFromFile(Definitions(Dir.path(), count));
        Set.AddParBindsFromIdxList(&Defs, QStringLiteral("0/%1").arg(count - 1));
        Set.SetSlaveAddress(1);
        for (const auto& value : Set.GetValues()) {
            value->OnReceive = [this](TnvParValue*, bool) {
                ++Received;
            };
            value->SetCyclic(true);
        }
        Thread.Settings.Name = "TCP";
        Thread.Settings.ConnType = TnvMBSetup::kTcpIp;
        Thread.Settings.TCPIPPort = port;
        Thread.Settings.Enabled = true;
        Thread.Start();
        Thread.AddValueSet(&Set);
    }
    ~TThreadRig() { Thread.RemoveValueSet(&Set); }
};

// Runs the GUI thread's event loop for ms, sleeping while nothing happens.
void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Totals over every iteration, for the ratio printed at the end.
struct TTotal {
    double Ns = 0;
    double Reads = 0;
    double PerRead() const { return Reads > 0 ? Ns / Reads : 0; }
};
TTotal gPlain;
TTotal gThread;

// Both ways of reading, taking turns in windows of 300 ms against the same
// peer, so that both see the same machine load: a plain libmodbus loop, then
// the thread walking a set of 4000 cyclic values (a cycle lasts longer than
// 100 ms, so the thread never pauses). Reported per exchange.
void BM_ThreadVersusPlainLoop(benchmark::State& state) {
    TLoopbackSlave slave;
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", slave.Port());
    modbus_set_slave(ctx, 1);
    modbus_connect(ctx);
    TThreadRig rig(slave.Port(), 4000);
    Pump(300); // connected and past the first values
    rig.Thread.RemoveValueSet(&rig.Set);
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        long reads = 0;
        uint16_t value = 0;
        while (clock.elapsed() < 300) {
            modbus_read_registers(ctx, static_cast<int>(reads % kRegisters), 1, &value);
            ++reads;
        }
        gPlain.Ns += static_cast<double>(clock.nsecsElapsed());
        gPlain.Reads += static_cast<double>(reads);

        rig.Thread.AddValueSet(&rig.Set);
        Pump(50); // the pass under way when the set was added is not counted
        const long before = rig.Received;
        clock.restart();
        Pump(300);
        gThread.Ns += static_cast<double>(clock.nsecsElapsed());
        gThread.Reads += static_cast<double>(rig.Received - before);
        rig.Thread.RemoveValueSet(&rig.Set);
        Pump(20);
    }
    state.counters["plain_us"] = gPlain.PerRead() / 1000;
    state.counters["thread_us"] = gThread.PerRead() / 1000;
    state.counters["ratio"] = gThread.PerRead() / gPlain.PerRead();
    modbus_close(ctx);
    modbus_free(ctx);
}

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The terminal's live values: 19 cyclic 16-bit values read every cycle from
// a peer in another process, so that only the link's own CPU is counted.
void BM_IdleThreadCpu(benchmark::State& state) {
    QProcess peer;
    peer.start("/usr/bin/python3",
               {QStringLiteral(KX_SOURCE_DIR "/tests/modbus/peers/peer.py"), "tcp", "0"});
    while (!peer.canReadLine() && peer.waitForReadyRead(10000)) {
    }
    const int port = QString::fromLocal8Bit(peer.readLine()).trimmed().section(' ', 1, 1).toInt();
    {
        TThreadRig rig(port, 19);
        Pump(500);
        for (auto _ : state) {
            const long received = rig.Received;
            const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            const double gui0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            QElapsedTimer clock;
            clock.start();
            Pump(3000);
            const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
            const double gui = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - gui0;
            // The process: the worker plus the GUI thread handling 190
            // results a second; the worker: everything but the GUI thread.
            state.counters["cpu_percent_process"] = process / seconds * 100.0;
            state.counters["cpu_percent_worker"] = (process - gui) / seconds * 100.0;
            state.counters["reads_per_s"] = static_cast<double>(rig.Received - received) / 3.0;
        }
    }
    peer.kill();
    peer.waitForFinished();
}

} // namespace

BENCHMARK(BM_ThreadVersusPlainLoop)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleThreadCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const double plainNs = gPlain.PerRead();
    const double threadNs = gThread.PerRead();
    if (plainNs > 0 && threadNs > 0)
        std::printf("per exchange: plain libmodbus %.1f us, TnvMBThread %.1f us, ratio %.2f\n",
                    plainNs / 1000, threadNs / 1000, threadNs / plainNs);
    benchmark::Shutdown();
    return 0;
}
