#include "TestPaths.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kxtest {

QString SourcePath(const QString& relative) {
    QString root = QString::fromLocal8Bit(qgetenv("KX_SOURCE_DIR"));
    if (root.isEmpty())
        root = QStringLiteral(KX_SOURCE_DIR_DEFAULT);
    return root + '/' + relative;
}

QString DefinitionsFile() {
    return SourcePath(QStringLiteral("data/VF_Parameters_v207.ini"));
}

int FreeTcpPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace kxtest
