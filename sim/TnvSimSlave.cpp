#include "TnvSimSlave.h"

#include "NvParIndex.h"
#include "TnvError.h"
#include "TnvSimEeprom.h"
#include "TnvSimModel.h"
#include "TnvSimRegisterStore.h"

#include <QRegularExpression>

namespace {

using nv::par::kSizeCode;
using nv::par::kSlave;
using nv::par::kStoredSlave;

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kWriteSingle = 0x06;
constexpr uint8_t kWriteMultiple = 0x10;
constexpr uint8_t kIdentify = 0x41;
constexpr uint8_t kDiagnostics = 0x08;

constexpr uint8_t kIllegalFunction = 0x01;
constexpr uint8_t kIllegalAddress = 0x02;
constexpr uint8_t kIllegalValue = 0x03;
constexpr uint8_t kDeviceFailure = 0x04;

uint16_t Word(const std::vector<uint8_t>& pdu, size_t at) {
    return static_cast<uint16_t>(pdu[at] << 8 | pdu[at + 1]);
}

void PutWord(std::vector<uint8_t>& out, uint16_t word) {
    out.push_back(static_cast<uint8_t>(word >> 8));
    out.push_back(static_cast<uint8_t>(word & 0xFF));
}

std::optional<std::pair<uint16_t, std::array<char, 2>>> ParseVersion(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})([^\\d:]{0,2})$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch() || match.captured(1).toUInt() > 0xFFFF)
        return std::nullopt;
    std::array<char, 2> suffix{'\0', '\0'};
    const QByteArray chars = match.captured(2).toLatin1();
    for (int i = 0; i < chars.size(); ++i)
        suffix[static_cast<size_t>(i)] = chars[i];
    return std::make_pair(static_cast<uint16_t>(match.captured(1).toUInt()), suffix);
}

} // namespace

std::optional<TnvSimIdentity> TnvSimIdentity::Parse(const QString& text) {
    const QStringList parts = text.split(':');
    if (parts.size() != 2)
        return std::nullopt;
    const auto model = ParseVersion(parts[0]);
    const auto firmware = ParseVersion(parts[1]);
    if (!model || !firmware)
        return std::nullopt;
    TnvSimIdentity id;
    id.Model = model->first;
    id.ModelSuffix = model->second;
    id.Firmware = firmware->first;
    id.FirmwareSuffix = firmware->second;
    return id;
}

TnvSimSlave::TnvSimSlave(TnvSimRegisterStore& store, TnvSimModel& model, const TnvSimEeprom& eeprom,
                         TnvSimIdentity identity)
    : FStore(store)
    , FModel(model)
    , FEeprom(eeprom)
    , FIdentity(identity) {}

uint8_t TnvSimSlave::Address() const {
    return static_cast<uint8_t>(FStore.Word(kSlave));
}

std::vector<uint8_t> TnvSimSlave::Exception(uint8_t function, uint8_t code) {
    return {static_cast<uint8_t>(function | 0x80), code};
}

std::vector<uint8_t> TnvSimSlave::Execute(const std::vector<uint8_t>& pdu) {
    if (pdu.empty())
        return Exception(0, kIllegalFunction);
    switch (pdu[0]) {
    case kReadHolding:
        return ReadHolding(pdu);
    case kWriteSingle:
        return WriteSingle(pdu);
    case kWriteMultiple:
        return WriteMultiple(pdu);
    case kIdentify:
        return Identify();
    case kDiagnostics:
        // Sub-function 0 returns the query data: a master's line check.
        if (pdu.size() >= 3 && pdu[1] == 0 && pdu[2] == 0)
            return pdu;
        return Exception(pdu[0], kIllegalFunction);
    default:
        return Exception(pdu[0], kIllegalFunction);
    }
}

uint16_t TnvSimSlave::ParameterRegisters(uint16_t address) const {
    const TnvSimParameter* par = FStore.StartingAt(address);
    return par ? par->RegCount : 1;
}

std::optional<std::pair<uint16_t, uint32_t>>
TnvSimSlave::AddressedRange(const std::vector<uint8_t>& pdu) const {
    if (pdu.size() < 5)
        return std::nullopt;
    const uint16_t first = Word(pdu, 1);
    switch (pdu[0]) {
    case kReadHolding:
    case kWriteMultiple: {
        const uint16_t quantity = Word(pdu, 3);
        return std::make_pair(first, quantity == 1 ? uint32_t{ParameterRegisters(first)}
                                                   : uint32_t{quantity});
    }
    case kWriteSingle:
        return std::make_pair(first, uint32_t{1});
    default:
        return std::nullopt;
    }
}

