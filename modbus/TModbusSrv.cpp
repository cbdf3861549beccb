#include "TModbusSrv.h"

#include "TCTCPIPServer.h"
#include "TnvError.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

constexpr size_t kMaxRtuFrame = 256;
// An exception reply: slave, function, code and CRC.
constexpr size_t kShortestReply = 5;
constexpr size_t kMbapHeader = 7;

uint16_t Crc16(const uint8_t* data, size_t size) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

// The CRC closes an RTU frame low byte first.
bool CrcValid(const std::vector<uint8_t>& frame, size_t size) {
    if (size < 4 || size > frame.size())
        return false;
    const uint16_t crc = Crc16(frame.data(), size - 2);
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

// The length of an RTU reply (with CRC) once enough of it is in; 0 while it
// cannot be told yet or the function is one whose replies we cannot frame by
// length (such a reply ends with the silence).
size_t ExpectedRtuLength(const std::vector<uint8_t>& frame) {
    if (frame.size() < 2)
        return 0;
    const uint8_t function = frame[1];
    if (function & 0x80)
        return 5;
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x17:
        return frame.size() < 3 ? 0 : 5 + size_t{frame[2]};
    case 0x05:
    case 0x06:
    case 0x08: // the line check: sub-function and one word, echoed
    case 0x0F:
    case 0x10:
        return 8;
    default:
        return 0;
    }
}

// A reply of a known function whose structure contradicts its length or the
// request. A read carries whole registers, at least one; a read of one
// register may carry more, as the drive answers it with the whole parameter
// there (its size is checked by whoever knows the parameter).
bool Malformed(const std::vector<uint8_t>& reply, const std::vector<uint8_t>& query) {
    if (reply.size() < 2)
        return true;
    switch (reply[1]) {
    case 0x03:
    case 0x04: {
        if (reply.size() < 3 || reply.size() != 3 + size_t{reply[2]})
            return true;
        const size_t count = reply[2];
        const size_t quantity = query.size() >= 6 ? size_t{query[4]} << 8 | query[5] : 1;
        return count == 0 || count % 2 != 0 || (quantity > 1 && count != 2 * quantity);
    }
    case 0x06:
    case 0x10:
        return reply.size() != 6;
    default:
        return false;
    }
}

bool StandardBaudRate(int rate) {
    static constexpr std::array kRates{110,     300,     600,     1200,    2400,    4800,
                                       9600,    19200,   38400,   57600,   115200,  230400,
                                       460800,  500000,  576000,  921600,  1000000, 1152000,
                                       1500000, 2000000, 2500000, 3000000, 3500000, 4000000};
    return std::find(kRates.begin(), kRates.end(), rate) != kRates.end();
}

bool IsPty(const QByteArray& device) {
    // The majors of Unix 98 pty slaves (/dev/pts/N).
    constexpr unsigned kFirstPtyMajor = 136;
    constexpr unsigned kLastPtyMajor = 143;
    struct stat st {};
    return ::stat(device.constData(), &st) == 0 && S_ISCHR(st.st_mode) &&
           major(st.st_rdev) >= kFirstPtyMajor && major(st.st_rdev) <= kLastPtyMajor;
}

// A pty drops the parity bit, and the C library takes a setting that changed
// nothing for a refused one: a pty left in our settings by a client that was
// killed would refuse every later open with parity. A plain line first makes
// our settings a change again. A real port is left alone: opening and closing
// it may drop its modem lines.
void PlainPtyLine(const QByteArray& device) {
    if (!IsPty(device))
        return;
    const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return; // the open that follows reports why
    termios tios{};
    if (tcgetattr(fd, &tios) == 0) {
        tios.c_iflag = 0;
        tios.c_cflag &= ~static_cast<tcflag_t>(CLOCAL | PARENB | PARODD);
        tcsetattr(fd, TCSANOW, &tios);
    }
    ::close(fd);
}

QString ErrnoText() {
    return QString::fromLocal8Bit(modbus_strerror(errno));
}

} // namespace

TModbusSrv::TModbusSrv() = default;

TModbusSrv::~TModbusSrv() {
    CloseConnection();
}

