#include "TnvSimServer.h"

#include "TnvError.h"
#include "TnvSimFaults.h"
#include "TnvSimModel.h"
#include "TnvSimPty.h"
#include "TnvSimRequestLog.h"
#include "TnvSimSlave.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr uint8_t kGatewayNoResponse = 0x0B;
constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleRegisters = 0x10;
constexpr size_t kMbapLength = 7; // transaction, protocol, length, unit id
constexpr int kModelTickMs = 100;
constexpr size_t kMaxUnsent = 1 << 16; // bytes of replies a TCP client has left unread

std::atomic<TnvSimServer*> gSignalTarget{nullptr};

QString Reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

TnvSimServer::TnvSimServer(TnvSimSlave& slave, TnvSimModel& model, TnvSimFaults& faults)
    : FSlave(slave)
    , FModel(model)
    , FFaults(faults)
    , FStart(TClock::now()) {
    if (::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw TnvError(QStringLiteral("cannot create a pipe: %1").arg(Reason()));
}

TnvSimServer::~TnvSimServer() {
    if (gSignalTarget.load() == this)
        gSignalTarget.store(nullptr);
    CloseAll();
    ::close(FWake[0]);
    ::close(FWake[1]);
}

void TnvSimServer::InstallSignalHandlers(TnvSimServer& server) {
    gSignalTarget.store(&server);
    struct sigaction action {};
    action.sa_handler = [](int) {
        if (TnvSimServer* target = gSignalTarget.load())
            target->RequestStop();
    };
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

void TnvSimServer::RequestStop() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(FWake[1], &byte, 1);
}

void TnvSimServer::Log(const QString& line) const {
    if (OnLog)
        OnLog(line);
}

QString TnvSimServer::ListenTcp(const QString& host, uint16_t port) {
    const QString address =
        host.compare("localhost", Qt::CaseInsensitive) == 0 ? "127.0.0.1" : host;
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &parsed) != 1)
        throw TnvError(QStringLiteral("--tcp: '%1' is no IPv4 address").arg(host));
    modbus_t* ctx = modbus_new_tcp(address.toLatin1().constData(), port);
    if (!ctx)
        throw TnvError(
            QStringLiteral("--tcp %1:%2: %3").arg(host).arg(port).arg(modbus_strerror(errno)));
    const int fd = modbus_tcp_listen(ctx, 16);
    if (fd < 0) {
        const QString reason = modbus_strerror(errno);
        modbus_free(ctx);
        throw TnvError(
            QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(port).arg(reason));
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    SetNonBlocking(fd);
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    FListeners.push_back(fd);
    FListenerContexts.push_back(ctx);
    return QStringLiteral("ready tcp %1:%2").arg(address).arg(ntohs(bound.sin_port));
}

std::unique_ptr<TnvSimServer::TEndpoint> TnvSimServer::NewRtu(int fd, const QString& name) {
    auto endpoint = std::make_unique<TEndpoint>();
    endpoint->IsTcp = false;
    endpoint->Fd = fd;
    endpoint->Name = name;
    endpoint->Framer = std::make_unique<TnvSimRtuFramer>(TnvSimRtuFramer::SilenceFor(FBaud));
    return endpoint;
}

QString TnvSimServer::OpenPty(const QString& link) {
    auto pty = std::make_unique<TnvSimPty>(link, FBaud);
    auto endpoint = NewRtu(pty->MasterFd(), link);
    endpoint->LogLink = QStringLiteral("pty:") + link;
    const QString ready = QStringLiteral("ready pty %1 %2").arg(link, pty->DeviceName());
    endpoint->Pty = std::move(pty);
    FEndpoints.push_back(std::move(endpoint));
    return ready;
}

QString TnvSimServer::OpenSerial(const QString& device) {
    modbus_t* ctx = modbus_new_rtu(device.toLocal8Bit().constData(), FBaud, 'E', 8, 1);
    if (!ctx || modbus_connect(ctx) != 0) {
        const QString reason = modbus_strerror(errno);
        if (ctx)
            modbus_free(ctx);
        throw TnvError(QStringLiteral("cannot open %1: %2").arg(device, reason));
    }
    const int fd = modbus_get_socket(ctx);
    SetNonBlocking(fd);
    auto endpoint = NewRtu(fd, device);
    endpoint->LogLink = QStringLiteral("serial:") + device;
    endpoint->Serial = ctx;
    FEndpoints.push_back(std::move(endpoint));
    return QStringLiteral("ready serial %1").arg(device);
}

void TnvSimServer::AdvanceModel() {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - FStart);
    FModel.Advance(elapsed - FModel.Now());
}

