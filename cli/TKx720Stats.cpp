#include "TKx720Stats.h"

#include "NvExchangeError.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

void TKx720Stats::Record(int32_t status, std::chrono::microseconds took) {
    const std::lock_guard lock(FLock);
    FLatencies.push_back(took);
    ++FOutcomes[status];
}

std::chrono::microseconds
TKx720Stats::Quantile(const std::vector<std::chrono::microseconds>& sorted, double q) {
    if (sorted.empty())
        return {};
    const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

QString TKx720Stats::Report() const {
    const std::lock_guard lock(FLock);
    std::vector<std::chrono::microseconds> sorted = FLatencies;
    std::sort(sorted.begin(), sorted.end());
    const auto ms = [](std::chrono::microseconds us) {
        return QString::number(static_cast<double>(us.count()) / 1000.0, 'f', 3);
    };
    QStringList lines;
    lines << QStringLiteral("Requests: %1").arg(sorted.size());
    if (!sorted.empty())
        lines << QStringLiteral("Latency ms: min %1, median %2, p99 %3, max %4")
                     .arg(ms(sorted.front()), ms(Quantile(sorted, 0.5)), ms(Quantile(sorted, 0.99)),
                          ms(sorted.back()));
    for (const auto& [code, count] : FOutcomes)
        lines << QStringLiteral("  %1 %2: %3")
                     .arg(code == 0 ? QStringLiteral("0") : QString::asprintf("0x%08X", code))
                     .arg(code == 0 ? QStringLiteral("success") : nv::ExchangeErrorText(code))
                     .arg(count);
    return lines.join('\n');
}
