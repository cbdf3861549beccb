#pragma once

#include "TnvMBUserFunc.h"

#include <QString>
#include <array>
#include <functional>

// The drive's identification: function 0x41 and its 12-byte reply (slave,
// 0x41, info word, model, model suffix, firmware version in hundredths,
// firmware suffix; words high byte first). A reply of another length still
// completes the request, with Valid false and the fields as they were.
class TnvMBDeviceInfo : public TnvMBUserFunc {
public:
    explicit TnvMBDeviceInfo(uint8_t slaveAddress);

    int32_t Exchange(TModbusSrv& server) override;
    void DoOnResponse() override;
    void DoOnError(uint16_t w) override;
    void DoOnMessage(uint16_t w, long l) override;

    // "KX" and the model number, then "-" and the suffix characters (see
    // SuffixText), e.g. "KX720-A"; "KX720" for a blank suffix.
    QString HardwareVersionText() const;
    // The version with two decimals, then "-" and the suffix, e.g. "2.07".
    QString FirmwareVersionText() const;

    uint16_t InfoWord = 0;
    uint16_t HwModel = 0;
    std::array<char, 2> HwSuffix{};
    uint16_t FwVersion = 0;
    std::array<char, 2> FwSuffix{};
    uint8_t SlaveAddress = 0;
    bool Valid = false; // worker writes it before posting; GUI reads it after

    // GUI thread: raised by DoOnResponse and DoOnError.
    std::function<void(TnvMBDeviceInfo* sender)> OnResponse;
    std::function<void(TnvMBDeviceInfo* sender)> OnError;
};
