#pragma once

#include "TnvParBind.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

class TnvParRange;

// A parameter's live value: its register buffer (wire order), a status code
// and the events through which the application learns of reads, writes and
// errors. Created only by a value set.
//
// Threads: LoadFromFrame and CopyTo run on the exchange thread; the typed
// accessors, the DoOn... operations and the events on the GUI thread. The
// buffer and Status are guarded by the binding's lock, never held while an
// event runs, so an event may call any accessor again.
//
// Typed accessors delegate to the definition's accessor of the same name and
// raise its errors (TnvParDef.h); an element index beyond the buffer raises
// instead of reading outside it.
class TnvParValue : public TnvParBind {
public:
    // Status codes.
    enum : std::uint8_t {
        stCleared = 0,
        stReceived = 1, // from the drive
        stRead = 2,     // by the application through an accessor
        stWritten = 3,  // by the application through an accessor
        stSent = 4,     // to the drive
    };

    // As TnvParBind; then Status 0, no range, a zero-filled buffer of
    // GetSize() bytes (none for a size of 0).
    TnvParValue(TnvParValueSet* owner, const TnvParDef* def);
    ~TnvParValue() override;

    // Buffer bytes: the definition's element size times its Length.
    int GetSize() const { return static_cast<int>(FBuffer.size()); }
    std::uint8_t GetStatus() const;
    // A copy of the buffer as it is now. Any thread.
    std::vector<std::uint8_t> GetBuffer() const;
    // True if any buffer byte is not zero.
    bool IsNonZero() const;

    // The optional limit monitor, tested on each reception.
    TnvParRange* GetRange() const { return FRange.get(); }
    void SetRange(std::unique_ptr<TnvParRange> range);

    // Typed reads: Status = 2, then the definition's accessor.
    bool GetValueBit(std::uint8_t i, std::uint8_t b);
    std::int8_t GetValueChar(std::uint8_t i);
    std::uint8_t GetValueUChar(std::uint8_t i);
    std::int16_t GetValueShort(std::uint8_t i);
    std::uint16_t GetValueUShort(std::uint8_t i);
    std::int32_t GetValueLong(std::uint8_t i);
    std::uint32_t GetValueULong(std::uint8_t i);
    nv::TDateTime GetValueTime(std::uint8_t i);
    nv::TDateTime GetValueDate(std::uint8_t i, std::uint16_t yearBase);
    double GetValueDouble(std::uint8_t i);
    QString GetValueText(std::uint8_t i, std::uint8_t b);
    QString GetValueNumText(std::uint8_t i);
    QString GetValueString();

    // Typed writes: OnCheckValue may refuse (then nothing changes, false);
    // otherwise Status = 3, the definition's setter, OnSetValue(changed).
    // Return changed.
    bool SetValueBit(std::uint8_t i, std::uint8_t b, bool value);
    bool SetValueChar(std::uint8_t i, std::int8_t value);
    bool SetValueUChar(std::uint8_t i, std::uint8_t value);
    bool SetValueShort(std::uint8_t i, std::int16_t value);
    bool SetValueUShort(std::uint8_t i, std::uint16_t value);
    bool SetValueLong(std::uint8_t i, std::int32_t value);
    bool SetValueULong(std::uint8_t i, std::uint32_t value);
    bool SetValueTime(std::uint8_t i, nv::TDateTime value);
    bool SetValueDate(std::uint8_t i, nv::TDateTime value); // the century is dropped
    // Without OnCheckValue.
    bool SetValueString(const QString& text);

    // Exchange thread: takes GetSize() bytes from frame byte 3 on (after
    // slave, function and byte count), TimeStamp = now, Status = 1; returns
    // whether the bytes differ from the buffer. A value without a buffer, or
    // a frame shorter than 3 + GetSize(), is left untouched: false. So is a
    // value edited since the read left (IsDue) or waiting to be written: the
    // reply is older than the edit.
    bool LoadFromFrame(std::span<const std::uint8_t> frame);
    // Exchange thread, for a write: copies the buffer into destination when
    // it holds at least GetSize() bytes; returns GetSize(). Notes that the
    // pending write request is being served.
    int CopyTo(std::span<std::uint8_t> destination);

    // GUI thread, on the exchange thread's messages. DoOnReceive tests the
    // range (OnRangeChange when its verdict changed), then OnReceive.
    void DoOnReceive(bool changed);
    // Status = 4, WriteRequest = false unless a request was raised after the
    // buffer was taken for this write (that newer edit is still to be sent),
    // OnWritten.
    void DoOnWritten();
    // OnError(code); the write request stays, so the write is tried again.
    void DoOnError(int code);

    // Events, raised on the GUI thread when assigned.
    std::function<void(TnvParValue* sender, double value, bool& accept)> OnCheckValue;
    std::function<void(TnvParValue* sender, bool changed)> OnSetValue;
    std::function<void(TnvParValue* sender, bool changed)> OnReceive;
    std::function<void(TnvParValue* sender)> OnWritten;
    std::function<void(TnvParValue* sender)> OnRangeChange;
    std::function<void(TnvParValue* sender, int code)> OnError;

private:
    template <typename Get>
    auto Read(Get get);
    template <typename Set>
    bool Write(double checked, Set set);
    bool Store(const std::function<bool(std::span<std::uint8_t>)>& set);

    std::unique_ptr<TnvParRange> FRange;
    std::vector<std::uint8_t> FBuffer;
    std::uint8_t FStatus = stCleared;
};
