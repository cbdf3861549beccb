#include "TnvSimRegisterStore.h"

#include "TnvError.h"

#include <algorithm>
#include <cmath>

TnvSimRegisterStore::TnvSimRegisterStore(std::vector<TnvSimParameter> parameters)
    : FParameters(std::move(parameters)) {
    for (size_t i = 0; i < FParameters.size(); ++i) {
        const TnvSimParameter& par = FParameters[i];
        FByIndex[par.Index] = i;
        const TnvSimParameter* alias = StartingAt(par.RegAddr);
        for (uint32_t r = 0; r < par.RegCount; ++r) {
            const auto address = static_cast<uint16_t>(par.RegAddr + r);
            auto it = FRegisters.find(address);
            if (it != FRegisters.end() && (!alias || alias->RegCount != par.RegCount))
                throw TnvError(QStringLiteral("Par-%1 overlaps Par-%2 at register 0x%3")
                                   .arg(par.Index)
                                   .arg(it->second.Owners.front())
                                   .arg(address, 4, 16, QChar('0')));
            TSlot& slot = FRegisters[address];
            slot.Owners.push_back(par.Index);
            slot.Writable = slot.Writable && !par.Readonly;
        }
    }
}

const TnvSimParameter* TnvSimRegisterStore::Find(uint32_t index) const {
    const auto it = FByIndex.find(index);
    return it == FByIndex.end() ? nullptr : &FParameters[it->second];
}

const TnvSimParameter* TnvSimRegisterStore::StartingAt(uint16_t address) const {
    const auto it = FRegisters.find(address);
    if (it == FRegisters.end())
        return nullptr;
    for (uint32_t owner : it->second.Owners) {
        const TnvSimParameter* par = Find(owner);
        if (par && par->RegAddr == address)
            return par;
    }
    return nullptr;
}

bool TnvSimRegisterStore::IsWritable(uint16_t address) const {
    const auto it = FRegisters.find(address);
    return it != FRegisters.end() && it->second.Writable;
}

uint16_t TnvSimRegisterStore::Register(uint16_t address) const {
    const auto it = FRegisters.find(address);
    return it == FRegisters.end() ? 0 : it->second.Word;
}

void TnvSimRegisterStore::SetRegister(uint16_t address, uint16_t word) {
    const auto it = FRegisters.find(address);
    if (it != FRegisters.end())
        it->second.Word = word;
}

std::vector<uint32_t> TnvSimRegisterStore::ParametersIn(uint16_t first, uint32_t count) const {
    std::vector<uint32_t> indices;
    const uint32_t end = std::min<uint32_t>(first + count, 0x10000);
    for (auto it = FRegisters.lower_bound(first); it != FRegisters.end() && it->first < end; ++it)
        for (uint32_t owner : it->second.Owners)
            if (std::find(indices.begin(), indices.end(), owner) == indices.end())
                indices.push_back(owner);
    return indices;
}

std::vector<uint16_t> TnvSimRegisterStore::Words(uint32_t index) const {
    const TnvSimParameter* par = Find(index);
    std::vector<uint16_t> words;
    if (!par)
        return words;
    for (uint32_t r = 0; r < par->RegCount; ++r)
        words.push_back(Register(static_cast<uint16_t>(par->RegAddr + r)));
    return words;
}

void TnvSimRegisterStore::SetWords(uint32_t index, const std::vector<uint16_t>& words) {
    const TnvSimParameter* par = Find(index);
    if (!par)
        return;
    for (uint32_t r = 0; r < par->RegCount && r < words.size(); ++r)
        SetRegister(static_cast<uint16_t>(par->RegAddr + r), words[r]);
}

uint16_t TnvSimRegisterStore::Word(uint32_t index) const {
    const TnvSimParameter* par = Find(index);
    return par ? Register(par->RegAddr) : 0;
}

void TnvSimRegisterStore::SetWord(uint32_t index, uint16_t word) {
    if (const TnvSimParameter* par = Find(index))
        SetRegister(par->RegAddr, word);
}

int64_t TnvSimRegisterStore::Raw(const TnvSimParameter& par) const {
    const uint16_t high = Register(par.RegAddr);
    if (par.Type == 4 && par.RegCount >= 2) {
        const uint32_t value = (uint32_t{high} << 16) | Register(par.RegAddr + 1);
        return par.Unsigned ? int64_t{value} : int64_t{static_cast<int32_t>(value)};
    }
    if (par.Type == 2) {
        const auto low = static_cast<uint8_t>(high & 0xFF);
        return par.Unsigned ? int64_t{low} : int64_t{static_cast<int8_t>(low)};
    }
    return par.Unsigned ? int64_t{high} : int64_t{static_cast<int16_t>(high)};
}

double TnvSimRegisterStore::Physical(uint32_t index) const {
    const TnvSimParameter* par = Find(index);
    return par ? static_cast<double>(Raw(*par)) * par->FormatNorm + par->FormatOffset : 0.0;
}

void TnvSimRegisterStore::SetPhysical(uint32_t index, double value) {
    const TnvSimParameter* par = Find(index);
    if (!par || par->FormatNorm == 0.0)
        return;
    const bool wide = par->Type == 4 && par->RegCount >= 2;
    const double bits = wide ? 32 : (par->Type == 2 ? 8 : 16);
    const double lo = par->Unsigned ? 0.0 : -std::pow(2.0, bits - 1);
    const double hi = par->Unsigned ? std::pow(2.0, bits) - 1 : std::pow(2.0, bits - 1) - 1;
    const double raw =
        std::clamp(std::round((value - par->FormatOffset) / par->FormatNorm), lo, hi);
    const auto bitsOf = static_cast<uint32_t>(static_cast<int64_t>(raw));
    if (wide) {
        SetRegister(par->RegAddr, static_cast<uint16_t>(bitsOf >> 16));
        SetRegister(static_cast<uint16_t>(par->RegAddr + 1), static_cast<uint16_t>(bitsOf));
    } else {
        SetRegister(par->RegAddr, static_cast<uint16_t>(bitsOf));
    }
}

const TnvSimParameter* TnvSimRegisterStore::WorkingOf(uint32_t storedIndex) const {
    for (const TnvSimParameter& par : FParameters)
        if (par.StoredIndex && *par.StoredIndex == storedIndex)
            return &par;
    return nullptr;
}
