#include "TAboutForm.h"

#include "NvConfigFile.h"
#include "NvGuard.h"
#include "NvParIndex.h"
#include "TCOMModule.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvMBDeviceInfo.h"
#include "TnvMBThread.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kWidth = 332;
constexpr int kHeight = 252;
constexpr int kDeviceMemoHeight = 65;

const char* const kAboutLines[] = {
    "D/U Reziz Edadodudevevu Redevido Ver.2.07_",
    "",
    "Supported devices:",
    "KX720 > 8A 400V/230V 128Hz/400Hz",
    "KX745 > 16A 400V/230V 128Hz/400Hz",
    "",
    "(C) Velmora Drive Systems. All rights reserved.",
    "",
    "web: www.velmora-drives.example",
    "",
    " This software is intended for technician users only.",
    "For every question please contact the",
    "Velmora Drive Systems service.",
    "",
};

// The size a memo needs to show lines whole, without scroll bars.
QSize TextSize(const QPlainTextEdit* memo, const QStringList& lines) {
    const QFontMetrics metrics(memo->font());
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int margins =
        2 * (static_cast<int>(memo->document()->documentMargin()) + memo->frameWidth()) +
        memo->cursorWidth() + 2;
    return {width + margins, static_cast<int>(lines.size()) * metrics.lineSpacing() + margins};
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setAccessibleName(windowTitle());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    pnlAbout = new QFrame(this);
    pnlAbout->setObjectName(QStringLiteral("pnlAbout"));
    pnlAbout->setAccessibleName(windowTitle());
    pnlAbout->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlAbout->setAutoFillBackground(true);
    QPalette green = pnlAbout->palette();
    green.setColor(QPalette::Window, QColor(0, 128, 0));
    pnlAbout->setPalette(green);
    outer->addWidget(pnlAbout);
    auto* layout = new QVBoxLayout(pnlAbout);
    layout->setContentsMargins(6, 6, 6, 6);

    AboutMemo = new QPlainTextEdit(pnlAbout);
    AboutMemo->setObjectName(QStringLiteral("AboutMemo"));
    AboutMemo->setAccessibleName(QStringLiteral("Program"));
    AboutMemo->setFrameStyle(QFrame::NoFrame);
    AboutMemo->setReadOnly(true);
    AboutMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette plain = AboutMemo->palette();
    plain.setColor(QPalette::Base, palette().color(QPalette::Window));
    AboutMemo->setPalette(plain);
    AboutMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList lines;
    for (const char* line : kAboutLines)
        lines << QString::fromLatin1(line);
    for (const QString& line : lines)
        AboutMemo->appendPlainText(line);
    AboutMemo->moveCursor(QTextCursor::Start);
    AboutMemo->setMinimumSize(TextSize(AboutMemo, lines));
    layout->addWidget(AboutMemo, 1);

    DeviceMemo = new QPlainTextEdit(pnlAbout);
    DeviceMemo->setObjectName(QStringLiteral("DeviceMemo"));
    DeviceMemo->setAccessibleName(QStringLiteral("Drive identification"));
    DeviceMemo->setReadOnly(true);
    DeviceMemo->setTabStopDistance(135);
    QFont bold = DeviceMemo->font();
    bold.setBold(true);
    DeviceMemo->setFont(bold);
    // Its three lines of identification, whatever the font.
    DeviceMemo->setFixedHeight(std::max(
        kDeviceMemoHeight, TextSize(DeviceMemo, {QString(), QString(), QString()}).height()));
    QPalette teal = DeviceMemo->palette();
    teal.setColor(QPalette::Text, QColor(0, 128, 128));
    DeviceMemo->setPalette(teal);
    layout->addWidget(DeviceMemo);

    for (QPlainTextEdit* memo : {AboutMemo, DeviceMemo})
        memo->viewport()->installEventFilter(this);
    // The box's own size, or more when the font needs it.
    layout->activate();
    outer->activate();
    setFixedSize(minimumSizeHint().expandedTo(QSize(kWidth, kHeight)));

    FDeviceInfo = std::make_unique<TnvMBDeviceInfo>(
        static_cast<std::uint8_t>(PARModule->nvParValueSet.GetSlaveAddress()));
    FDeviceInfo->OnResponse = [this](TnvMBDeviceInfo* sender) {
        DeviceInfoResponse(sender);
    };
    FDeviceInfo->OnError = [this](TnvMBDeviceInfo* sender) {
        DeviceInfoError(sender);
    };
}

TAboutForm::~TAboutForm() {
    FormDestroy();
}

QString TAboutForm::DriveSizeText(std::uint16_t sizeCode) {
    return nv::DriveSizeText(sizeCode);
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    nv::Guarded([this] { FormShow(); });
}

void TAboutForm::FormShow() {
    DeviceMemo->clear();
    TnvMBThread* thread = COMModule ? COMModule->MBThread.get() : nullptr;
    if (thread && thread->IsConnected()) {
        // The terminal may have moved to another address since start-up.
        FDeviceInfo->SlaveAddress =
            static_cast<std::uint8_t>(PARModule->nvParValueSet.GetSlaveAddress());
        FQueued = true;
        thread->AddUserFunc(FDeviceInfo.get()); // a request already queued stays queued once
        return;
    }
    DeviceMemo->appendPlainText(QStringLiteral("Not connected!"));
}

void TAboutForm::DeviceInfoResponse(TnvMBDeviceInfo* sender) {
    FQueued = false;
    DeviceMemo->clear();
    DeviceMemo->appendPlainText(QStringLiteral("Hardware version:\t") +
                                sender->HardwareVersionText());
    DeviceMemo->appendPlainText(QStringLiteral("Firmware version:\t") +
                                sender->FirmwareVersionText());
    DeviceMemo->appendPlainText(QStringLiteral("Drive size:\t") +
                                DriveSizeText(PARModule->Word(nv::par::kSizeCode)));
}

void TAboutForm::DeviceInfoError(TnvMBDeviceInfo*) {
    FQueued = false;
    DeviceMemo->clear();
    DeviceMemo->appendPlainText(QStringLiteral("Device identification failed."));
}

void TAboutForm::AboutMemoClick() {
    accept();
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == AboutMemo->viewport() || watched == DeviceMemo->viewport())) {
        nv::Guarded([this] { AboutMemoClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutForm::FormDestroy() {
    // The link serves the request by its address: it must not outlive it.
    if (FQueued && COMModule && COMModule->MBThread)
        COMModule->CloseLink();
    FQueued = false;
    FDeviceInfo.reset();
}
