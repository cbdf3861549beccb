#pragma once

#include "TParamDialog.h"

#include <cstdint>

// The Modbus slave address dialog: the address the terminal uses (Local),
// the drive's working address (Remote) and its stored copy (Remote EEPROM).
// "Save to remote" writes the stored copy, then the working one, and the
// terminal follows last. Writes regardless of the drive's state. A single
// instance, kept for the run.
class TFormModBus : public TParamDialog {
    Q_OBJECT
public:
    explicit TFormModBus(QWidget* parent);

    // Shown by the parameter reactions: 10000 in row 0, 0 in row 1, 30 in
    // row 2 of the value column.
    void ShowAddress(std::uint32_t index);

    void btnUpdateClick() override;
    void FormClose() override;

    TValueGrid* sgAddress;
    TSpeedButton* sbtnSaveRemote = nullptr;
};
