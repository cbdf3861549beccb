#include "TnvMBDeviceInfo.h"

#include "TModbusSrv.h"

namespace {

constexpr uint8_t kIdentify = 0x41;
constexpr int kReplyLength = 12;

bool Shown(char c) {
    return c != 0 && c != ' ';
}

// The drive's character, or "?" for one that does not print: its control
// characters would otherwise reach a terminal that shows the text.
QChar Printable(char c) {
    const QChar shown = QChar::fromLatin1(c);
    return shown.isPrint() ? shown : QChar(u'?');
}

// "-" and the first character when it shows, followed by the second only when
// that one shows too; nothing when the first does not show.
QString SuffixText(const std::array<char, 2>& suffix) {
    if (!Shown(suffix[0]))
        return {};
    QString text = QStringLiteral("-") + Printable(suffix[0]);
    if (Shown(suffix[1]))
        text += Printable(suffix[1]);
    return text;
}

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

} // namespace

TnvMBDeviceInfo::TnvMBDeviceInfo(uint8_t slaveAddress)
    : SlaveAddress(slaveAddress) {}

int32_t TnvMBDeviceInfo::Exchange(TModbusSrv& server) {
    Valid = false;
    Query = {SlaveAddress, kIdentify};
    QueryLength = 2;
    if (TxRx(server) && ResponseData() && ResponseLength() == kReplyLength) {
        const uint8_t* r = ResponseData();
        InfoWord = Word(r + 2);
        HwModel = Word(r + 4);
        HwSuffix = {static_cast<char>(r[6]), static_cast<char>(r[7])};
        FwVersion = Word(r + 8);
        FwSuffix = {static_cast<char>(r[10]), static_cast<char>(r[11])};
        Valid = true;
    }
    return LastError;
}

void TnvMBDeviceInfo::DoOnResponse() {
    if (OnResponse)
        OnResponse(this);
}

void TnvMBDeviceInfo::DoOnError(uint16_t) {
    if (OnError)
        OnError(this);
}

void TnvMBDeviceInfo::DoOnMessage(uint16_t, long) {}

QString TnvMBDeviceInfo::HardwareVersionText() const {
    return QStringLiteral("KX") + QString::number(HwModel) + SuffixText(HwSuffix);
}

QString TnvMBDeviceInfo::FirmwareVersionText() const {
    return QString::asprintf("%.2f", FwVersion * 0.01) + SuffixText(FwSuffix);
}
