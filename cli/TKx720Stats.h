#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// Latencies and outcomes of the requests of one link, for "--stats".
// Record is called on the exchange thread, Report on the main thread.
class TKx720Stats {
public:
    void Record(int32_t status, std::chrono::microseconds took);
    // "Requests: N; latency ms: min A, median B, p99 C, max D" and one line
    // per outcome, e.g. "  0x80040201 timeout, no response!: 3".
    QString Report() const;

    // The q-quantile (0 to 1) of sorted values by the nearest-rank rule.
    static std::chrono::microseconds Quantile(const std::vector<std::chrono::microseconds>& sorted,
                                              double q);

private:
    mutable std::mutex FLock;
    std::vector<std::chrono::microseconds> FLatencies;
    std::map<int32_t, int> FOutcomes;
};