std::vector<uint8_t> TnvSimSlave::ReadHolding(const std::vector<uint8_t>& pdu) {
    if (pdu.size() != 5)
        return Exception(kReadHolding, kIllegalValue);
    const uint16_t quantity = Word(pdu, 3);
    if (quantity < 1 || quantity > 125)
        return Exception(kReadHolding, kIllegalValue);
    const auto [first, count] = *AddressedRange(pdu);
    if (first + count > 0x10000)
        return Exception(kReadHolding, kIllegalAddress);
    for (uint32_t r = 0; r < count; ++r)
        if (!FStore.IsMapped(static_cast<uint16_t>(first + r)))
            return Exception(kReadHolding, kIllegalAddress);
    if (const auto refused = FModel.RefusesRead(first, count))
        return Exception(kReadHolding, *refused);
    std::vector<uint8_t> reply{kReadHolding, static_cast<uint8_t>(2 * count)};
    for (uint32_t r = 0; r < count; ++r)
        PutWord(reply, FStore.Register(static_cast<uint16_t>(first + r)));
    return reply;
}

std::vector<uint8_t> TnvSimSlave::WriteSingle(const std::vector<uint8_t>& pdu) {
    if (pdu.size() != 5)
        return Exception(kWriteSingle, kIllegalValue);
    const uint16_t address = Word(pdu, 1);
    if (!IsWritable(address))
        return Exception(kWriteSingle, kIllegalAddress);
    if (const uint8_t code = Write(address, {Word(pdu, 3)}))
        return Exception(kWriteSingle, code);
    return pdu;
}

std::vector<uint8_t> TnvSimSlave::WriteMultiple(const std::vector<uint8_t>& pdu) {
    if (pdu.size() < 6)
        return Exception(kWriteMultiple, kIllegalValue);
    const uint16_t first = Word(pdu, 1);
    const uint16_t quantity = Word(pdu, 3);
    const uint8_t byteCount = pdu[5];
    const bool wholeParameter = quantity == 1 && byteCount == 2 * ParameterRegisters(first);
    if (quantity < 1 || quantity > 123 || byteCount != pdu.size() - 6 || byteCount % 2 != 0 ||
        (byteCount != 2 * quantity && !wholeParameter))
        return Exception(kWriteMultiple, kIllegalValue);
    const uint32_t count = byteCount / 2u;
    if (first + count > 0x10000)
        return Exception(kWriteMultiple, kIllegalAddress);
    for (uint32_t r = 0; r < count; ++r)
        if (!IsWritable(static_cast<uint16_t>(first + r)))
            return Exception(kWriteMultiple, kIllegalAddress);
    std::vector<uint16_t> words;
    for (uint32_t r = 0; r < count; ++r)
        words.push_back(Word(pdu, 6 + 2 * r));
    if (const uint8_t code = Write(first, words))
        return Exception(kWriteMultiple, code);
    return {pdu.begin(), pdu.begin() + 5};
}

bool TnvSimSlave::IsWritable(uint16_t address) const {
    if (FStore.IsWritable(address))
        return true;
    const std::vector<uint32_t> owners = FStore.ParametersIn(address, 1);
    return !owners.empty() && std::all_of(owners.begin(), owners.end(),
                                          [this](uint32_t i) { return FModel.IsBenchInput(i); });
}

uint8_t TnvSimSlave::Write(uint16_t first, const std::vector<uint16_t>& words) {
    const auto count = static_cast<uint32_t>(words.size());
    // A drive that took a slave address it cannot answer on would be lost.
    for (uint32_t index : {kSlave, kStoredSlave}) {
        const TnvSimParameter* par = FStore.Find(index);
        if (par && par->RegAddr >= first && par->RegAddr < first + count) {
            const uint16_t address = words[par->RegAddr - first];
            if (address < 1 || address > 247)
                return kIllegalValue;
        }
    }
    std::vector<uint16_t> before;
    for (uint32_t r = 0; r < count; ++r) {
        const auto address = static_cast<uint16_t>(first + r);
        before.push_back(FStore.Register(address));
        FStore.SetRegister(address, words[r]);
    }
    const std::vector<uint32_t> touched = FStore.ParametersIn(first, count);
    const bool storesCopy = std::any_of(touched.begin(), touched.end(), [this](uint32_t i) {
        return FStore.Find(i)->IsStoredCopy;
    });
    if (storesCopy) {
        try {
            FEeprom.Save(FStore);
        } catch (const TnvError& error) {
            for (uint32_t r = 0; r < count; ++r)
                FStore.SetRegister(static_cast<uint16_t>(first + r), before[r]);
            if (OnLog)
                OnLog(QStringLiteral("EEPROM write failed: %1").arg(error.Message()));
            return kDeviceFailure;
        }
    }
    for (uint32_t index : touched)
        FModel.ParameterWritten(index);
    return 0;
}

std::vector<uint8_t> TnvSimSlave::Identify() const {
    std::vector<uint8_t> reply{kIdentify};
    PutWord(reply, FStore.Word(kSizeCode));
    PutWord(reply, FIdentity.Model);
    reply.push_back(static_cast<uint8_t>(FIdentity.ModelSuffix[0]));
    reply.push_back(static_cast<uint8_t>(FIdentity.ModelSuffix[1]));
    PutWord(reply, FIdentity.Firmware);
    reply.push_back(static_cast<uint8_t>(FIdentity.FirmwareSuffix[0]));
    reply.push_back(static_cast<uint8_t>(FIdentity.FirmwareSuffix[1]));
    return reply;
}