QString TModbusSrv::PortsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kx720/ports.ini");
}

QString TModbusSrv::MappedDeviceOfPort(int portNumber) {
    QFile ports(PortsFile());
    if (ports.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QRegularExpression line(QStringLiteral("^\\s*COM(\\d+)\\s*=\\s*(.*?)\\s*$"),
                                      QRegularExpression::CaseInsensitiveOption);
        QTextStream in(&ports);
        while (!in.atEnd()) {
            const auto match = line.match(in.readLine());
            if (match.hasMatch() && match.captured(1).toInt() == portNumber &&
                !match.captured(2).isEmpty())
                return match.captured(2);
        }
    }
    return {};
}

QString TModbusSrv::DeviceOfPort(int portNumber) {
    const QString mapped = MappedDeviceOfPort(portNumber);
    return mapped.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(portNumber - 1) : mapped;
}

bool TModbusSrv::OpenConnection(const QString& name, int16_t connType) {
    if (connType != lkSerial && connType != lkTcpIp) {
        FErrorText = QStringLiteral("unknown link kind %1").arg(connType);
        return false;
    }
    FName = name;
    FKind = static_cast<TLinkKind>(connType);
    return true;
}

bool TModbusSrv::Connect() {
    std::lock_guard lock(FLinkLock);
    CloseConnection();
    FErrorText.clear();
    FLine = TLine::Unknown;
    const bool ok = FKind == lkTcpIp ? ConnectTcp() : FKind == lkSerial && ConnectRtu();
    if (ok) {
        modbus_set_response_timeout(FContext, static_cast<uint32_t>(FTimeout / 1000),
                                    static_cast<uint32_t>(FTimeout % 1000) * 1000);
    } else if (FErrorText.isEmpty()) {
        FErrorText = QStringLiteral("the link is not open");
    }
    return ok;
}

bool TModbusSrv::ConnectRtu() {
    const QString device = DeviceOfPort(FPortNumber);
    static constexpr std::array kParity{'N', 'O', 'E'};
    if (FParity < 0 || FParity >= static_cast<int>(kParity.size())) {
        FErrorText = QStringLiteral("%1: parity code %2 is not supported").arg(device).arg(FParity);
        return false;
    }
    if (FByteSize != 7 && FByteSize != 8) {
        FErrorText =
            QStringLiteral("%1: %2 data bits are not supported").arg(device).arg(FByteSize);
        return false;
    }
    if (!StandardBaudRate(FBaudRate)) {
        FErrorText = QStringLiteral("%1: %2 baud is not supported").arg(device).arg(FBaudRate);
        return false;
    }
    const int stopBits = (FStopBits == 2 || FStopBits == 20) ? 2 : 1;
    PlainPtyLine(device.toLocal8Bit());
    FContext = modbus_new_rtu(device.toLocal8Bit().constData(), FBaudRate, kParity[FParity],
                              FByteSize, stopBits);
    if (!FContext)
        throw TnvError(QStringLiteral("%1: %2").arg(device, ErrnoText()));
    if (modbus_connect(FContext) != 0) {
        FErrorText = QStringLiteral("%1: %2").arg(device, ErrnoText());
        CloseConnection();
        return false;
    }
    // Reads never block: every wait is a poll with its deadline.
    fcntl(Fd(), F_SETFL, fcntl(Fd(), F_GETFL) | O_NONBLOCK);
    if (FTxMode == 1 && modbus_rtu_set_serial_mode(FContext, MODBUS_RTU_RS485) != 0) {
        FErrorText = QStringLiteral("%1: RS-485 mode: %2").arg(device, ErrnoText());
        CloseConnection();
        return false;
    }
    if (FTxMode != 0 && FTxMode != 1) {
        FErrorText =
            QStringLiteral("%1: transmission mode %2 is not supported").arg(device).arg(FTxMode);
        CloseConnection();
        return false;
    }
    if (!ApplyFlowControl()) {
        FErrorText =
            QStringLiteral("%1: flow control %2: %3").arg(device).arg(FFlowCtrl).arg(ErrnoText());
        CloseConnection();
        return false;
    }
    return true;
}

