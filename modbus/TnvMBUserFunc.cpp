#include "TnvMBUserFunc.h"

#include "NvErrorReport.h"
#include "TModbusSrv.h"
#include "TnvMessageWindow.h"

TnvMBUserFunc::TnvMBUserFunc()
    : FWindow(std::make_unique<TnvMessageWindow>(
          [this](unsigned code, std::uintptr_t w, std::intptr_t l) { WndProc(code, w, l); })) {}

TnvMBUserFunc::~TnvMBUserFunc() = default;

void TnvMBUserFunc::PostMessage(unsigned code, std::uintptr_t w, std::intptr_t l) {
    FWindow->Post(code, w, l);
}

void TnvMBUserFunc::WndProc(unsigned code, std::uintptr_t w, std::intptr_t l) {
    try {
        switch (code) {
        case kResponse:
            DoOnResponse();
            break;
        case kMessage:
            DoOnMessage(static_cast<uint16_t>(w), static_cast<long>(l));
            break;
        case kError:
            DoOnError(static_cast<uint16_t>(w));
            break;
        default:
            break;
        }
    } catch (...) {
        nv::ReportCurrentException();
    }
}

bool TnvMBUserFunc::TxRx(TModbusSrv& server) {
    Response.clear();
    LastError = server.TxRxMessage(Query, QueryLength, Response);
    return LastError == 0;
}

void TnvMBUserFunc::BuildReadQuery(uint8_t slave, uint16_t address, uint16_t quantity) {
    Query = {slave,
             0x03,
             static_cast<uint8_t>(address >> 8),
             static_cast<uint8_t>(address & 0xFF),
             static_cast<uint8_t>(quantity >> 8),
             static_cast<uint8_t>(quantity & 0xFF)};
    QueryLength = 6;
}

void TnvMBUserFunc::BuildWriteQuery(uint8_t slave, uint16_t address, uint16_t value) {
    Query = {slave,
             0x06,
             static_cast<uint8_t>(address >> 8),
             static_cast<uint8_t>(address & 0xFF),
             static_cast<uint8_t>(value >> 8),
             static_cast<uint8_t>(value & 0xFF)};
    QueryLength = 6;
}
