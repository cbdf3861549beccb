#pragma once

#include "TParamDialog.h"

#include <array>
#include <cstdint>

class QComboBox;
class QPushButton;

// The control mode dialog: one drop-down list per flag of the control mode
// word (bits 0 to 6). A changed flag is written to the drive at once; Save
// also writes the stored copy. A single instance, kept for the run.
class TFormCtrlMode : public TParamDialog {
    Q_OBJECT
public:
    static constexpr int kFlags = 7;

    explicit TFormCtrlMode(QWidget* parent);

    // Shown by the parameter reactions when the drive's word arrives.
    void ShowControlMode(std::uint16_t word);

    void btnUpdateClick() override;
    void FormClose() override;
    void cbCtrlModeChange(QComboBox* sender);
    void btnSaveClick();

    // In bit order; each list's "Tag" property is its bit.
    std::array<QComboBox*, kFlags> cbFlags;
    QComboBox* cbBrake;
    QComboBox* cbOmegaRef;
    QComboBox* cbInput;
    QComboBox* cbEnableSource;
    QComboBox* cbEnableMode;
    QComboBox* cbResetMode;
    QComboBox* cbThSwitch;
    QPushButton* btnSaveCtrlMode;

protected:
    // Keeps the mouse wheel from changing a list the operator has not chosen.
    bool eventFilter(QObject* watched, QEvent* event) override;
};