bool TModbusSrv::ApplyFlowControl() {
    termios tios{};
    if (tcgetattr(Fd(), &tios) != 0)
        return false;
    switch (FFlowCtrl) {
    case 0:
    case 8:
        break;
    case 1:
        tios.c_cflag |= CRTSCTS;
        break;
    case 2:
        tios.c_iflag |= IXON | IXOFF;
        break;
    default:
        errno = EINVAL;
        return false;
    }
    if (tcsetattr(Fd(), TCSANOW, &tios) != 0)
        return false;
    if (FFlowCtrl == 8) {
        int lines = TIOCM_DTR | TIOCM_RTS;
        // A device without modem lines (a pty) has nothing to raise.
        if (ioctl(Fd(), TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
            return false;
    }
    return true;
}

bool TModbusSrv::ConnectTcp() {
    const QByteArray host = FHostName.toLocal8Bit();
    const QByteArray port = QByteArray::number(FTCPIPPort);
    FContext = modbus_new_tcp_pi(host.constData(), port.constData());
    if (!FContext)
        throw TnvError(QStringLiteral("%1:%2: %3").arg(FHostName).arg(FTCPIPPort).arg(ErrnoText()));
    modbus_set_response_timeout(FContext, static_cast<uint32_t>(FTimeout / 1000),
                                static_cast<uint32_t>(FTimeout % 1000) * 1000);
    if (modbus_connect(FContext) != 0) {
        FErrorText = QStringLiteral("%1:%2: %3").arg(FHostName).arg(FTCPIPPort).arg(ErrnoText());
        CloseConnection();
        return false;
    }
    return true;
}

void TModbusSrv::CloseConnection() {
    std::lock_guard lock(FLinkLock);
    if (!FContext)
        return;
    modbus_close(FContext);
    modbus_free(FContext);
    FContext = nullptr;
}

std::unique_ptr<TCTCPIPServer> TModbusSrv::CreateTCPServer() {
    return std::make_unique<TCTCPIPServer>(*this);
}

int TModbusSrv::Fd() const {
    return FContext ? modbus_get_socket(FContext) : -1;
}

std::chrono::milliseconds TModbusSrv::Silence() const {
    switch (FSilentInt) {
    case 1:
        return 50ms;
    case 2:
        return 100ms;
    default:
        return 20ms;
    }
}

int32_t TModbusSrv::Fail(int32_t code, const QString& text) {
    FErrorText = text;
    return code;
}

int32_t TModbusSrv::TxRxMessage(const std::vector<uint8_t>& query, int queryLength,
                                std::vector<uint8_t>& response) {
    if (!FOnExchanged)
        return TxRxFrame(query, queryLength, response);
    const auto start = TClock::now();
    const int32_t status = TxRxFrame(query, queryLength, response);
    FOnExchanged(status,
                 std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - start));
    return status;
}

int32_t TModbusSrv::TxRxFrame(const std::vector<uint8_t>& query, int queryLength,
                              std::vector<uint8_t>& response) {
    std::lock_guard lock(FLinkLock);
    response.clear();
    if (!FContext)
        return Fail(kNotInitialized, QStringLiteral("the link is not open"));
    if (queryLength < 2 || static_cast<size_t>(queryLength) > query.size() || queryLength > 253)
        return Fail(kInvalidReply, QStringLiteral("malformed request"));
    const std::vector<uint8_t> frame(query.begin(), query.begin() + queryLength);
    const int32_t status = FKind == lkTcpIp ? TxRxTcp(frame, response) : TxRxRtu(frame, response);
    // Only a reply that answers this request is handed on: a reply of
    // another slave or a malformed one must not be taken for data, nor be
    // passed on as this slave's exception.
    const bool exception =
        response.size() >= 3 && response[0] == frame[0] && response[1] == (frame[1] | 0x80);
    if (status != kOk && !exception)
        response.clear();
    return status;
}

bool TModbusSrv::LineNeedsCheck(const std::vector<uint8_t>& query) const {
    return FLine == TLine::Unknown || (FLine == TLine::Owing && query != FOwedQuery);
}

int32_t TModbusSrv::TxRxRtu(const std::vector<uint8_t>& query, std::vector<uint8_t>& response) {
    // Input on a clean line is a reply nobody waits for: the slave is not
    // where we think it is.
    if (DiscardInput(0ms, Silence()) && FLine == TLine::Clean)
        FLine = TLine::Unknown;
    if (LineNeedsCheck(query)) {
        if (const int32_t status = Resynchronise(query[0]); status != kOk)
            return status;
    }
    std::vector<uint8_t> frame = query;
    const uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    if (FLine == TLine::Clean) {
        FLine = TLine::Owing;
        FOwedQuery = query;
        FOwedCopies = 0;
    }
    ++FOwedCopies;
    if (!WriteAll(frame.data(), frame.size()))
        return Fail(kWriteError, QStringLiteral("port write error: %1").arg(ErrnoText()));
    const int32_t status = ReceiveRtu(query, response);
    // A reply of our slave and function answers one of the copies sent;
    // anything else leaves us unsure what is still on its way.
    const bool answered =
        !response.empty() && response[0] == query[0] && (response[1] & 0x7F) == query[1];
    if (answered && FLine == TLine::Owing && --FOwedCopies == 0)
        FLine = TLine::Clean;
    else if (!answered && status != kTimeout)
        FLine = TLine::Unknown;
    return status;
}

int32_t TModbusSrv::Resynchronise(uint8_t slave) {
    FLine = TLine::Unknown;
    FOwedQuery.clear();
    FOwedCopies = 0;
    const auto nonce = static_cast<uint16_t>(FNonces());
    std::vector<uint8_t> echo{
        slave, 0x08, 0x00, 0x00, static_cast<uint8_t>(nonce >> 8), static_cast<uint8_t>(nonce)};
    const uint16_t crc = Crc16(echo.data(), echo.size());
    echo.push_back(static_cast<uint8_t>(crc & 0xFF));
    echo.push_back(static_cast<uint8_t>(crc >> 8));
    if (!WriteAll(echo.data(), echo.size()))
        return Fail(kWriteError, QStringLiteral("port write error: %1").arg(ErrnoText()));
    const auto deadline = TClock::now() + std::chrono::milliseconds(FTimeout);
    for (;;) {
        std::vector<uint8_t> frame;
        const int32_t status = TClock::now() < deadline ? ReadRtuFrame(deadline, frame) : kTimeout;
        if (status == kTimeout)
            return Fail(kTimeout, QStringLiteral("no reply to the line check"));
        if (status != kOk)
            return status;
        const bool sound = CrcValid(frame, frame.size());
        if (sound && frame == echo) {
            FLine = TLine::Clean;
            return kOk;
        }
        if (sound && frame.size() == 5 && frame[0] == slave && frame[1] == 0x88) {
            FLine = TLine::Clean; // no diagnostics: see the header
            return kOk;
        }
        if (!sound) {
            DiscardInput(0ms, Silence());
            return Fail(kCrcError, QStringLiteral("bad CRC"));
        }
    }
}

int32_t TModbusSrv::ReadRtuFrame(TClock::time_point replyDeadline, std::vector<uint8_t>& frame) {
    frame.clear();
    frame.reserve(kMaxRtuFrame);
    std::array<uint8_t, kMaxRtuFrame> chunk{};
    for (;;) {
        const auto deadline = frame.empty() ? replyDeadline : TClock::now() + Silence();
        const size_t expected = ExpectedRtuLength(frame);
        // No frame of a function we frame by length is shorter than the
        // shortest reply, so reading up to it never takes bytes of the next
        // frame; past it, a frame of unknown length comes byte by byte.
        const size_t wanted = expected > frame.size()         ? expected - frame.size()
                              : frame.size() < kShortestReply ? kShortestReply - frame.size()
                                                              : 1;
        // A reply is never in yet when the request has just gone: wait first.
        const int n = ReadSome(chunk.data(), std::min(wanted, kMaxRtuFrame - frame.size()),
                               deadline, frame.empty());
        if (n < 0)
            return Fail(kReadError, QStringLiteral("port read error: %1").arg(ErrnoText()));
        if (n == 0)
            return frame.empty() ? kTimeout : kOk; // the silence ends the frame
        frame.insert(frame.end(), chunk.begin(), chunk.begin() + n);
        const size_t length = ExpectedRtuLength(frame);
        if ((length != 0 && frame.size() >= length) || frame.size() >= kMaxRtuFrame)
            return kOk;
    }
}

int32_t TModbusSrv::ReceiveRtu(const std::vector<uint8_t>& query, std::vector<uint8_t>& response) {
    std::vector<uint8_t> frame;
    const int32_t status = ReadRtuFrame(TClock::now() + std::chrono::milliseconds(FTimeout), frame);
    if (status == kTimeout)
        return Fail(kTimeout, QStringLiteral("no reply"));
    if (status != kOk)
        return status;
    const size_t length = ExpectedRtuLength(frame);
    if (length != 0 && frame.size() < length)
        return Fail(kInvalidReply, QStringLiteral("reply cut short"));
    const size_t size = length != 0 ? length : frame.size();
    if (!CrcValid(frame, size))
        return Fail(size < 4 ? kInvalidReply : kCrcError, QStringLiteral("bad CRC"));
    response.assign(frame.begin(), frame.begin() + static_cast<long>(size) - 2);
    return CheckReply(query, response);
}

int32_t TModbusSrv::CheckReply(const std::vector<uint8_t>& query,
                               const std::vector<uint8_t>& response) {
    // Over TCP the transaction id matched already: another unit id is a
    // gateway that answered for the wrong device.
    if (response[0] != query[0] || (response[1] & 0x7F) != query[1])
        return Fail(kInvalidReply, QStringLiteral("reply to another request"));
    if (response[1] & 0x80)
        return Fail(kInvalidReply,
                    QStringLiteral("exception %1").arg(response.size() > 2 ? response[2] : 0));
    if (Malformed(response, query))
        return Fail(kInvalidReply, QStringLiteral("malformed reply"));
    return kOk;
}

int32_t TModbusSrv::TxRxTcp(const std::vector<uint8_t>& query, std::vector<uint8_t>& response) {
    // The rest of a frame we stopped reading would be taken for a header.
    if (FTcpFrameCut)
        DiscardInput(0ms, Silence());
    FTcpFrameCut = false;
    const uint16_t transaction = ++FTransaction;
    std::vector<uint8_t> frame{
        static_cast<uint8_t>(transaction >> 8),  static_cast<uint8_t>(transaction & 0xFF), 0, 0,
        static_cast<uint8_t>(query.size() >> 8), static_cast<uint8_t>(query.size() & 0xFF)};
    frame.insert(frame.end(), query.begin(), query.end());
    if (!WriteAll(frame.data(), frame.size()))
        return Fail(kWriteError, QStringLiteral("write error: %1").arg(ErrnoText()));
    const int32_t status = ReceiveTcp(transaction, response);
    return status != kOk ? status : CheckReply(query, response);
}

int32_t TModbusSrv::ReceiveTcp(uint16_t transaction, std::vector<uint8_t>& response) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(FTimeout);
    // The header is waited for; the rest of a frame is usually there already.
    auto readExactly = [&](uint8_t* out, size_t size, bool waitFirst) {
        size_t got = 0;
        while (got < size) {
            const int n = ReadSome(out + got, size - got, deadline, waitFirst && got == 0);
            FTcpFrameCut = n == 0 && (got > 0 || !waitFirst);
            if (n <= 0)
                return n;
            got += static_cast<size_t>(n);
        }
        return 1;
    };
    for (;;) {
        std::array<uint8_t, kMbapHeader + 255> frame{};
        int n = readExactly(frame.data(), kMbapHeader, true);
        const size_t length = (size_t{frame[4]} << 8) | frame[5];
        if (n > 0 && (length < 2 || length > 254)) {
            DiscardInput(0ms, Silence()); // the stream lost its framing
            return Fail(kInvalidReply, QStringLiteral("bad MBAP header"));
        }
        if (n > 0)
            n = readExactly(frame.data() + kMbapHeader, length - 1, false);
        if (n < 0)
            return Fail(kReadError, QStringLiteral("read error: %1").arg(ErrnoText()));
        if (n == 0)
            return Fail(kTimeout, QStringLiteral("no reply"));
        const uint16_t id = static_cast<uint16_t>((frame[0] << 8) | frame[1]);
        if (id != transaction || frame[2] != 0 || frame[3] != 0) {
            // A late reply to an earlier request. Input that is always there
            // never lets a wait time out: a peer streaming replies to other
            // requests would hold us for good.
            if (TClock::now() < deadline)
                continue;
            FTcpFrameCut = true; // what it still sends answers nothing of ours
            return Fail(kTimeout, QStringLiteral("no reply"));
        }
        response.assign(frame.begin() + 6, frame.begin() + 6 + static_cast<long>(length));
        return kOk;
    }
}

