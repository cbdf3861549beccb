#include "TnvParValue.h"

#include "TnvParDef.h"
#include "TnvParRange.h"

#include <algorithm>

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

TnvParValue::TnvParValue(TnvParValueSet* owner, const TnvParDef* def)
    : TnvParBind(owner, def)
    , FBuffer(static_cast<std::size_t>(def->GetSize()), 0) {}

TnvParValue::~TnvParValue() = default;

std::uint8_t TnvParValue::GetStatus() const {
    const std::lock_guard lock(FLock);
    return FStatus;
}

std::vector<std::uint8_t> TnvParValue::GetBuffer() const {
    const std::lock_guard lock(FLock);
    return FBuffer;
}

bool TnvParValue::IsNonZero() const {
    const std::lock_guard lock(FLock);
    return std::any_of(FBuffer.begin(), FBuffer.end(), [](std::uint8_t b) { return b != 0; });
}

void TnvParValue::SetRange(std::unique_ptr<TnvParRange> range) {
    FRange = std::move(range);
}

template <typename Get>
auto TnvParValue::Read(Get get) {
    const std::lock_guard lock(FLock);
    FStatus = stRead;
    return get(GetParDef(), Bytes(FBuffer));
}

template <typename Set>
bool TnvParValue::Write(double checked, Set set) {
    bool accept = true;
    if (OnCheckValue)
        OnCheckValue(this, checked, accept);
    if (!accept)
        return false;
    return Store(set);
}

bool TnvParValue::Store(const std::function<bool(MutableBytes)>& set) {
    bool changed = false;
    {
        const std::lock_guard lock(FLock);
        FStatus = stWritten;
        changed = set(MutableBytes(FBuffer));
        NoteEdit();
    }
    if (OnSetValue)
        OnSetValue(this, changed);
    return changed;
}

bool TnvParValue::GetValueBit(std::uint8_t i, std::uint8_t b) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueBit(buf, i, b); });
}

std::int8_t TnvParValue::GetValueChar(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueChar(buf, i); });
}

std::uint8_t TnvParValue::GetValueUChar(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueUChar(buf, i); });
}

std::int16_t TnvParValue::GetValueShort(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueShort(buf, i); });
}

std::uint16_t TnvParValue::GetValueUShort(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueUShort(buf, i); });
}

std::int32_t TnvParValue::GetValueLong(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueLong(buf, i); });
}

std::uint32_t TnvParValue::GetValueULong(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueULong(buf, i); });
}

nv::TDateTime TnvParValue::GetValueTime(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueTime(buf, i); });
}

nv::TDateTime TnvParValue::GetValueDate(std::uint8_t i, std::uint16_t yearBase) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueDate(buf, i, yearBase); });
}

double TnvParValue::GetValueDouble(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueDouble(buf, i); });
}

QString TnvParValue::GetValueText(std::uint8_t i, std::uint8_t b) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueText(buf, i, b); });
}

QString TnvParValue::GetValueNumText(std::uint8_t i) {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueNumText(buf, i); });
}

QString TnvParValue::GetValueString() {
    return Read([&](const TnvParDef& d, Bytes buf) { return d.GetValueString(buf); });
}

bool TnvParValue::SetValueBit(std::uint8_t i, std::uint8_t b, bool value) {
    return Write(value ? 1.0 : 0.0,
                 [&](MutableBytes buf) { return GetParDef().SetValueBit(buf, value, i, b); });
}

bool TnvParValue::SetValueChar(std::uint8_t i, std::int8_t value) {
    return Write(value, [&](MutableBytes buf) { return GetParDef().SetValueChar(buf, value, i); });
}

bool TnvParValue::SetValueUChar(std::uint8_t i, std::uint8_t value) {
    return Write(value, [&](MutableBytes buf) { return GetParDef().SetValueUChar(buf, value, i); });
}

bool TnvParValue::SetValueShort(std::uint8_t i, std::int16_t value) {
    return Write(value, [&](MutableBytes buf) { return GetParDef().SetValueShort(buf, value, i); });
}

bool TnvParValue::SetValueUShort(std::uint8_t i, std::uint16_t value) {
    return Write(value,
                 [&](MutableBytes buf) { return GetParDef().SetValueUShort(buf, value, i); });
}

bool TnvParValue::SetValueLong(std::uint8_t i, std::int32_t value) {
    return Write(value, [&](MutableBytes buf) { return GetParDef().SetValueLong(buf, value, i); });
}

bool TnvParValue::SetValueULong(std::uint8_t i, std::uint32_t value) {
    return Write(value, [&](MutableBytes buf) { return GetParDef().SetValueULong(buf, value, i); });
}

bool TnvParValue::SetValueTime(std::uint8_t i, nv::TDateTime value) {
    return Write(value, [&](MutableBytes buf) { return GetParDef().SetValueTime(buf, i, value); });
}

bool TnvParValue::SetValueDate(std::uint8_t i, nv::TDateTime value) {
    return Write(value, [&](MutableBytes buf) {
        int century = 0;
        return GetParDef().SetValueDate(buf, i, century, value);
    });
}

bool TnvParValue::SetValueString(const QString& text) {
    return Store([&](MutableBytes buf) { return GetParDef().SetValueString(buf, text); });
}

bool TnvParValue::LoadFromFrame(std::span<const std::uint8_t> frame) {
    constexpr std::size_t kDataOffset = 3; // slave address, function code, byte count
    // The buffer's size never changes after construction, so it is read
    // without the lock; the clock is read outside it too, as it is slow.
    if (FBuffer.empty() || frame.size() < kDataOffset + FBuffer.size())
        return false;
    const nv::TDateTime stamp = nv::Now();
    const Bytes data = frame.subspan(kDataOffset, FBuffer.size());
    const std::lock_guard lock(FLock);
    if (!ReplyMayReplace())
        return false;
    SetTimeStamp(stamp);
    FStatus = stReceived;
    if (std::equal(data.begin(), data.end(), FBuffer.begin()))
        return false;
    std::copy(data.begin(), data.end(), FBuffer.begin());
    return true;
}

int TnvParValue::CopyTo(std::span<std::uint8_t> destination) {
    const std::lock_guard lock(FLock);
    NoteTakenForWrite();
    if (!FBuffer.empty() && destination.size() >= FBuffer.size())
        std::copy(FBuffer.begin(), FBuffer.end(), destination.begin());
    return static_cast<int>(FBuffer.size());
}

void TnvParValue::DoOnReceive(bool changed) {
    if (FRange) {
        // Read through the definition: the monitor's look is not an
        // application read and must leave Status at "received".
        double v = 0.0;
        {
            const std::lock_guard lock(FLock);
            v = GetParDef().GetValueDouble(Bytes(FBuffer), 0);
        }
        if (FRange->Check(v) && OnRangeChange)
            OnRangeChange(this);
    }
    if (OnReceive)
        OnReceive(this, changed);
}

void TnvParValue::DoOnWritten() {
    {
        const std::lock_guard lock(FLock);
        FStatus = stSent;
    }
    ClearWriteRequest();
    if (OnWritten)
        OnWritten(this);
}

void TnvParValue::DoOnError(int code) {
    if (OnError)
        OnError(this, code);
}
