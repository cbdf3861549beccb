#include "TerminalFixture.h"

#include "TSimProcess.h"
#include "TSpeedButton.h"
#include "TTCPForm.h"
#include "TValueGrid.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <algorithm>

bool WaitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

TModalAnswerer::TModalAnswerer() {
    FTimer.setInterval(20);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == Leave)
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Texts << box->text();
            box->done(Reply);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            Texts << dialog->windowTitle();
            AcceptDialogs ? dialog->accept() : dialog->reject();
        }
    });
    FTimer.start();
}

void TerminalFixture::SetUp() {
    FOldDir = QDir::currentPath();
    Answerer = std::make_unique<TModalAnswerer>();
}

void TerminalFixture::TearDown() {
    Stop();
    QDir::setCurrent(FOldDir);
    Answerer.reset();
}

void TerminalFixture::StartIn(const QString& folder) {
    QDir::setCurrent(folder);
    FTerminal = std::make_unique<TTerminal>();
}

qint64 TerminalFixture::Stop() {
    QElapsedTimer clock;
    clock.start();
    FTerminal.reset();
    return clock.elapsed();
}

TnvParValue* TerminalFixture::Value(std::uint32_t index) {
    TnvParValue* value = PARModule->nvParValueSet.FindValue(index);
    EXPECT_NE(value, nullptr) << index;
    return value;
}

void TerminalFixture::Receive(std::uint32_t index, std::uint16_t word) {
    TnvParValue* value = Value(index);
    const std::vector<std::uint8_t> frame{2, 3, 2, static_cast<std::uint8_t>(word >> 8),
                                          static_cast<std::uint8_t>(word & 0xFF)};
    value->DoOnReceive(value->LoadFromFrame(frame));
}

void TerminalFixture::OpenTcp(int port) {
    TCPForm->ePort->setText(QString::number(port));
    if (!MainForm->mnTCPIP->isChecked())
        MainForm->mnTCPIP->trigger();
    MainForm->acOpenConnection->trigger();
}

void TerminalFixture::Connect(const kxtest::TSimProcess& sim) {
    ASSERT_TRUE(sim.Ready());
    Start();
    OpenTcp(sim.TcpPort());
    ASSERT_TRUE(WaitFor(Linked, kLinkMs));
}

bool TerminalFixture::Logged(const QString& part) const {
    return WaitFor([&] { return LinesWith(part) > 0; }, kLinkMs);
}

bool TerminalFixture::Settled(std::initializer_list<std::uint32_t> indices) {
    return WaitFor(
        [&] {
            return std::none_of(indices.begin(), indices.end(),
                                [](std::uint32_t i) { return Value(i)->GetCyclic(); });
        },
        kLinkMs);
}

TSpeedButton* TerminalFixture::ButtonAt(TValueGrid* grid, int col, int row) {
    for (TSpeedButton* button : grid->OverlayParent()->findChildren<TSpeedButton*>())
        if (button->geometry() == grid->CellRect(col, row))
            return button;
    return nullptr;
}

void TerminalFixture::ShowExposed(QWidget* window) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
}
