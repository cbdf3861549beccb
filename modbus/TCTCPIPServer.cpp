#include "TCTCPIPServer.h"

#include "TModbusSrv.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr size_t kMbapHeader = 7;

QString AddressText(const sockaddr* address) {
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (address->sa_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(address);
        inet_ntop(AF_INET6, &a->sin6_addr, text.data(), text.size());
        return QStringLiteral("[%1]:%2").arg(text.data()).arg(ntohs(a->sin6_port));
    }
    const auto* a = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &a->sin_addr, text.data(), text.size());
    return QStringLiteral("%1:%2").arg(text.data()).arg(ntohs(a->sin_port));
}

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool IsWildcard(const QString& address) {
    return address == QLatin1String("0.0.0.0") || address == QLatin1String("::") ||
           address == QLatin1String("[::]");
}

} // namespace

struct TCTCPIPServer::TClient {
    int Fd = -1;
    uint64_t Id = 0;
    QString Peer;
    std::vector<uint8_t> In;  // bytes of an incomplete frame
    std::vector<uint8_t> Out; // replies not yet taken by the socket
    int Queued = 0;
    bool Closed = false;
};

struct TCTCPIPServer::TRequest {
    uint64_t Client = 0;
    uint16_t Transaction = 0;
    uint8_t Unit = 0;
    std::vector<uint8_t> Pdu;
};

TCTCPIPServer::TCTCPIPServer(TModbusSrv& link)
    : FLink(link) {}

TCTCPIPServer::~TCTCPIPServer() {
    StopServer();
}

bool TCTCPIPServer::StartServer() {
    if (FServing)
        return true;
    FErrorText.clear();
    if (FPort < 0 || FPort > 65535) {
        FErrorText = QStringLiteral("port %1 is out of range").arg(FPort);
        return false;
    }
    QString host = FListenAddress.isEmpty() ? QStringLiteral("127.0.0.1") : FListenAddress;
    if (host.startsWith('[') && host.endsWith(']'))
        host = host.mid(1, host.size() - 2);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray port = QByteArray::number(FPort);
    if (const int rc =
            getaddrinfo(host.toLocal8Bit().constData(), port.constData(), &hints, &found);
        rc != 0) {
        FErrorText = QStringLiteral("%1: %2").arg(host, QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    const int fd = socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    const bool listening =
        fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
        bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, kMaxClients) == 0;
    freeaddrinfo(found);
    if (!listening) {
        FErrorText =
            QStringLiteral("cannot listen on %1:%2: %3").arg(host).arg(FPort).arg(ErrnoText());
        if (fd >= 0)
            close(fd);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    const int boundPort = bound.ss_family == AF_INET6
                              ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                              : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    FWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FWakeFd < 0) {
        FErrorText = QStringLiteral("cannot serve: %1").arg(ErrnoText());
        close(fd);
        return false;
    }
    FListenFd = fd;
    FListenPort = boundPort;
    FStopping = false;
    FServing = true;
    FThread = std::thread([this] { Serve(); });
    return true;
}

bool TCTCPIPServer::StopServer() {
    if (!FServing)
        return false;
    FStopping = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(FWakeFd, &one, sizeof one);
    FThread.join();
    CloseSockets();
    FServing = false;
    FListenPort = 0;
    return true;
}

void TCTCPIPServer::CloseSockets() {
    for (const auto& client : FClients)
        close(client->Fd);
    FClients.clear();
    FQueue.clear();
    close(FListenFd);
    close(FWakeFd);
    FListenFd = FWakeFd = -1;
}

QString TCTCPIPServer::GetLocalHostIP() const {
    if (!FListenAddress.isEmpty() && !IsWildcard(FListenAddress))
        return FListenAddress;
    ifaddrs* list = nullptr;
    QString result = QStringLiteral("127.0.0.1");
    if (getifaddrs(&list) != 0)
        return result;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET) {
            const auto* a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
            if (ntohl(a->sin_addr.s_addr) >> 24 != 127) {
                result = AddressText(i->ifa_addr).section(':', 0, 0);
                break;
            }
        }
    }
    freeifaddrs(list);
    return result;
}

