#include "TScopeRecord.h"

#include <QDateTime>
#include <QIODevice>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

void TScopeRecord::Add(TQuantity quantity, nv::TDateTime time, double value) {
    if (FOpen && Has(FRows.back().Values[quantity])) {
        FOpen = false;
        ++FClosed;
    }
    if (!FOpen) {
        if (FRows.size() >= kMaxRows)
            FRows.pop_front();
        FRows.emplace_back();
        FRows.back().Time = time;
        FOpen = true;
    }
    FRows.back().Values[quantity] = value;
}

std::size_t TScopeRecord::RowCount() const {
    return FRows.size();
}

const TScopeRecord::TRow& TScopeRecord::Row(std::size_t i) const {
    return FRows.at(i);
}

void TScopeRecord::Clear() {
    FRows.clear();
    FOpen = false;
    FClosed = 0;
}

QString TScopeRecord::CsvHeader() {
    return QStringLiteral("time,frequency_hz,setpoint_hz,current_a,voltage_v,dc_bus_v");
}

QString TScopeRecord::IsoTime(nv::TDateTime time) {
    int year = 0, month = 0, day = 0, hour = 0, min = 0, sec = 0, msec = 0;
    nv::DecodeDate(time, year, month, day);
    nv::DecodeTime(time, hour, min, sec, msec);
    const QDateTime local(QDate(year, month, day), QTime(hour, min, sec, msec));
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

bool TScopeRecord::WriteCsv(QIODevice& device, std::size_t first, std::size_t end) const {
    QByteArray text = CsvHeader().toLatin1() + '\n';
    for (std::size_t i = first; i < std::min(end, FRows.size()); ++i) {
        const TRow& row = FRows[i];
        text += IsoTime(row.Time).toLatin1();
        for (const double v : row.Values) {
            text += ',';
            if (std::isfinite(v))
                text += QByteArray::number(v, 'g', 10);
        }
        text += '\n';
        // Written in pieces: a day of rows is tens of megabytes.
        if (text.size() > (1 << 16)) {
            if (device.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return device.write(text) == text.size();
}
