// The floor of the simulator's TCP figure: a bare server with the
// simulator's loop shape (poll, read, send) that answers every read with a
// fixed reply of the length the simulator's has, and parses nothing but the
// transaction id the client checks. Run with the same client, it shows what
// the machine allows one client ping-ponging over loopback.
//
//   bench_echo_floor
// listens on a free loopback port, prints "ready tcp 127.0.0.1:PORT" and
// serves until it is killed.
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

int main() {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 4) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::perror("bench_echo_floor");
        return 1;
    }
    std::printf("ready tcp 127.0.0.1:%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    // The reply to reading one register of unit 2: MBAP, function, byte
    // count, one word.
    std::array<uint8_t, 11> reply{0, 0, 0, 0, 0, 5, 2, 3, 2, 0, 0};
    std::vector<int> clients;
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (int client : clients)
            fds.push_back({client, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR)
            return 1;
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            std::array<uint8_t, 512> request{};
            const ssize_t n = ::read(fds[i].fd, request.data(), request.size());
            if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
                ::close(fds[i].fd);
                std::erase(clients, fds[i].fd);
                continue;
            }
            if (n < 2)
                continue;
            reply[0] = request[0];
            reply[1] = request[1];
            [[maybe_unused]] const ssize_t sent =
                ::send(fds[i].fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        }
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            const int one = 1;
            if (client >= 0) {
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                clients.push_back(client);
            }
        }
    }
}