void TCTCPIPServer::Serve() {
    std::vector<pollfd> polled;
    while (!FStopping) {
        polled.clear();
        polled.push_back({FWakeFd, POLLIN, 0});
        polled.push_back({FListenFd, POLLIN, 0});
        for (const auto& client : FClients) {
            const short events = client->Out.empty() ? POLLIN : POLLIN | POLLOUT;
            polled.push_back({client->Fd, events, 0});
        }
        // With requests waiting, only look at what has already arrived.
        if (poll(polled.data(), polled.size(), FQueue.empty() ? -1 : 0) < 0 && errno != EINTR)
            break;
        if (FStopping)
            break;
        const size_t count = polled.size() - 2;
        for (size_t k = 0; k < count; ++k) {
            const size_t i = (FFirstPolled + k) % count;
            TClient& client = *FClients[i];
            const short revents = polled[2 + i].revents;
            if ((revents & POLLOUT) && !FlushClient(client))
                client.Closed = true;
            if ((revents & (POLLIN | POLLHUP | POLLERR)) && !client.Closed && !ReadClient(client))
                client.Closed = true;
        }
        FFirstPolled = count ? (FFirstPolled + 1) % count : 0;
        DropClosedClients();
        if (polled[1].revents & POLLIN)
            AcceptClients();
        if (!FQueue.empty())
            ServeNextRequest();
        DropClosedClients();
    }
}

