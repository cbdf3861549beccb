#include "NvExchangeError.h"

#include "TModbusSrv.h"
#include "TnvMBThread.h"

namespace nv {

QString ExchangeErrorText(int32_t code) {
    switch (code) {
    case TModbusSrv::kOk:
        return QStringLiteral("no error");
    case TnvMBThread::kLinkRefused:
        return QStringLiteral("error in ModBus connection or Port already busy!");
    case TnvMBThread::kNoValue:
        return QStringLiteral("data value does not exists!");
    case TnvMBThread::kServerFailed:
        return QStringLiteral("MBServer ActiveX not registered!");
    case TModbusSrv::kTimeout:
        return QStringLiteral("timeout, no response!");
    case TModbusSrv::kInvalidReply:
        return QStringLiteral("invalid response!");
    case TModbusSrv::kCrcError:
        return QStringLiteral("invalid CRC!");
    case TModbusSrv::kWriteError:
        return QStringLiteral("COM port write error!");
    case TModbusSrv::kReadError:
        return QStringLiteral("COM port read error!");
    case TModbusSrv::kNotInitialized:
        return QStringLiteral("COM port not initialized!");
    default:
        return QString::asprintf("%Xh", static_cast<unsigned>(code));
    }
}

QString LinkErrorHint(const QString& detail) {
    if (detail.contains(QStringLiteral("Permission denied"), Qt::CaseInsensitive))
        return QStringLiteral(" (the user must be in the group dialout to use serial ports)");
    if (detail.contains(QStringLiteral("No such file"), Qt::CaseInsensitive))
        return QStringLiteral(" (no such device: see ports.ini in the kx720 config folder)");
    return {};
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