bool TModbusSrv::DiscardInput(std::chrono::milliseconds waitFor, std::chrono::milliseconds quiet) {
    bool arrived = false;
    if (FKind == lkSerial) {
        int waiting = 0;
        const bool counted = ioctl(Fd(), FIONREAD, &waiting) == 0;
        // The usual case before a request: nothing there, and nothing to wait
        // for; the flush, read and poll below would only cost three calls.
        if (counted && waiting == 0 && waitFor.count() <= 0)
            return false;
        arrived = counted && waiting > 0;
        modbus_flush(FContext);
    }
    const auto start = TClock::now();
    std::array<uint8_t, 256> sink{};
    bool reading = false;
    for (;;) {
        const auto now = TClock::now();
        if (now - start > waitFor + 1s)
            return true; // a peer that never stops talking
        const int n = ReadSome(sink.data(), sink.size(), reading ? now + quiet : start + waitFor);
        if (n <= 0)
            return arrived || reading;
        reading = true;
    }
}

bool TModbusSrv::WriteAll(const uint8_t* data, size_t size) {
    const auto deadline = TClock::now() + std::chrono::milliseconds(std::max(FTimeout, 100));
    size_t done = 0;
    while (done < size) {
        const ssize_t n = FKind == lkTcpIp ? send(Fd(), data + done, size - done, MSG_NOSIGNAL)
                                           : write(Fd(), data + done, size - done);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
        pollfd p{Fd(), POLLOUT, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
    }
    return true;
}

int TModbusSrv::ReadSome(uint8_t* out, size_t size, TClock::time_point deadline, bool waitFirst) {
    // The rest of a frame is read without waiting first: replies mostly
    // arrive whole, so it costs no poll. A serial port answers an
    // empty read with 0 (VMIN 0), a closed TCP connection too; after a poll
    // that said "ready", 0 means the other end is gone.
    bool ready = false;
    if (waitFirst) {
        if (const int polled = PollInput(deadline); polled <= 0)
            return polled;
        ready = true;
    }
    for (;;) {
        const ssize_t n =
            FKind == lkTcpIp ? recv(Fd(), out, size, MSG_DONTWAIT) : read(Fd(), out, size);
        if (n > 0)
            return static_cast<int>(n);
        const bool empty = n < 0 ? (errno == EAGAIN || errno == EWOULDBLOCK) : FKind == lkSerial;
        if (n < 0 && errno == EINTR)
            continue;
        if (!empty || (ready && n == 0)) {
            errno = n < 0 ? errno : ECONNRESET;
            return -1;
        }
        const int polled = PollInput(deadline);
        if (polled <= 0)
            return polled;
        ready = true;
    }
}

int TModbusSrv::PollInput(TClock::time_point deadline) {
    // Waits in short slices so that a request to stop is seen promptly.
    constexpr auto kSlice = 20ms;
    for (;;) {
        if (FStopRequest && FStopRequest())
            return 0;
        const auto now = TClock::now();
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        const auto wait = std::clamp<long>(left.count(), 0, kSlice.count());
        pollfd p{Fd(), POLLIN, 0};
        const int polled = poll(&p, 1, static_cast<int>(wait));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled != 0 || left.count() <= wait)
            return polled < 0 ? -1 : polled;
    }
}
