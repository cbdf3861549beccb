#pragma once

#include "TParamDialog.h"

#include <cstdint>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QRadioButton;

// The motor plate data dialog: the drive's size, the four plate data values
// with their Send and Save buttons, and the PWM frequency. Writes are refused
// while the drive runs, except the PWM frequency, which the drive applies
// only after a restart. A single instance, kept for the run.
class TFormPlateData : public TParamDialog {
    Q_OBJECT
public:
    explicit TFormPlateData(QWidget* parent);

    // The values this window starts with, each through its reaction so that
    // it is validated against what is known at start-up.
    void SetDefaultValues();

    // Shown by the parameter reactions: a plate data value (4 to 7) in its
    // row, the PWM index in the radio group (without writing it back), and
    // the size grid from the drive's size, PWM index and voltage.
    void ShowPlateData(std::uint32_t index);
    void ShowPwm(std::uint16_t pwmIndex);
    void ShowSizeInfo();

    void btnUpdateClick() override;
    void FormClose() override;
    void btnSendAllClick();
    void btnSaveAllClick();
    void rgPWMClick(int itemIndex);

    TValueGrid* sgSizeInfo;
    TValueGrid* sgPlateData;
    QGroupBox* rgPWM;
    QButtonGroup* rgPWMItems;
    QPushButton* btnSendAll;
    QPushButton* btnSaveAll;

protected:
    void sbtnSendParamClick(TSpeedButton* sender) override;
    void sbtnSaveParamClick(TSpeedButton* sender) override;

private:
    void CreateSizeInfo();
    void CreatePlateData();
    void CreatePwm();
};
