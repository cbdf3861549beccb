#pragma once

#include "TKxApplication.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <vector>

// The terminal's application object with an account of the GUI thread's
// time between two ticks of a measuring timer: per gap the wall time, the
// thread's own CPU time and its wait for a CPU (the scheduler's run-queue
// account), so that a stall can be told to be the terminal's work or the
// machine's. With deliveries recorded, every event through notify is timed
// too, and the report names the receivers and event types of the longest gap
// and of the slowest deliveries. GUI thread only.
class TStallProbeApplication : public TKxApplication {
public:
    TStallProbeApplication(int& argc, char** argv);
    ~TStallProbeApplication() override;

    // The one instance, or null.
    static TStallProbeApplication* Instance();

    // Runs the terminal's own kind of event loop for ms with a 1 ms precise
    // timer ticking, and keeps the account of its gaps. With KX_STALL_TRACE
    // set, every delivery is timed too and the report, titled, goes to
    // stderr.
    void Measure(int ms, const char* title);

    // The longest gap since Start, in ms.
    double LongestMs() const { return FLongest.Wall / 1e6; }
    double LongestCpuMs() const { return FLongest.Cpu / 1e6; }
    double LongestWaitMs() const { return FLongest.RunQueue / 1e6; }
    // The most CPU time the GUI thread spent in any one gap, in ms: the
    // longest stall of its own making, whatever the machine added.
    double MostWorkMs() const { return FMostWork.Cpu / 1e6; }
    // The figures of the last Measure as the benchmark's: its time is the
    // longest gap.
    void Count(benchmark::State& state) const;
    // Where the time of the longest gap went, and the slowest deliveries.
    void Report(std::FILE* out, const char* title) const;

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void Start(bool recordDeliveries);
    // At every tick of the measuring timer: ends one gap, starts the next.
    void Tick();
    void Stop();

    struct TDelivery {
        std::int64_t Start, Wall, Cpu;
        int Depth;
        const char* Class;
        QString Name;
        int Type;
    };
    struct TGap {
        std::int64_t Wall = 0, Cpu = 0, RunQueue = 0;
        std::vector<TDelivery> Deliveries;
    };
    struct TClocks {
        std::int64_t Wall = 0, Cpu = 0, RunQueue = 0;
    };
    TClocks Now(bool withRunQueue = true) const;
    void Record(TDelivery delivery);
    static void Print(std::FILE* out, const char* title, const std::vector<TDelivery>& list,
                      std::int64_t from);

    bool FOn = false;
    bool FRecording = false;
    int FDepth = 0;
    int FSchedStat = -1; // this thread's /proc schedstat, kept open
    TClocks FRunStart;
    TClocks FRunEnd;
    TClocks FGapStart;
    std::vector<TDelivery> FRecent;  // of the gap under way
    std::vector<TDelivery> FSlowest; // top-level, over the run
    TGap FLongest;
    TGap FMostWork;
};
