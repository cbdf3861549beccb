#pragma once

#include <QPointer>
#include <QTableWidget>
#include <functional>
#include <vector>

class TnvParValue;

// A string grid whose cells may carry a parameter value and small widgets
// (an up/down control, a button) laid exactly over them. Cells are addressed
// (col, row) as the windows name them. Editing goes through two handlers: the
// edit mask asked when the editor opens, and the edited text handed over when
// the edit is committed (Enter or leaving the cell), never per keystroke.
class TValueGrid : public QTableWidget {
    Q_OBJECT
public:
    TValueGrid(int cols, int rows, QWidget* parent);

    // The value bound to a cell, or none.
    void SetCellValue(int col, int row, TnvParValue* value);
    TnvParValue* GetCellValue(int col, int row) const;
    void SetCellText(int col, int row, const QString& text);
    QString GetCellText(int col, int row) const;
    // Cells not listed here are read-only captions.
    void SetCellEditable(int col, int row, bool editable);

    // The cell's rectangle in the coordinates of the widgets laid over it.
    QRect CellRect(int col, int row) const;
    // Lays widget over cell (col, row): its right `width` pixels, or the whole
    // cell for width 0; it follows the cell when the grid scrolls, resizes or
    // moves, and the grid's visibility and enabled state.
    void PlaceOverCell(QWidget* widget, int col, int row, int width);
    // The parent for widgets laid over cells: the grid's own parent, so that
    // they are its siblings on the accessibility tree (a table lists only
    // its cells there); the viewport for a grid without a parent.
    QWidget* OverlayParent() const;

    // Commits the text as if typed into cell (col, row) and confirmed.
    void CommitText(int col, int row, const QString& text);

    // GUI thread: the mask for the editor of a cell ("" for none).
    std::function<void(TValueGrid* sender, int col, int row, QString& mask)> OnGetEditMask;
    // GUI thread: the committed text of a cell.
    std::function<void(TValueGrid* sender, int col, int row, const QString& text)> OnSetEditText;

protected:
    // With Tab moving between cells, Tab on the last cell (Shift+Tab on the
    // first) moves on to the next control instead of starting over.
    bool focusNextPrevChild(bool next) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct TOverlay {
        QPointer<QWidget> Widget; // null once its owner destroyed it
        int Col;
        int Row;
        int Width;
    };
    QTableWidgetItem* Item(int col, int row);
    void PlaceOverlays();
    void ForEachOverlay(const std::function<void(QWidget*)>& apply) const;

    std::vector<TOverlay> FOverlays;
};
