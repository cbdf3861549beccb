#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class TTerminal;
class TnvParValue;

// Waits up to ms, serving events, for pred to hold.
bool WaitFor(const std::function<bool()>& pred, int ms);

// Answers every modal box that opens (records its text and presses its
// default or escape button), so that no test ever hangs on one.
class TModalAnswerer {
public:
    TModalAnswerer();
    ~TModalAnswerer();
    QStringList Texts;
    // Result given to dialogs that are not message boxes: true accepts.
    bool AcceptDialogs = true;

private:
    QTimer FTimer;
};

// The whole terminal, created in a working directory with or without the
// definitions file, and destroyed at the end of the test.
class TerminalFixture : public ::testing::Test {
public:
    // The source tree (tests run with KX_SOURCE_DIR set).
    static QString SourceDir();

protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the terminal; withDefinitions false starts it in an empty folder.
    void Start(bool withDefinitions = true);
    // Creates the terminal with folder as its working directory.
    void StartIn(const QString& folder);
    // Destroys the terminal; returns the milliseconds it took.
    qint64 Stop();
    // The memo's lines.
    QStringList Lines() const;
    bool LogContains(const QString& line) const;
    int LogCount(const QString& line) const;

    // The terminal's value of a parameter (a failed expectation when missing).
    static TnvParValue* Value(std::uint32_t index);
    static std::uint16_t Word(std::uint32_t index);
    // As a read reply of the drive (slave 2) carrying word arrives.
    static void Receive(std::uint32_t index, std::uint16_t word);
    // Lets write requests stand without a link, for tests of what the
    // windows ask to be written rather than of the link.
    static void KeepWriteRequests();

    std::unique_ptr<TModalAnswerer> Answerer;

private:
    QString FOldDir;
    QTemporaryDir FEmptyDir;
    std::unique_ptr<TTerminal> FTerminal;
};
