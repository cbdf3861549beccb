#include "NvExchangeError.h"

namespace nv {

QString ExchangeErrorText(int32_t code) {
    switch (static_cast<uint32_t>(code)) {
    case 0:
        return QStringLiteral("no error");
    case static_cast<uint32_t>(-1):
        return QStringLiteral("error in ModBus connection or Port already busy!");
    case static_cast<uint32_t>(-2):
        return QStringLiteral("data value does not exists!");
    case static_cast<uint32_t>(-3):
        return QStringLiteral("MBServer ActiveX not registered!");
    case 0x80040201:
        return QStringLiteral("timeout, no response!");
    case 0x80040202:
        return QStringLiteral("invalid response!");
    case 0x80040203:
        return QStringLiteral("invalid CRC!");
    case 0x80040208:
        return QStringLiteral("COM port write error!");
    case 0x80040209:
        return QStringLiteral("COM port read error!");
    case 0x8004020A:
        return QStringLiteral("COM port not initialized!");
    default:
        return QString::asprintf("%Xh", static_cast<unsigned>(code));
    }
}

QString ModbusExceptionText(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("illegal function");
    case 2:
        return QStringLiteral("illegal data address");
    case 3:
        return QStringLiteral("illegal data value");
    case 4:
        return QStringLiteral("slave device failure");
    case 5:
        return QStringLiteral("acknowledge");
    case 6:
        return QStringLiteral("slave device busy");
    case 8:
        return QStringLiteral("memory parity error");
    case 10:
        return QStringLiteral("gateway path unavailable");
    case 11:
        return QStringLiteral("gateway target device failed to respond");
    default:
        return QStringLiteral("unknown exception");
    }
}

} // namespace nv
