#pragma once

#include "NvDateTime.h"
#include "TnvParDefSet.h"
#include "TnvParValueSet.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QWidget;
class TParDispatcher;
class TSpeedButton;
class TUpDown;
class TValueGrid;

// The parameter data module: the definitions read from the working
// directory, the value set with a value for every definition, the reactions
// that turn value events into what the windows show, and the small in-grid
// controls through which the windows edit values. GUI thread only.
class TPARModule : public QObject {
    Q_OBJECT
public:
    // The definitions file, read from the process's working directory.
    static constexpr const char* kDefinitionsFile = "VF_Parameters_v207.ini";
    // The categories loaded at start-up, in this order.
    static const QStringList& Categories();

    // Runs DataModuleCreate. The main window must exist (the module logs
    // into it).
    TPARModule();
    ~TPARModule() override;

    TnvParDefSet nvParDefSet;
    TnvParValueSet nvParValueSet;
    // The newest stamp of the values: the time of the last reply the drive
    // gave them (or of their creation, before any).
    nv::TDateTime NewestReply() const;

    // Loads the definitions of the working directory and creates and equips
    // the values.
    void DataModuleCreate();
    void nvParDefSetErrParDef(TnvParDefSet* sender, std::uint32_t index);
    void nvParValueSetAddParValue(TnvParValueSet* sender, TnvParValue* value);
    // Shows every value in the windows that show it (once they all exist).
    void ShowValues();
    // Only a link that is open takes write requests (TCOMModule).
    void nvParValueSetWriteRequest(TnvParValueSet* sender, TnvParBind* bind, bool& accept);

    // Binds value `index` to cell (col, row) of grid and, when withUpDown and
    // the value is writable, lays an up/down control over the cell's right
    // edge (Tag = index); the caller sets its changing handler. None when the
    // cell is outside the grid, the value is missing, read-only, or no
    // up/down is asked for.
    TUpDown* AttachValueUpDown(TValueGrid* grid, std::uint32_t index, bool withUpDown, int col,
                               int row);
    // Lays a button over cell (col, row). A negative index makes a row button
    // (Tag = row * 10 + col, stored in the cell); otherwise the value is bound
    // to the cell and the button gets Tag = index, unless the value is missing
    // or read-only (then none).
    TSpeedButton* AttachCellButton(TValueGrid* grid, int row, int index, const QString& caption,
                                   int col);

    // The three handlers every grid that edits values installs.
    static void GridGetEditMask(TValueGrid* grid, int col, int row, QString& mask);
    // Raises the conversion error of a text that is no integer.
    static void GridSetEditText(TValueGrid* grid, int col, int row, const QString& text);
    void udChangingEx(TUpDown* sender, bool& allowChange, int newValue, int direction);

    // Raw word of value index; 0 when the definitions lack it.
    std::uint16_t Word(std::uint32_t index);
    // Ampere and 0.1 Hz, from parameters 49 and 19.
    double DriveNominalCurrent();
    std::uint16_t DriveMaxFrequency();
    // The rows of the plate data dialog's size grid from parameters 19, 20
    // and 49 (the dispatcher shows them and sets the V/F chart's axis).
    std::array<QStringList, 4> UpdateSizeInfo();

private:
    std::unique_ptr<TParDispatcher> FDispatcher;
    std::vector<QPointer<QWidget>> FControls; // in-grid controls the module made
};
