#include "TStallProbeApplication.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kSlowestKept = 8;
constexpr std::int64_t kReadingNs = 200000; // a reading of the clocks, unpreempted

TStallProbeApplication* Probe = nullptr;

std::int64_t Ns(const timespec& ts) {
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

} // namespace

TStallProbeApplication::TStallProbeApplication(int& argc, char** argv)
    : TKxApplication(argc, argv) {
    Probe = this;
    // Read at every tick: opened once, so a tick costs a pread.
    FSchedStat = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
}

TStallProbeApplication::~TStallProbeApplication() {
    if (FSchedStat >= 0)
        ::close(FSchedStat);
    Probe = nullptr;
}

TStallProbeApplication* TStallProbeApplication::Instance() {
    return Probe;
}

TStallProbeApplication::TClocks TStallProbeApplication::Now(bool withRunQueue) const {
    TClocks now;
    timespec ts{};
    // A preemption between the readings would give the wait to one gap and
    // its wall time to the next: read again until none came between.
    for (int attempt = 0; attempt < 4; ++attempt) {
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const std::int64_t first = Ns(ts);
        // "time on a CPU, time waiting on a run queue, time slices", in ns.
        char text[96] = {};
        if (withRunQueue && FSchedStat >= 0 && ::pread(FSchedStat, text, sizeof text - 1, 0) > 0) {
            char* end = nullptr;
            std::strtoll(text, &end, 10);
            now.RunQueue = std::strtoll(end, nullptr, 10);
        }
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        now.Cpu = Ns(ts);
        clock_gettime(CLOCK_MONOTONIC, &ts);
        now.Wall = Ns(ts);
        if (now.Wall - first < kReadingNs)
            break;
    }
    return now;
}

void TStallProbeApplication::Measure(int ms, const char* title) {
    const bool trace = qEnvironmentVariableIsSet("KX_STALL_TRACE");
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [this] { Tick(); });
    Start(trace);
    tick.start(1);
    // The terminal's own kind of loop, which sleeps when nothing is due and
    // runs the idle handler before it sleeps. processEvents with a time limit
    // returns as soon as nothing is pending, so a loop of it spins: it took a
    // core from the link and the simulator, and the preemptions it earned
    // were counted as the terminal's stalls.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    tick.stop();
    Stop();
    if (trace)
        Report(stderr, title);
}

void TStallProbeApplication::Start(bool recordDeliveries) {
    FRecent.clear();
    FSlowest.clear();
    FLongest = {};
    FMostWork = {};
    FRecording = recordDeliveries;
    FOn = true;
    FRunStart = FGapStart = Now();
}

void TStallProbeApplication::Tick() {
    if (!FOn)
        return;
    const TClocks now = Now();
    const std::int64_t wall = now.Wall - FGapStart.Wall;
    const std::int64_t cpu = now.Cpu - FGapStart.Cpu;
    // The scheduler keeps its account with each CPU's own clock: a thread
    // moved between CPUs may be given a little more wait than the gap held.
    const std::int64_t wait = std::min(now.RunQueue - FGapStart.RunQueue, wall - cpu);
    if (wall > FLongest.Wall)
        FLongest = {wall, cpu, wait, FRecent};
    if (cpu > FMostWork.Cpu)
        FMostWork = {wall, cpu, wait, FRecent};
    FRecent.clear();
    FGapStart = now;
}

void TStallProbeApplication::Stop() {
    FOn = false;
    FRunEnd = Now();
}

bool TStallProbeApplication::notify(QObject* receiver, QEvent* event) {
    if (!FOn || !FRecording || QThread::currentThread() != thread())
        return TKxApplication::notify(receiver, event);
    // Taken before the delivery: it may delete the receiver.
    const char* className = receiver->metaObject()->className();
    const QString name = receiver->objectName();
    const int type = event->type();
    const TClocks before = Now(false);
    const int depth = FDepth++;
    const bool result = TKxApplication::notify(receiver, event);
    --FDepth;
    const TClocks after = Now(false);
    Record({before.Wall, after.Wall - before.Wall, after.Cpu - before.Cpu, depth, className, name,
            type});
    return result;
}

void TStallProbeApplication::Record(TDelivery delivery) {
    FRecent.push_back(delivery);
    if (delivery.Depth != 0)
        return;
    const auto slower = [](const TDelivery& a, const TDelivery& b) {
        return a.Wall > b.Wall;
    };
    FSlowest.insert(std::upper_bound(FSlowest.begin(), FSlowest.end(), delivery, slower),
                    std::move(delivery));
    if (FSlowest.size() > kSlowestKept)
        FSlowest.pop_back();
}

void TStallProbeApplication::Count(benchmark::State& state) const {
    state.SetIterationTime(LongestMs() * 1e-3);
    state.counters["longest_stall_ms"] = LongestMs();
    // Of the longest gap: the GUI thread's own work, and its wait for a CPU
    // held by other threads or processes.
    state.counters["longest_stall_work_ms"] = LongestCpuMs();
    state.counters["longest_stall_cpu_wait_ms"] = LongestWaitMs();
    state.counters["most_work_ms"] = MostWorkMs();
}

void TStallProbeApplication::Report(std::FILE* out, const char* title) const {
    double load[3] = {};
    getloadavg(load, 3);
    const double run = static_cast<double>(FRunEnd.Wall - FRunStart.Wall);
    std::fprintf(out,
                 "%s: the GUI thread ran %.1f %% of the time and waited for a CPU %.1f %%; "
                 "load average %.2f %.2f %.2f\n"
                 "  longest gap %.3f ms: its own work %.3f ms, waiting for a CPU %.3f ms, "
                 "asleep %.3f ms\n",
                 title, 100.0 * (FRunEnd.Cpu - FRunStart.Cpu) / run,
                 100.0 * (FRunEnd.RunQueue - FRunStart.RunQueue) / run, load[0], load[1], load[2],
                 FLongest.Wall / 1e6, FLongest.Cpu / 1e6, FLongest.RunQueue / 1e6,
                 (FLongest.Wall - FLongest.Cpu - FLongest.RunQueue) / 1e6);
    std::fprintf(out, "  most work in one gap %.3f ms, of a gap of %.3f ms\n", FMostWork.Cpu / 1e6,
                 FMostWork.Wall / 1e6);
    if (!FRecording)
        return;
    for (const auto& [gap, which] :
         {std::pair{&FLongest, "the longest gap"}, std::pair{&FMostWork, "the gap of most work"}}) {
        const std::int64_t from =
            gap->Deliveries.empty() ? FRunStart.Wall : gap->Deliveries.front().Start;
        Print(out,
              qPrintable(QStringLiteral("deliveries in %1 (nested ones indented, before their "
                                        "parent)")
                             .arg(QLatin1String(which))),
              gap->Deliveries, from);
    }
    Print(out, "slowest deliveries of the run", FSlowest, FRunStart.Wall);
}

void TStallProbeApplication::Print(std::FILE* out, const char* title,
                                   const std::vector<TDelivery>& list, std::int64_t from) {
    std::fprintf(out, "  %s\n", title);
    for (const TDelivery& d : list)
        std::fprintf(out, "    +%9.3f ms %*s%-22s %-20s event %5d  wall %7.3f ms, CPU %7.3f ms\n",
                     (d.Start - from) / 1e6, 2 * d.Depth, "", d.Class, qPrintable(d.Name.left(20)),
                     d.Type, d.Wall / 1e6, d.Cpu / 1e6);
}
