#include "TnvSimPty.h"

#include "TnvError.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString Reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

constexpr std::array<std::pair<int, speed_t>, 17> kSpeeds{{{1200, B1200},
                                                           {2400, B2400},
                                                           {4800, B4800},
                                                           {9600, B9600},
                                                           {19200, B19200},
                                                           {38400, B38400},
                                                           {57600, B57600},
                                                           {115200, B115200},
                                                           {230400, B230400},
                                                           {460800, B460800},
                                                           {500000, B500000},
                                                           {576000, B576000},
                                                           {921600, B921600},
                                                           {1000000, B1000000},
                                                           {1152000, B1152000},
                                                           {1500000, B1500000},
                                                           {2000000, B2000000}}};

speed_t SpeedCode(int baud) {
    for (const auto& [rate, code] : kSpeeds)
        if (rate == baud)
            return code;
    return B0;
}

} // namespace

TnvSimPty::TnvSimPty(const QString& link, int baud)
    : FLink(link) {
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0 || grantpt(FMaster) != 0 || unlockpt(FMaster) != 0) {
        const QString reason = Reason();
        if (FMaster >= 0)
            ::close(FMaster);
        throw TnvError(QStringLiteral("cannot create a pty: %1").arg(reason));
    }
    FDeviceName = QString::fromLocal8Bit(ptsname(FMaster));
    FDeviceFd = ::open(FDeviceName.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (FDeviceFd < 0 || tcgetattr(FDeviceFd, &tio) != 0) {
        const QString reason = Reason();
        Close();
        throw TnvError(QStringLiteral("cannot open %1: %2").arg(FDeviceName, reason));
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, IsLineSpeed(baud) ? SpeedCode(baud) : B19200);
    tcsetattr(FDeviceFd, TCSANOW, &tio);
    ::fcntl(FMaster, F_SETFL, ::fcntl(FMaster, F_GETFL) | O_NONBLOCK);

    const QByteArray linkPath = FLink.toLocal8Bit();
    struct stat st {};
    if (::lstat(linkPath.constData(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            FLink.clear();
            Close();
            throw TnvError(
                QStringLiteral("%1 exists and is no symbolic link; not replaced").arg(link));
        }
        ::unlink(linkPath.constData());
    }
    if (::symlink(FDeviceName.toLocal8Bit().constData(), linkPath.constData()) != 0) {
        const QString reason = Reason();
        FLink.clear();
        Close();
        throw TnvError(QStringLiteral("cannot make the link %1: %2").arg(link, reason));
    }
}

bool TnvSimPty::IsLineSpeed(int baud) {
    return SpeedCode(baud) != B0;
}

int TnvSimPty::ClientBaud() const {
    // The pty pair shares one line setting, so the master sees the speed
    // the client gave its end.
    termios tio{};
    if (FMaster < 0 || tcgetattr(FMaster, &tio) != 0)
        return 0;
    const speed_t code = cfgetospeed(&tio);
    for (const auto& [rate, speedCode] : kSpeeds)
        if (speedCode == code)
            return rate;
    return 0;
}

TnvSimPty::~TnvSimPty() {
    Close();
}

void TnvSimPty::Close() {
    // Removes the link only while it still names this pty: another simulator
    // may have taken the name meanwhile.
    if (!FLink.isEmpty() && QFile::symLinkTarget(FLink) == FDeviceName)
        ::unlink(FLink.toLocal8Bit().constData());
    FLink.clear();
    if (FDeviceFd >= 0)
        ::close(FDeviceFd);
    if (FMaster >= 0)
        ::close(FMaster);
    FDeviceFd = FMaster = -1;
}
