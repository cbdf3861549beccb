#pragma once

#include "TParamDialog.h"

#include <cstdint>

class QPushButton;

// The acceleration and deceleration dialog: the two ramp times (1 to 3000)
// with their Send and Save buttons. Writes regardless of the drive's state.
// A single instance, kept for the run.
class TFormAccel : public TParamDialog {
    Q_OBJECT
public:
    explicit TFormAccel(QWidget* parent);

    // The values this window starts with, each through its reaction so that
    // it is validated against what is known at start-up.
    void SetDefaultValues();
    // Shown by the parameter reactions: ramp 16 or 17 in its row.
    void ShowRamp(std::uint32_t index);

    void btnUpdateClick() override;
    void FormClose() override;
    void SendAllClick();
    void SaveAllClick();

    TValueGrid* sgAccel;
    QPushButton* btnSendAll;
    QPushButton* btnSaveAll;
};
