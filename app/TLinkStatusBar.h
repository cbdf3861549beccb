#pragma once

#include "NvDateTime.h"

#include <QStatusBar>
#include <functional>

class QLabel;
class QTimer;

// The main window's status bar: whether the terminal is connected, to what,
// with which slave address, and when the drive last answered, so that a link
// that has gone quiet shows at a glance. GUI thread only.
class TLinkStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TLinkStatusBar(QWidget* parent = nullptr);

    // The link is up to target ("COM1 (/dev/ttyS0)", "TCP/IP 127.0.0.1:502").
    void ShowConnected(const QString& target);
    void ShowDisconnected();
    bool IsConnected() const { return FConnected; }

    // The slave address the terminal talks to, asked at every refresh.
    std::function<int()> SlaveAddress;
    // The time of the newest reply from the drive, 0 for none.
    std::function<nv::TDateTime()> LastReply;

    // Rewrites the fields now rather than at the next tick.
    void Refresh();

protected:
    void changeEvent(QEvent* event) override;

private:
    QLabel* AddField(const QString& name, const QString& caption);

    void FixReplySize();

    QLabel* FState;
    QLabel* FTarget;
    QLabel* FSlave;
    QLabel* FReply;
    QTimer* FTimer;
    bool FConnected = false;
    QString FTargetText;
    nv::TDateTime FOpenedAt = 0.0;
    nv::TDateTime FLastSeen = 0.0; // of the current or the last link
};
