// The cost of one read through TnvMBThread against a bare libmodbus read
// loop on the same in-process libmodbus slave, over TCP loopback and over a
// pty, timed exchange by exchange (median and 99th percentile); and the CPU
// and wake-ups an idle connected thread costs with the terminal's 19 cyclic
// live values, taking turns with the bare polling loop (PollFloor.cpp).

#include "TModbusSrv.h"
#include "TnvMBThread.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <modbus.h>
#include <mutex>
#include <netinet/in.h>
#include <numeric>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int kRegisters = 4096;
constexpr int kSlave = 1;
constexpr int kComPort = 1;
// A pass over this many values outlasts the cycle, so the thread never pauses.
constexpr int kPassValues = 4000;
constexpr int kWindowMs = 300;

modbus_mapping_t* NewMapping() {
    modbus_mapping_t* mapping = modbus_mapping_new(0, 0, kRegisters, 0);
    for (int i = 0; i < kRegisters; ++i)
        mapping->tab_registers[i] = static_cast<uint16_t>(0x1000 + i);
    return mapping;
}

// Answers requests on a connected descriptor with libmodbus until stop is
// readable or the peer goes.
void ServeClient(modbus_t* ctx, int fd, int stop, modbus_mapping_t* mapping) {
    modbus_set_socket(ctx, fd);
    modbus_set_slave(ctx, kSlave);
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || fds[1].revents != 0)
            return;
        const int rc = modbus_receive(ctx, query);
        if (rc < 0)
            return;
        if (rc > 0)
            modbus_reply(ctx, query, rc, mapping);
    }
}

