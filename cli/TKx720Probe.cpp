#include "TKx720Probe.h"

#include "TModbusSrv.h"
#include "TnvError.h"
#include "TnvMBDeviceInfo.h"

#include <vector>

TKx720Probe::TKx720Probe(std::function<bool()> stop)
    : FStop(std::move(stop)) {}

TKx720Probe::~TKx720Probe() = default;

bool TKx720Probe::Open(const TLine& line) {
    FServer = std::make_unique<TModbusSrv>();
    const bool serial = line.ComPort > 0;
    FServer->OpenConnection(serial ? QStringLiteral("COM%1").arg(line.ComPort) : line.Host,
                            serial ? TModbusSrv::lkSerial : TModbusSrv::lkTcpIp);
    FServer->put_Retries(0);
    FServer->put_BaudRate(line.Baud);
    FServer->put_PortNumber(static_cast<int16_t>(line.ComPort));
    FServer->put_ByteSize(8);
    FServer->put_Parity(static_cast<int16_t>(line.Parity));
    FServer->put_StopBits(50);
    FServer->put_FlowCtrl(8);
    FServer->put_Timeout(line.Timeout);
    FServer->put_TCPIPPort(line.Port);
    FServer->put_HostName(line.Host);
    FServer->SetStopRequest(FStop);
    try {
        if (FServer->Connect())
            return true;
        FError = FServer->ErrorText();
    } catch (const TnvError& e) {
        FError = e.Message();
    }
    FServer.reset();
    return false;
}

QString TKx720Probe::ErrorText() const {
    return FServer ? FServer->ErrorText() : FError;
}

int32_t TKx720Probe::Ident(TnvMBDeviceInfo& info) {
    if (!FServer)
        return TModbusSrv::kNotInitialized;
    return info.Exchange(*FServer);
}

int32_t TKx720Probe::ReadWord(uint8_t slave, uint16_t reg, uint16_t& word) {
    if (!FServer)
        return TModbusSrv::kNotInitialized;
    const std::vector<uint8_t> query{
        slave, 0x03, static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg & 0xFF), 0x00, 0x01};
    std::vector<uint8_t> reply;
    const int32_t status = FServer->TxRxMessage(query, static_cast<int>(query.size()), reply);
    if (status != TModbusSrv::kOk)
        return status;
    if (reply.size() < 5 || reply[2] < 2 || reply.size() < 3u + reply[2])
        return TModbusSrv::kInvalidReply;
    word = static_cast<uint16_t>(reply[3] << 8 | reply[4]);
    return status;
}

int32_t TKx720Probe::WriteWord(uint8_t slave, uint16_t reg, uint16_t word) {
    if (!FServer)
        return TModbusSrv::kNotInitialized;
    const std::vector<uint8_t> query{
        slave, 0x10, static_cast<uint8_t>(reg >> 8),  static_cast<uint8_t>(reg & 0xFF), 0x00,
        0x01,  0x02, static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word & 0xFF)};
    std::vector<uint8_t> reply;
    return FServer->TxRxMessage(query, static_cast<int>(query.size()), reply);
}

QString TKx720Probe::FrameText(int parity) {
    static const char* const kParity[] = {"8N1", "8O1", "8E1"};
    return parity >= 0 && parity <= 2 ? kParity[parity] : QStringLiteral("8?1");
}
