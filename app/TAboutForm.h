#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

class QFrame;
class QPlainTextEdit;
class TnvMBDeviceInfo;

// The about box: the program's fixed text and the connected drive's
// identification, asked of the drive each time the box is shown. A single
// instance, kept for the run.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent);
    // Runs FormDestroy.
    ~TAboutForm() override;

    // The size texts of a drive size code: voltage, current and frequency
    // class in a row ("400V 16A(25A) 400Hz" for 0110h), as nv::DriveSizeText.
    static QString DriveSizeText(std::uint16_t sizeCode);

    // Clears the drive's lines and queues the identification on the link, or
    // says that there is none.
    void FormShow();
    void DeviceInfoResponse(TnvMBDeviceInfo* sender);
    void DeviceInfoError(TnvMBDeviceInfo* sender);
    void AboutMemoClick();
    // Makes sure that the link can no longer reach the request, then
    // destroys it.
    void FormDestroy();

    QFrame* pnlAbout;
    QPlainTextEdit* AboutMemo;
    QPlainTextEdit* DeviceMemo;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<TnvMBDeviceInfo> FDeviceInfo;
    bool FQueued = false; // the link holds the request until it answers
};