// A libmodbus TCP slave on loopback, one thread per client.
class TTcpSlave {
public:
    TTcpSlave()
        : FMapping(NewMapping()) {
        pipe(FStop);
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
    ~TTcpSlave() {
        close(FStop[1]);
        shutdown(FListen, SHUT_RDWR);
        close(FListen);
        FThread.join();
        close(FStop[0]);
        modbus_mapping_free(FMapping);
    }
    int Port() const { return FPort; }

private:
    void Serve() {
        std::vector<std::thread> clients;
        for (;;) {
            const int client = accept(FListen, nullptr, nullptr);
            if (client < 0)
                break;
            clients.emplace_back([this, client] {
                modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
                ServeClient(ctx, client, FStop[0], FMapping);
                close(client);
                modbus_free(ctx);
            });
        }
        for (std::thread& t : clients)
            t.join();
    }

    modbus_mapping_t* FMapping;
    int FStop[2] = {-1, -1};
    int FListen = -1;
    int FPort = 0;
    std::thread FThread;
};

// An RTU slave on the master side of a pty; clients open Device(). It
// frames the requests itself, as libmodbus cannot frame the transport's line
// check (function 8), echoes line checks and lets libmodbus answer the rest.
// The slave keeps the device open itself, so that the line does not hang up
// between clients.
class TPtySlave {
public:
    TPtySlave()
        : FMapping(NewMapping()) {
        pipe(FStop);
        FMaster = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(FMaster);
        unlockpt(FMaster);
        FDevice = ptsname(FMaster);
        FHold = open(FDevice.c_str(), O_RDWR | O_NOCTTY);
        FThread = std::thread([this] { Serve(); });
    }
    ~TPtySlave() {
        close(FStop[1]);
        FThread.join();
        close(FHold);
        close(FMaster);
        close(FStop[0]);
        modbus_mapping_free(FMapping);
    }
    const std::string& Device() const { return FDevice; }

private:
    // Every request the benchmark sends is 8 bytes long (functions 3 and 8).
    void Serve() {
        modbus_t* ctx = modbus_new_rtu("/dev/null", 19200, 'E', 8, 1);
        modbus_set_socket(ctx, FMaster);
        modbus_set_slave(ctx, kSlave);
        std::vector<uint8_t> in;
        for (;;) {
            pollfd fds[2] = {{FMaster, POLLIN, 0}, {FStop[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 || fds[1].revents != 0)
                break;
            uint8_t chunk[256];
            const ssize_t n = read(FMaster, chunk, sizeof chunk);
            if (n <= 0)
                continue;
            in.insert(in.end(), chunk, chunk + n);
            while (in.size() >= 8) {
                if (in[1] == 0x08)
                    write(FMaster, in.data(), 8);
                else
                    modbus_reply(ctx, in.data(), 8, FMapping);
                in.erase(in.begin(), in.begin() + 8);
            }
        }
        modbus_free(ctx);
    }

    modbus_mapping_t* FMapping;
    int FStop[2] = {-1, -1};
    int FMaster = -1;
    int FHold = -1;
    std::string FDevice;
    std::thread FThread;
};

QString Definitions(const QString& folder, int count) {
    QString text = "[Categories]\nRam=0/" + QString::number(count - 1) + "\n";
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("[Par-%1]\nRegAddr=%2\nRegQtty=1\nRegProg=%1\nName=P%1\nDescr=P%1\n"
                               "Type=3\nUnsigned=1\nReadonly=0\nFormatNorm=1\nFormatString=0\n")
                    .arg(i)
                    .arg(i % kRegisters);
    const QString path = folder + "/defs.ini";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    return path;
}

// When each exchange of the thread's transport ended, as the worker saw it.
class TExchangeStamps {
public:
    void Add() {
        const auto now = TClock::now();
        std::lock_guard lock(FLock);
        FStamps.push_back(now);
    }
    // The intervals between consecutive exchanges that both ended within
    // [from, to], in microseconds: one read each, with all the worker does
    // around it.
    void CollectIntervals(TClock::time_point from, TClock::time_point to,
                          std::vector<double>& out) {
        std::lock_guard lock(FLock);
        for (size_t i = 1; i < FStamps.size(); ++i)
            if (FStamps[i - 1] >= from && FStamps[i] <= to)
                out.push_back(
                    std::chrono::duration<double, std::micro>(FStamps[i] - FStamps[i - 1]).count());
        FStamps.clear();
    }

private:
    std::mutex FLock;
    std::vector<TClock::time_point> FStamps;
};

// A value set of count cyclic values on a started thread, over TCP to port
// or, with port 0, over RTU on COM1. Stamped, the transport stamps each
// exchange; unstamped, it runs as in the terminal.
struct TThreadRig {
    QTemporaryDir Dir;
    TExchangeStamps Stamps; // outlives the worker that stamps
    TnvParDefSet Defs;
    TnvParValueSet Set;
    TnvMBThread Thread;
    long Received = 0;

    TThreadRig(int port, int count, bool stamped = true) {
        Defs.LoadFromFile(Definitions(Dir.path(), count));
        Set.AddParBindsFromIdxList(&Defs, QStringLiteral("0/%1").arg(count - 1));
        Set.SetSlaveAddress(kSlave);
        for (const auto& value : Set.GetValues()) {
            value->OnReceive = [this](TnvParValue*, bool) {
                ++Received;
            };
            value->SetCyclic(true);
        }
        TnvMBSetup& s = Thread.Settings;
        s.Enabled = true;
        s.Timeout = 1000;
        if (port != 0) {
            s.Name = "TCP";
            s.ConnType = TnvMBSetup::kTcpIp;
            s.TCPIPPort = port;
            s.HostName = "127.0.0.1";
        } else {
            s.Name = "COM1";
            s.ConnType = TnvMBSetup::kSerial;
            s.PortNumber = kComPort;
            s.BaudRate = 19200;
            s.Parity = 2;
            s.StopBits = 50;
        }
        if (stamped) {
            Thread.SetServerFactory([this] {
                auto server = std::make_unique<TModbusSrv>();
                server->SetOnExchanged(
                    [this](int32_t, std::chrono::microseconds) { Stamps.Add(); });
                return server;
            });
        }
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

double Percentile(std::vector<double> samples, double p) {
    if (samples.empty())
        return 0;
    const auto at = static_cast<size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(at), samples.end());
    return samples[at];
}

enum class TLink { Tcp, Pty };

// Points COM1 at the pty, in a config folder of the benchmark's own.
void MapComPort(const std::string& device) {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/kx720";
    QDir().mkpath(folder);
    QFile file(folder + "/ports.ini");
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(QStringLiteral("COM%1=%2\n").arg(kComPort).arg(device.c_str()).toLocal8Bit());
}

// Both ways of reading, taking turns in windows of 300 ms against the same
// slave, so that both see the same machine load: the bare loop, then the
// thread walking its set (the pass under way when the set is added is not
// counted). Every exchange is timed on its own.
void BM_Exchange(benchmark::State& state, TLink link) {
    std::unique_ptr<TTcpSlave> tcp;
    // A serial line has one user: the thread and the bare loop each have a
    // pty and a slave of their own.
    std::unique_ptr<TPtySlave> pty;
    std::unique_ptr<TPtySlave> threadPty;
    modbus_t* ctx = nullptr;
    if (link == TLink::Tcp) {
        tcp = std::make_unique<TTcpSlave>();
        ctx = modbus_new_tcp("127.0.0.1", tcp->Port());
    } else {
        pty = std::make_unique<TPtySlave>();
        threadPty = std::make_unique<TPtySlave>();
        MapComPort(threadPty->Device());
        ctx = modbus_new_rtu(pty->Device().c_str(), 19200, 'E', 8, 1);
    }
    modbus_set_slave(ctx, kSlave);
    if (modbus_connect(ctx) != 0) {
        state.SkipWithError("the bare loop cannot connect");
        modbus_free(ctx);
        return;
    }
    std::vector<double> plain;
    std::vector<double> thread;
    {
        TThreadRig rig(link == TLink::Tcp ? tcp->Port() : 0, kPassValues);
        Pump(300); // connected, the line checked, past the first values
        rig.Thread.RemoveValueSet(&rig.Set);
        for (auto _ : state) {
            QElapsedTimer clock;
            clock.start();
            uint16_t word = 0;
            for (int address = 0; clock.elapsed() < kWindowMs; ++address) {
                const auto start = TClock::now();
                const int rc = modbus_read_registers(ctx, address % kRegisters, 1, &word);
                const auto end = TClock::now();
                if (rc == 1)
                    plain.push_back(std::chrono::duration<double, std::micro>(end - start).count());
            }
            rig.Thread.AddValueSet(&rig.Set);
            Pump(50);
            const auto from = TClock::now();
            Pump(kWindowMs);
            const auto to = TClock::now();
            rig.Thread.RemoveValueSet(&rig.Set);
            rig.Stamps.CollectIntervals(from, to, thread);
            Pump(20);
        }
    }
    modbus_close(ctx);
    modbus_free(ctx);
    const double plainMedian = Percentile(plain, 0.5);
    const double plainP99 = Percentile(plain, 0.99);
    const double threadMedian = Percentile(thread, 0.5);
    const double threadP99 = Percentile(thread, 0.99);
    state.counters["plain_median_us"] = plainMedian;
    state.counters["plain_p99_us"] = plainP99;
    state.counters["thread_median_us"] = threadMedian;
    state.counters["thread_p99_us"] = threadP99;
    state.counters["median_ratio"] = plainMedian > 0 ? threadMedian / plainMedian : 0;
    state.counters["p99_ratio"] = plainP99 > 0 ? threadP99 / plainP99 : 0;
    const auto mean = [](const std::vector<double>& v) {
        return v.empty() ? 0.0
                         : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    };
    state.counters["plain_mean_us"] = mean(plain);
    state.counters["thread_mean_us"] = mean(thread);
    state.counters["thread_reads"] = static_cast<double>(thread.size());
    state.counters["plain_reads"] = static_cast<double>(plain.size());
}

double CpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Voluntary and involuntary context switches of the whole process so far.
double Wakeups() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw);
}

struct TCpuWindow {
    double Seconds = 0;
    double ProcessCpu = 0;
    double WorkerCpu = 0;
    double Wakeups = 0;
    long Reads = 0;
};

// One window of the rig polling: its process CPU, the worker's share (all
// but the GUI thread handling 190 results a second), wake-ups and reads.
TCpuWindow MeasureThreadWindow(const TThreadRig& rig, int ms) {
    const long received = rig.Received;
    const double process0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double gui0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double wakeups0 = Wakeups();
    QElapsedTimer clock;
    clock.start();
    Pump(ms);
    TCpuWindow w;
    w.Seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    w.ProcessCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
    w.WorkerCpu = w.ProcessCpu - (CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - gui0);
    w.Wakeups = Wakeups() - wakeups0;
    w.Reads = rig.Received - received;
    return w;
}

// One window of the bare polling loop in a process of its own, at rate;
// with handoff, the loop hands each pass to a waiting thread.
TCpuWindow MeasureFloorWindow(double rate, int ms, bool handoff) {
    QStringList args{QString::number(rate, 'f', 1), QString::number(ms / 1000.0, 'f', 3)};
    if (handoff)
        args << QStringLiteral("handoff");
    QProcess floor;
    floor.start(QStringLiteral(KX_POLL_FLOOR), args);
    if (!floor.waitForFinished(ms + 20000) || floor.exitCode() != 0)
        return {};
    TCpuWindow w;
    w.Seconds = ms / 1000.0;
    for (const QByteArray& line : floor.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        const double value = words.size() == 2 ? words[1].toDouble() : 0.0;
        if (words[0] == "cpu_percent")
            w.ProcessCpu = value / 100.0 * w.Seconds;
        else if (words[0] == "wakeups_per_s")
            w.Wakeups = value * w.Seconds;
        else if (words[0] == "reads_per_s")
            w.Reads = std::lround(value * w.Seconds);
    }
    return w;
}

// The terminal's live values: 19 cyclic 16-bit values read every cycle from
// a peer in another process, so that only the link's own CPU is counted;
// against the bare polling loop at the rate the thread reached, alone and
// handing each pass to a waiting thread, as the exchange thread hands its
// results to the GUI thread. The machine's idle states make a single window
// of a few seconds vary by 10 % and more, so the three take turns in windows
// of 2.5 s, after a warm-up of a second, and each figure sums its windows:
// all see the same machine.
void BM_IdleThreadCpu(benchmark::State& state) {
    constexpr int kRounds = 4;
    constexpr int kIdleWindowMs = 2500;
    QProcess peer;
    peer.start("/usr/bin/python3",
               {QStringLiteral(KX_SOURCE_DIR "/tests/modbus/peers/peer.py"), "tcp", "0"});
    while (!peer.canReadLine() && peer.waitForReadyRead(10000)) {
    }
    const int port = QString::fromLocal8Bit(peer.readLine()).trimmed().section(' ', 1, 1).toInt();
    {
        TThreadRig rig(port, 19, false);
        Pump(1000);
        for (auto _ : state) {
            TCpuWindow thread;
            TCpuWindow floor;
            TCpuWindow handoff;
            for (int round = 0; round < kRounds; ++round) {
                const TCpuWindow t = MeasureThreadWindow(rig, kIdleWindowMs);
                rig.Thread.RemoveValueSet(&rig.Set);
                const double rate = static_cast<double>(t.Reads) / t.Seconds;
                const TCpuWindow f = MeasureFloorWindow(rate, kIdleWindowMs, false);
                const TCpuWindow h = MeasureFloorWindow(rate, kIdleWindowMs, true);
                rig.Thread.AddValueSet(&rig.Set);
                Pump(300);
                for (auto [sum, part] :
                     {std::pair{&thread, &t}, std::pair{&floor, &f}, std::pair{&handoff, &h}}) {
                    sum->Seconds += part->Seconds;
                    sum->ProcessCpu += part->ProcessCpu;
                    sum->WorkerCpu += part->WorkerCpu;
                    sum->Wakeups += part->Wakeups;
                    sum->Reads += part->Reads;
                }
            }
            if (floor.Reads == 0 || handoff.Reads == 0) {
                state.SkipWithError("the polling floor did not run");
                break;
            }
            state.counters["cpu_percent_process"] = thread.ProcessCpu / thread.Seconds * 100.0;
            state.counters["cpu_percent_worker"] = thread.WorkerCpu / thread.Seconds * 100.0;
            state.counters["wakeups_per_s"] = thread.Wakeups / thread.Seconds;
            state.counters["reads_per_s"] = static_cast<double>(thread.Reads) / thread.Seconds;
            state.counters["floor_cpu_percent"] = floor.ProcessCpu / floor.Seconds * 100.0;
            state.counters["floor_wakeups_per_s"] = floor.Wakeups / floor.Seconds;
            state.counters["floor_reads_per_s"] = static_cast<double>(floor.Reads) / floor.Seconds;
            state.counters["handoff_floor_cpu_percent"] =
                handoff.ProcessCpu / handoff.Seconds * 100.0;
            state.counters["handoff_floor_wakeups_per_s"] = handoff.Wakeups / handoff.Seconds;
        }
    }
    peer.kill();
    peer.waitForFinished();
}

} // namespace

BENCHMARK_CAPTURE(BM_Exchange, tcp, TLink::Tcp)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Exchange, pty, TLink::Pty)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleThreadCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // ports.ini of the benchmark's own, never the user's.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