timespec TnvSimServer::PollTimeout() const {
    const auto now = TClock::now();
    auto next = now + std::chrono::milliseconds(kModelTickMs);
    for (const auto& endpoint : FEndpoints) {
        if (!endpoint->Replies.empty())
            next = std::min(next, endpoint->Replies.front().Due);
        if (endpoint->Framer)
            if (const auto deadline = endpoint->Framer->Deadline())
                next = std::min(next, FStart + *deadline);
    }
    // To the microsecond, not the millisecond: a reply delayed by the wire
    // time of --line-speed would otherwise leave up to 1 ms late.
    const auto wait =
        std::max<int64_t>(std::chrono::ceil<std::chrono::microseconds>(next - now).count(), 0);
    return timespec{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};
}

void TnvSimServer::Run() {
    for (;;) {
        std::vector<pollfd> fds{{FWake[0], POLLIN, 0}};
        const bool accepting = TClock::now() >= FAcceptResumes;
        for (int listener : FListeners)
            fds.push_back({listener, static_cast<short>(accepting ? POLLIN : 0), 0});
        // A closing connection is not read: its end of input would be
        // reported ready again at once.
        for (const auto& endpoint : FEndpoints)
            fds.push_back({endpoint->Fd,
                           static_cast<short>((endpoint->Closing ? 0 : POLLIN) |
                                              (endpoint->Out.empty() ? 0 : POLLOUT)),
                           0});
        const timespec timeout = PollTimeout();
        if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR)
            throw TnvError(QStringLiteral("poll failed: %1").arg(Reason()));
        if (fds[0].revents)
            break;
        AdvanceModel();
        size_t at = 1;
        for (int listener : FListeners)
            if (fds[at++].revents & POLLIN)
                Accept(listener);
        // Endpoints accepted above have no pollfd yet: only the first ones were polled.
        const size_t polled = fds.size() - at;
        for (size_t i = 0; i < polled; ++i)
            if (fds[at + i].revents & (POLLIN | POLLHUP | POLLERR))
                Read(*FEndpoints[i]);
        for (auto& endpoint : FEndpoints) {
            if (endpoint->Framer)
                FrameRtu(*endpoint);
            Flush(*endpoint);
        }
        std::erase_if(FEndpoints, [](const auto& endpoint) { return endpoint->Fd < 0; });
    }
    CloseAll();
}

void TnvSimServer::Accept(int listener) {
    for (;;) {
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && (errno == EINTR || errno == ECONNABORTED))
            continue;
        if (fd < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            // Out of descriptors, the client stays in the backlog and the
            // listener ready: without a pause the loop would spin on it.
            if (!FAcceptFailing)
                Log(QStringLiteral("cannot accept a client: %1").arg(Reason()));
            FAcceptFailing = true;
            FAcceptResumes = TClock::now() + std::chrono::milliseconds(kModelTickMs);
        }
        if (fd < 0)
            return;
        FAcceptFailing = false;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto endpoint = std::make_unique<TEndpoint>();
        endpoint->Fd = fd;
        endpoint->Name = QStringLiteral("tcp client %1").arg(fd);
        endpoint->LogLink = QStringLiteral("tcp/%1").arg(++FTcpAccepted);
        FEndpoints.push_back(std::move(endpoint));
    }
}

void TnvSimServer::Read(TEndpoint& endpoint) {
    uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(endpoint.Fd, buffer, sizeof buffer);
        if (n > 0) {
            if (endpoint.IsTcp) {
                endpoint.In.insert(endpoint.In.end(), buffer, buffer + n);
            } else {
                const auto now =
                    std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - FStart);
                endpoint.Framer->Feed(buffer, static_cast<size_t>(n), now);
            }
            continue;
        }
        // A serial port in raw mode without a minimum count reads 0 when it
        // has nothing more, which for a socket means the client has gone.
        if ((n < 0 && (errno == EAGAIN || errno == EINTR)) || (n == 0 && !endpoint.IsTcp))
            break;
        // A client that sends no more may still read: what it asked is
        // answered before the connection closes.
        if (n == 0 && !endpoint.Closing) {
            FrameTcp(endpoint);
            endpoint.Closing = true;
            break;
        }
        // An RTU device that fails (a USB adapter pulled out) would
        // otherwise be reported ready again at once.
        if (!endpoint.IsTcp)
            Log(QStringLiteral("%1: read failed (%2), link closed").arg(endpoint.Name, Reason()));
        Close(endpoint);
        break;
    }
    if (endpoint.IsTcp && endpoint.Fd >= 0)
        FrameTcp(endpoint);
}

