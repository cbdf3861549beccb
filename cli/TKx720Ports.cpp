#include "TKx720Ports.h"

#include "TModbusSrv.h"

#include <QDir>
#include <QFileInfo>
#include <grp.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kPorts = 8;

QString GroupOf(const QString& device) {
    struct stat st {};
    if (::stat(device.toLocal8Bit().constData(), &st) != 0)
        return {};
    const group* g = ::getgrgid(st.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
}

} // namespace

TKx720Ports::TKx720Ports(QString byIdFolder)
    : FByIdFolder(std::move(byIdFolder)) {}

QString TKx720Ports::Problem(const QString& device) {
    const QByteArray path = device.toLocal8Bit();
    if (::access(path.constData(), F_OK) != 0)
        return QStringLiteral("missing");
    if (::access(path.constData(), R_OK | W_OK) == 0)
        return {};
    const QString group = GroupOf(device);
    if (group == "dialout")
        return QStringLiteral("no access: join the group dialout "
                              "(sudo usermod -aG dialout $USER) and log in again");
    return QStringLiteral("no access: the device belongs to the group %1")
        .arg(group.isEmpty() ? QStringLiteral("?") : group);
}

QString TKx720Ports::PortLine(int port) {
    const QString mapped = TModbusSrv::MappedDeviceOfPort(port);
    const QString device = TModbusSrv::DeviceOfPort(port);
    const QString problem = Problem(device);
    QString line =
        QStringLiteral("COM%1\t%2\t%3\t%4")
            .arg(port)
            .arg(device)
            .arg(mapped.isEmpty() ? QStringLiteral("default") : QStringLiteral("ports.ini"))
            .arg(problem.isEmpty() ? QStringLiteral("ok") : problem);
    const QFileInfo info(device);
    if (info.isSymLink() && info.exists())
        line += QStringLiteral("\t(%1)").arg(info.canonicalFilePath());
    return line;
}

int TKx720Ports::Run(QTextStream& out) const {
    const QString file = TModbusSrv::PortsFile();
    out << "Ports (" << file << (QFileInfo::exists(file) ? "" : ", not written yet")
        << "):" << Qt::endl;
    for (int port = 1; port <= kPorts; ++port)
        out << PortLine(port) << Qt::endl;
    const QFileInfoList adapters =
        QDir(FByIdFolder)
            .entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (adapters.isEmpty()) {
        out << "No serial adapters under " << FByIdFolder << "." << Qt::endl;
        return 0;
    }
    out << "Serial adapters under " << FByIdFolder
        << ", each with its line for ports.ini:" << Qt::endl;
    std::map<QString, int> mapped; // canonical device -> port
    for (int port = kPorts; port >= 1; --port) {
        const QString device = TModbusSrv::MappedDeviceOfPort(port);
        if (!device.isEmpty())
            mapped[QFileInfo(device).canonicalFilePath()] = port;
    }
    int nextFree = 1;
    for (const QFileInfo& adapter : adapters) {
        const QString problem = Problem(adapter.filePath());
        out << adapter.fileName() << '\t' << adapter.canonicalFilePath() << '\t'
            << (problem.isEmpty() ? QStringLiteral("ok") : problem) << Qt::endl;
        if (const auto it = mapped.find(adapter.canonicalFilePath()); it != mapped.end()) {
            out << QStringLiteral("  already COM%1").arg(it->second) << Qt::endl;
            continue;
        }
        while (nextFree <= kPorts && !TModbusSrv::MappedDeviceOfPort(nextFree).isEmpty())
            ++nextFree;
        const QString port = nextFree <= kPorts ? QString::number(nextFree++) : QStringLiteral("n");
        out << "  COM" << port << '=' << adapter.filePath() << Qt::endl;
    }
    return 0;
}
