#pragma once

#include "NvDateTime.h"

#include <QString>
#include <cmath>
#include <cstddef>
#include <deque>

class QIODevice;

// What the scope recorded: one row per reception cycle of its four
// quantities, with the frequency setpoint of that moment. The rows outlive
// what the traces show, so that a picture can be frozen and the samples
// saved while recording goes on. Bounded: beyond kMaxRows the oldest rows go.
// Model code, GUI thread.
class TScopeRecord {
public:
    enum TQuantity { qFrequency, qSetpoint, qCurrent, qVoltage, qDcBus, kQuantities };

    // A day at ten cycles a second (about 40 MB).
    static constexpr std::size_t kMaxRows = 864000;

    struct TRow {
        nv::TDateTime Time = 0;                                 // of the row's first sample
        double Values[kQuantities] = {NAN, NAN, NAN, NAN, NAN}; // NaN: not received
    };
    static bool Has(double value) { return !std::isnan(value); }

    // Records a sample. A quantity that the open row holds already closes
    // that row: the next cycle has begun.
    void Add(TQuantity quantity, nv::TDateTime time, double value);
    // Closed rows and the open one, oldest first.
    std::size_t RowCount() const;
    const TRow& Row(std::size_t i) const;
    // Rows closed since the record began (keeps counting past kMaxRows).
    std::size_t ClosedRows() const { return FClosed; }
    void Clear();

    // "time,frequency_hz,setpoint_hz,current_a,voltage_v,dc_bus_v" and one
    // line per row from row `first` up to (without) row `end`, the time in ISO 8601 with
    // milliseconds and the local offset; a quantity missing from a row is
    // an empty field. False when the device refuses a write.
    bool WriteCsv(QIODevice& device, std::size_t first, std::size_t end) const;
    static QString CsvHeader();
    static QString IsoTime(nv::TDateTime time);

private:
    std::deque<TRow> FRows;
    bool FOpen = false;
    std::size_t FClosed = 0;
};