void TnvSimServer::FrameTcp(TEndpoint& endpoint) {
    while (endpoint.Fd >= 0 && !endpoint.Closing && endpoint.In.size() >= kMbapLength) {
        const uint8_t* header = endpoint.In.data();
        const size_t length = static_cast<size_t>(header[4] << 8 | header[5]);
        if (length < 2 || length > 254) {
            Log(QStringLiteral("%1: MBAP length %2 out of range, connection closed")
                    .arg(endpoint.Name)
                    .arg(length));
            // The requests framed before the bad header still get their
            // replies; the connection closes once they are sent.
            endpoint.Closing = true;
            endpoint.In.clear();
            return;
        }
        if (endpoint.In.size() < 6 + length)
            return;
        const std::vector<uint8_t> adu(endpoint.In.begin() + 6,
                                       endpoint.In.begin() + 6 + static_cast<long>(length));
        uint8_t mbap[kMbapLength];
        std::copy(header, header + kMbapLength, mbap);
        endpoint.In.erase(endpoint.In.begin(), endpoint.In.begin() + 6 + static_cast<long>(length));
        if (mbap[2] == 0 && mbap[3] == 0) // other protocols are not Modbus
            Serve(endpoint, adu, mbap);
        else
            LogRequest(endpoint, adu[0], {adu.begin() + 1, adu.end()},
                       QStringLiteral("none not-modbus"));
    }
}

void TnvSimServer::FrameRtu(TEndpoint& endpoint) {
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - FStart);
    while (auto frame = endpoint.Framer->Next(now)) {
        // At another speed a drive receives only garbled characters.
        if (endpoint.Pty && endpoint.Pty->ClientBaud() != FBaud) {
            LogRequest(endpoint, frame->empty() ? 0 : (*frame)[0],
                       frame->size() > 1 ? std::vector<uint8_t>(frame->begin() + 1, frame->end())
                                         : std::vector<uint8_t>{},
                       QStringLiteral("none line-speed"));
            continue;
        }
        Serve(endpoint, *frame, nullptr);
    }
}

void TnvSimServer::Serve(TEndpoint& endpoint, const std::vector<uint8_t>& adu,
                         const uint8_t* header) {
    const auto received = TClock::now();
    ++endpoint.Requests;
    const bool drop = endpoint.IsTcp && FFaults.DropConnection(endpoint.Requests);
    if (drop)
        endpoint.Closing = true;
    if (adu.size() < 2) {
        LogRequest(endpoint, adu.empty() ? 0 : adu[0], {}, QStringLiteral("none malformed"));
        return;
    }
    const uint8_t unit = adu[0];
    const std::vector<uint8_t> pdu(adu.begin() + 1, adu.end());
    if (FFaults.LoseRequest()) {
        LogRequest(endpoint, unit, pdu, QStringLiteral("none silence"));
        return;
    }
    const auto reply = Answer(endpoint.IsTcp, unit, pdu);
    if (!reply) {
        LogRequest(endpoint, unit, pdu,
                   unit == 0 ? QStringLiteral("none broadcast")
                             : QStringLiteral("none other-slave"));
        return;
    }
    bool corrupted = false;
    std::vector<uint8_t> frame =
        endpoint.IsTcp ? TcpFrame(header, unit, *reply) : RtuFrame(unit, *reply, corrupted);
    LogRequest(endpoint, unit, pdu, TnvSimRequestLog::OutcomeOf(*reply, corrupted));
    // Replies of one connection leave in the order of their requests.
    auto due = received + FFaults.ReplyDelay(pdu.size(), reply->size());
    if (!endpoint.Replies.empty())
        due = std::max(due, endpoint.Replies.back().Due);
    endpoint.Replies.push_back({due, std::move(frame), drop});
}

void TnvSimServer::LogRequest(const TEndpoint& endpoint, uint8_t unit,
                              const std::vector<uint8_t>& pdu, const QString& outcome) {
    if (!FRequestLog)
        return;
    TnvSimRequestLog::TEntry entry = TnvSimRequestLog::Describe(unit, pdu);
    entry.Time = std::chrono::duration_cast<std::chrono::microseconds>(TClock::now() - FStart);
    entry.Link = endpoint.LogLink;
    entry.Outcome = outcome;
    FRequestLog->Write(entry);
}

namespace {

// The reply of a write that succeeded: function 6 echoes its request,
// function 16 its first five bytes.
std::vector<uint8_t> Acknowledge(const std::vector<uint8_t>& pdu) {
    if (pdu[0] == kWriteMultipleRegisters && pdu.size() > 5)
        return {pdu.begin(), pdu.begin() + 5};
    return pdu;
}

} // namespace