void TCTCPIPServer::AcceptClients() {
    for (;;) {
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        const int fd = accept4(FListenFd, reinterpret_cast<sockaddr*>(&address), &size,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        auto client = std::make_unique<TClient>();
        client->Fd = fd;
        client->Id = FNextClientId++;
        client->Peer = AddressText(reinterpret_cast<sockaddr*>(&address));
        if (FClients.size() >= static_cast<size_t>(kMaxClients)) {
            close(fd);
            RaiseClientEvent(*client, TClientEvent::Refused,
                             QStringLiteral("%1 clients already").arg(kMaxClients));
            continue;
        }
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        // A client whose host vanished without closing would hold its slot
        // for hours; keep-alive probes free it within about a minute.
        const int idle = 30;
        const int interval = 10;
        const int probes = 3;
        setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
        setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
        RaiseClientEvent(*client, TClientEvent::Connected);
        FClients.push_back(std::move(client));
    }
}

bool TCTCPIPServer::ReadClient(TClient& client) {
    std::array<uint8_t, 4096> chunk{};
    const ssize_t n = recv(client.Fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return true;
    if (n <= 0) {
        RaiseClientEvent(client, TClientEvent::Left);
        return false;
    }
    client.In.insert(client.In.end(), chunk.begin(), chunk.begin() + n);
    return TakeFrames(client);
}

bool TCTCPIPServer::TakeFrames(TClient& client) {
    std::vector<uint8_t>& in = client.In;
    size_t at = 0;
    // The header is judged as soon as its length field is in, so a client
    // announcing 65535 bytes is dropped before it sends them.
    while (in.size() - at >= 6) {
        const uint8_t* frame = in.data() + at;
        const int protocol = (frame[2] << 8) | frame[3];
        const int length = (frame[4] << 8) | frame[5];
        if (protocol != 0 || length < 2 || length > kMaxMbapLength) {
            RaiseClientEvent(client, TClientEvent::Dropped,
                             QStringLiteral("not a Modbus TCP frame (protocol %1, length %2)")
                                 .arg(protocol)
                                 .arg(length));
            return false;
        }
        if (in.size() - at < 6 + static_cast<size_t>(length))
            break;
        TRequest request;
        request.Client = client.Id;
        request.Transaction = static_cast<uint16_t>((frame[0] << 8) | frame[1]);
        request.Unit = frame[6];
        request.Pdu.assign(frame + kMbapHeader, frame + 6 + length);
        at += 6 + static_cast<size_t>(length);
        Enqueue(client, std::move(request));
    }
    in.erase(in.begin(), in.begin() + static_cast<long>(at));
    return !client.Closed;
}

void TCTCPIPServer::Enqueue(TClient& client, TRequest request) {
    if (client.Queued < kMaxQueuedPerClient && FQueue.size() < kMaxQueued) {
        ++client.Queued;
        FQueue.push_back(std::move(request));
        return;
    }
    ++FFailed;
    if (request.Unit != 0)
        Reply(client, request, {static_cast<uint8_t>(request.Pdu[0] | 0x80), kServerBusy});
}

void TCTCPIPServer::ServeNextRequest() {
    const TRequest request = std::move(FQueue.front());
    FQueue.pop_front();
    TClient* client = FindClient(request.Client);
    if (!client)
        return; // its client left: the line is not troubled with it
    --client->Queued;
    std::vector<uint8_t> query{request.Unit};
    query.insert(query.end(), request.Pdu.begin(), request.Pdu.end());
    std::vector<uint8_t> response;
    const int32_t status = Exchange(query, response);
    const uint8_t function = request.Pdu[0];
    const bool portFailed = status == TModbusSrv::kNotInitialized ||
                            status == TModbusSrv::kWriteError || status == TModbusSrv::kReadError;
    if (request.Unit == 0) {
        // Nobody answers a broadcast; only a request that never left fails.
        ++(portFailed ? FFailed : FServed);
        return;
    }
    const bool answered = status == TModbusSrv::kOk && response.size() >= 2;
    const bool exception = status == TModbusSrv::kInvalidReply && response.size() >= 3 &&
                           response[1] == (function | 0x80);
    if (answered || exception) {
        ++FServed;
        Reply(*client, request, std::vector<uint8_t>(response.begin() + 1, response.end()));
        return;
    }
    ++FFailed;
    Reply(*client, request,
          {static_cast<uint8_t>(function | 0x80), portFailed ? kPathUnavailable : kTargetFailed});
}

int32_t TCTCPIPServer::Exchange(const std::vector<uint8_t>& query, std::vector<uint8_t>& response) {
    std::lock_guard lock(FLink.LinkLock());
    if (FLinkLost) {
        try {
            FLinkLost = !FLink.Connect();
        } catch (const std::exception&) {
            // A transport that cannot even be created stays lost; the next
            // request tries again.
        }
        if (FLinkLost)
            return TModbusSrv::kNotInitialized;
    }
    const int32_t status = FLink.TxRxMessage(query, static_cast<int>(query.size()), response);
    if (status == TModbusSrv::kWriteError || status == TModbusSrv::kReadError) {
        FLink.CloseConnection();
        FLinkLost = true;
    }
    return status;
}

void TCTCPIPServer::Reply(TClient& client, const TRequest& request,
                          const std::vector<uint8_t>& pdu) {
    const size_t length = pdu.size() + 1;
    const std::array<uint8_t, kMbapHeader> header{static_cast<uint8_t>(request.Transaction >> 8),
                                                  static_cast<uint8_t>(request.Transaction & 0xFF),
                                                  0,
                                                  0,
                                                  static_cast<uint8_t>(length >> 8),
                                                  static_cast<uint8_t>(length & 0xFF),
                                                  request.Unit};
    client.Out.insert(client.Out.end(), header.begin(), header.end());
    client.Out.insert(client.Out.end(), pdu.begin(), pdu.end());
    if (!FlushClient(client))
        client.Closed = true;
}

bool TCTCPIPServer::FlushClient(TClient& client) {
    while (!client.Out.empty()) {
        const ssize_t n =
            send(client.Fd, client.Out.data(), client.Out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) {
            RaiseClientEvent(client, TClientEvent::Left);
            return false;
        }
        client.Out.erase(client.Out.begin(), client.Out.begin() + n);
    }
    if (client.Out.size() > kMaxUnsent) {
        RaiseClientEvent(client, TClientEvent::Dropped, QStringLiteral("it reads no replies"));
        return false;
    }
    return true;
}

void TCTCPIPServer::DropClosedClients() {
    auto closed = std::stable_partition(FClients.begin(), FClients.end(),
                                        [](const auto& client) { return !client->Closed; });
    for (auto it = closed; it != FClients.end(); ++it)
        close((*it)->Fd);
    FClients.erase(closed, FClients.end());
}

TCTCPIPServer::TClient* TCTCPIPServer::FindClient(uint64_t id) {
    for (const auto& client : FClients) {
        if (client->Id == id)
            return client->Closed ? nullptr : client.get();
    }
    return nullptr;
}

void TCTCPIPServer::RaiseClientEvent(const TClient& client, TClientEvent event,
                                     const QString& detail) {
    if (OnClientEvent)
        OnClientEvent(this, client.Peer, event, detail);
}
