#include "TnvSimPty.h"

#include "TnvError.h"

#include <QFile>
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

} // namespace

TnvSimPty::TnvSimPty(const QString& link)
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
    cfsetspeed(&tio, B19200);
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