std::optional<std::vector<uint8_t>> TnvSimServer::Answer(bool tcp, uint8_t unit,
                                                         const std::vector<uint8_t>& pdu) {
    const uint8_t address = FSlave.Address();
    if (tcp && unit != address && unit != 0 && unit != 0xFF)
        return TnvSimSlave::Exception(pdu[0], kGatewayNoResponse);
    if (!tcp && unit != address && unit != 0)
        return std::nullopt; // another slave's request
    const auto range = FSlave.AddressedRange(pdu);
    const auto forced = range ? FFaults.ExceptionFor(range->first, range->second) : std::nullopt;
    const bool write = pdu[0] == kWriteSingleRegister || pdu[0] == kWriteMultipleRegisters;
    std::vector<uint8_t> reply;
    if (forced)
        reply = TnvSimSlave::Exception(pdu[0], *forced);
    else if (write && range && FFaults.IsStuck(range->first, range->second))
        reply = Acknowledge(pdu); // as if written, but the words stay
    else
        reply = FSlave.Execute(pdu);
    if (!tcp && unit == 0)
        return std::nullopt; // a broadcast is executed, never answered
    return reply;
}

std::vector<uint8_t> TnvSimServer::TcpFrame(const uint8_t* header, uint8_t unit,
                                            const std::vector<uint8_t>& pdu) {
    const auto length = static_cast<uint16_t>(pdu.size() + 1);
    std::vector<uint8_t> frame{header[0],
                               header[1],
                               0,
                               0,
                               static_cast<uint8_t>(length >> 8),
                               static_cast<uint8_t>(length & 0xFF),
                               unit};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    return frame;
}

std::vector<uint8_t> TnvSimServer::RtuFrame(uint8_t unit, const std::vector<uint8_t>& pdu,
                                            bool& corrupted) {
    std::vector<uint8_t> frame{unit};
    frame.insert(frame.end(), pdu.begin(), pdu.end());
    uint16_t crc = TnvSimRtuFramer::Crc16(frame.data(), frame.size());
    corrupted = FFaults.CorruptCrc();
    if (corrupted)
        crc ^= 0xFFFF;
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

void TnvSimServer::Flush(TEndpoint& endpoint) {
    const auto now = TClock::now();
    while (!endpoint.Replies.empty() && endpoint.Replies.front().Due <= now) {
        const TReply& reply = endpoint.Replies.front();
        endpoint.Out.insert(endpoint.Out.end(), reply.Bytes.begin(), reply.Bytes.end());
        endpoint.Replies.pop_front();
    }
    if (endpoint.IsTcp && endpoint.Out.size() > kMaxUnsent) {
        Log(QStringLiteral("%1: does not read its replies, connection closed").arg(endpoint.Name));
        Close(endpoint);
        return;
    }
    while (endpoint.Fd >= 0 && !endpoint.Out.empty()) {
        const ssize_t n =
            endpoint.IsTcp
                ? ::send(endpoint.Fd, endpoint.Out.data(), endpoint.Out.size(), MSG_NOSIGNAL)
                : ::write(endpoint.Fd, endpoint.Out.data(), endpoint.Out.size());
        if (n > 0) {
            endpoint.Out.erase(endpoint.Out.begin(), endpoint.Out.begin() + n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (endpoint.IsTcp) {
            Close(endpoint);
        } else {
            Log(QStringLiteral("%1: write failed: %2").arg(endpoint.Name, Reason()));
            endpoint.Out.clear();
        }
        return;
    }
    if (endpoint.Closing && endpoint.Out.empty() && endpoint.Replies.empty())
        Close(endpoint);
}

void TnvSimServer::Close(TEndpoint& endpoint) {
    if (endpoint.Fd < 0)
        return;
    if (endpoint.Serial) {
        modbus_close(endpoint.Serial);
        modbus_free(endpoint.Serial);
        endpoint.Serial = nullptr;
    } else if (endpoint.Pty) {
        endpoint.Pty.reset();
    } else {
        ::close(endpoint.Fd);
    }
    endpoint.Fd = -1;
    endpoint.Replies.clear();
    endpoint.Out.clear();
}

void TnvSimServer::CloseAll() {
    for (auto& endpoint : FEndpoints)
        Close(*endpoint);
    FEndpoints.clear();
    for (int listener : FListeners)
        ::close(listener);
    for (modbus_t* ctx : FListenerContexts)
        modbus_free(ctx);
    FListeners.clear();
    FListenerContexts.clear();
}
