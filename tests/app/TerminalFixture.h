#pragma once

// What nearly every terminal test reaches: the windows' globals, the main
// window and the parameter values.
#include "TMainForm.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TestPaths.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

class TSpeedButton;
class TValueGrid;
namespace kxtest {
class TSimProcess;
}

// Waits up to ms, serving events, for pred to hold.
bool WaitFor(const std::function<bool()>& pred, int ms);

// Answers every modal box that opens and records its text or title, so that
// no test ever hangs on one.
class TModalAnswerer {
public:
    TModalAnswerer();
    QStringList Texts;
    QMessageBox::StandardButton Reply = QMessageBox::Ok; // to message boxes
    bool AcceptDialogs = true;                           // other dialogs: accept or reject
    QWidget* Leave = nullptr; // a modal window to leave alone (one that closes itself)

private:
    QTimer FTimer;
};

// The whole terminal, started in a working directory and destroyed after the test.
class TerminalFixture : public ::testing::Test {
public:
    // The source tree (tests run with KX_SOURCE_DIR set).
    static QString SourceDir() { return kxtest::SourcePath({}).chopped(1); }
    // How long a link to the simulator may take to open or answer.
    static constexpr int kLinkMs = 8000;
    // The grid button over cell (col, row), or null.
    static TSpeedButton* ButtonAt(TValueGrid* grid, int col, int row);

protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the terminal; withDefinitions false starts it in an empty folder.
    void Start(bool withDefinitions = true) {
        StartIn(withDefinitions ? SourceDir() + QStringLiteral("/data") : FEmptyDir.path());
    }
    // Creates the terminal with folder as its working directory.
    void StartIn(const QString& folder);
    // Destroys the terminal; returns the milliseconds it took.
    qint64 Stop();
    static QStringList Lines() { return MainForm->LogLines(); }
    static bool LogContains(const QString& line) { return Lines().contains(line); }
    static int LogCount(const QString& line) { return static_cast<int>(Lines().count(line)); }
    // The memo line of a write dropped for want of a link.
    static QString NotSent(std::uint32_t index) {
        return QStringLiteral("Not connected: %1 not sent.").arg(Value(index)->GetParDef().Name);
    }
    // Memo lines that contain part.
    static int LinesWith(const QString& part) {
        return static_cast<int>(Lines().filter(part).size());
    }

    // The terminal's value of a parameter (a failed expectation when missing).
    static TnvParValue* Value(std::uint32_t index);
    static std::uint16_t Word(std::uint32_t index) { return Value(index)->GetValueUShort(0); }
    // As a read reply of the drive (slave 2) carrying word arrives.
    static void Receive(std::uint32_t index, std::uint16_t word);
    // Opens a link over TCP as the operator does, without waiting for it.
    static void OpenTcp(int port);
    static bool Linked() { return MainForm->acCloseConnection->isVisible(); }
    // Starts the terminal and links it to the ready simulator.
    void Connect(const kxtest::TSimProcess& sim);
    // Waits until a memo line contains part.
    bool Logged(const QString& part) const;
    // Waits until each value has been read once (is no longer polled).
    static bool Settled(std::initializer_list<std::uint32_t> indices);

    // Lets write requests stand without a link, for tests of what windows ask to write.
    static void KeepWriteRequests() { PARModule->nvParValueSet.OnWriteRequest = nullptr; }

    // Shows window and waits until it is on the screen.
    static void ShowExposed(QWidget* window);

    std::unique_ptr<TModalAnswerer> Answerer;

private:
    QString FOldDir;
    QTemporaryDir FEmptyDir;
    std::unique_ptr<TTerminal> FTerminal;
};
