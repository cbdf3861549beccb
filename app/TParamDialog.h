#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class QBoxLayout;
class QGroupBox;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;
class TSpeedButton;
class TValueGrid;

// The common frame of the parameter dialogs: a tool window whose parameters
// are read when it is shown and after Update and no longer read once it is
// hidden; a bottom panel with Cancel and Update on the left and the
// whole-window buttons on the right; and the Send and Save operations with
// the guard against writing to a running drive. GUI thread only.
class TParamDialog : public QDialog {
    Q_OBJECT
public:
    // The running guard: true (after a warning box) when the drive runs, in
    // which case the caller writes nothing.
    static bool DriveRunning(QWidget* parent);
    // Shows the running guard's warning; tests may replace it.
    static std::function<void(QWidget* parent, const QString& text)> ShowWarning;

    // Send: the working (RAM) copy of the value is written.
    static void SendParam(std::uint32_t index);
    // Save: the working copy is written and read back, and the stored
    // (EEPROM) copy named by the definition gets the same word and is written.
    static void SaveParam(std::uint32_t index);
    // Writes the word of index to its stored copy, when it has one.
    static void SaveStoredCopy(std::uint32_t index);
    // Switches the cyclic reading of the values of indices on or off.
    static void SetCyclic(std::initializer_list<std::uint32_t> indices, bool on);

    // Reads the dialog's parameters again (also run whenever it is shown).
    virtual void btnUpdateClick() = 0;
    // Stops reading the dialog's parameters (run whenever it is hidden).
    virtual void FormClose() = 0;
    // Closes the dialog; what was sent or saved stays.
    void btnCancelClick();

    QPushButton* btnCancel;
    QPushButton* btnUpdate;

protected:
    TParamDialog(QWidget* parent, const QString& name, const QString& caption);

    // Where the dialog puts its groups, above the bottom panel.
    QVBoxLayout* Body() const { return FBody; }
    // A whole-window button at the right of the bottom panel.
    QPushButton* AddBottomButton(const QString& caption, const QString& name,
                                 const std::function<void()>& handler);
    // A group with a grid of the given column widths whose rows are `rowHeight`
    // high; the grid's size fits its cells, so it never scrolls.
    TValueGrid* AddGridGroup(const QString& title, const QString& gridName,
                             const std::vector<int>& widths, int rows);
    // Gives a cell the look of a fixed caption cell.
    static void SetFixedCell(TValueGrid* grid, int col, int row, const QString& caption);
    // Binds value index to cell (1, row) with its up/down and, when asked, the
    // "Send" and "Save" buttons of columns 2 and 3. A missing or read-only
    // value leaves the row without the controls it cannot have.
    void BindParamRow(TValueGrid* grid, std::uint32_t index, int row, bool withButtons);
    // Connects a grid button's click to handler(button).
    void OnButtonClick(TSpeedButton* button, const std::function<void(TSpeedButton*)>& handler);
    // Gives every control without a caption its name as accessible name.
    void NameForAccessibility();

    // The row buttons' handlers; by default they send and save.
    virtual void sbtnSendParamClick(TSpeedButton* sender);
    virtual void sbtnSaveParamClick(TSpeedButton* sender);

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    static constexpr int kRowHeight = 22;

private:
    QVBoxLayout* FBody;
    QHBoxLayout* FBottom;
};
