#include "TValueGrid.h"

#include "NvErrorReport.h"
#include "TnvParValue.h"

#include <QEvent>
#include <QHeaderView>
#include <QHideEvent>
#include <QLineEdit>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

constexpr int kValueRole = Qt::UserRole + 1;

// Opens a masked line editor and hands the committed text to the grid's
// handler instead of writing it into the cell: the value's reaction decides
// what the cell shows.
class TValueGridDelegate : public QStyledItemDelegate {
public:
    explicit TValueGridDelegate(TValueGrid* grid)
        : QStyledItemDelegate(grid)
        , FGrid(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        QString mask;
        if (FGrid->OnGetEditMask)
            FGrid->OnGetEditMask(FGrid, index.column(), index.row(), mask);
        if (!mask.isEmpty())
            editor->setInputMask(mask);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::DisplayRole).toString());
    }

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        try {
            if (FGrid->OnSetEditText)
                FGrid->OnSetEditText(FGrid, index.column(), index.row(), text);
        } catch (const std::exception& e) {
            // Reported once the editor has closed: a modal box in the middle
            // of the commit would commit again when the editor loses focus.
            const QString message = QString::fromUtf8(e.what());
            QTimer::singleShot(0, FGrid, [message] { nv::ReportError(message); });
        }
    }

private:
    TValueGrid* FGrid;
};

} // namespace

TValueGrid::TValueGrid(int cols, int rows, QWidget* parent)
    : QTableWidget(rows, cols, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setItemDelegate(new TValueGridDelegate(this));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The arrows move between cells; Tab goes on to the row buttons unless a
    // grid asks for Tab between its cells.
    setTabKeyNavigation(false);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col)
            SetCellEditable(col, row, false);
}

QTableWidgetItem* TValueGrid::Item(int col, int row) {
    QTableWidgetItem* cell = item(row, col);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, col, cell);
    }
    return cell;
}

void TValueGrid::SetCellValue(int col, int row, TnvParValue* value) {
    Item(col, row)->setData(kValueRole, QVariant::fromValue(reinterpret_cast<quintptr>(value)));
}

TnvParValue* TValueGrid::GetCellValue(int col, int row) const {
    const QTableWidgetItem* cell = item(row, col);
    return cell ? reinterpret_cast<TnvParValue*>(cell->data(kValueRole).value<quintptr>())
                : nullptr;
}

void TValueGrid::SetCellText(int col, int row, const QString& text) {
    Item(col, row)->setText(text);
}

QString TValueGrid::GetCellText(int col, int row) const {
    const QTableWidgetItem* cell = item(row, col);
    return cell ? cell->text() : QString();
}

void TValueGrid::SetCellEditable(int col, int row, bool editable) {
    QTableWidgetItem* cell = Item(col, row);
    cell->setFlags(editable ? cell->flags() | Qt::ItemIsEditable
                            : cell->flags() & ~Qt::ItemIsEditable);
}

QRect TValueGrid::CellRect(int col, int row) const {
    const QPoint origin = viewport()->mapTo(OverlayParent(), QPoint(0, 0));
    return visualRect(model()->index(row, col)).translated(origin);
}

QWidget* TValueGrid::OverlayParent() const {
    return parentWidget() ? parentWidget() : viewport();
}

void TValueGrid::PlaceOverCell(QWidget* widget, int col, int row, int width) {
    std::erase_if(FOverlays, [](const TOverlay& o) { return o.Widget.isNull(); });
    FOverlays.push_back({widget, col, row, width});
    PlaceOverlays();
    widget->raise();
    widget->setEnabled(isEnabled());
    widget->setVisible(!isHidden());
}

void TValueGrid::CommitText(int col, int row, const QString& text) {
    if (OnSetEditText)
        OnSetEditText(this, col, row, text);
}

bool TValueGrid::focusNextPrevChild(bool next) {
    // The view wraps from the last cell to the first, which would keep a
    // keyboard in the grid for ever.
    const QModelIndex current = currentIndex();
    const bool atEdge =
        next ? current.row() == rowCount() - 1 && current.column() == columnCount() - 1
             : current.row() == 0 && current.column() == 0;
    if (tabKeyNavigation() && atEdge)
        return QAbstractScrollArea::focusNextPrevChild(next);
    return QTableWidget::focusNextPrevChild(next);
}

void TValueGrid::updateGeometries() {
    QTableWidget::updateGeometries();
    PlaceOverlays();
}

void TValueGrid::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    PlaceOverlays();
}

void TValueGrid::moveEvent(QMoveEvent* event) {
    QTableWidget::moveEvent(event);
    PlaceOverlays();
}

// Siblings do not follow the grid by themselves; a minimised window hides
// and shows them with the grid anyway.
void TValueGrid::showEvent(QShowEvent* event) {
    QTableWidget::showEvent(event);
    if (!event->spontaneous())
        ForEachOverlay([](QWidget* overlay) { overlay->show(); });
}

void TValueGrid::hideEvent(QHideEvent* event) {
    QTableWidget::hideEvent(event);
    if (!event->spontaneous())
        ForEachOverlay([](QWidget* overlay) { overlay->hide(); });
}

void TValueGrid::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        ForEachOverlay([this](QWidget* overlay) { overlay->setEnabled(isEnabled()); });
}

void TValueGrid::ForEachOverlay(const std::function<void(QWidget*)>& apply) const {
    for (const TOverlay& o : FOverlays)
        if (!o.Widget.isNull())
            apply(o.Widget.data());
}

void TValueGrid::PlaceOverlays() {
    for (const TOverlay& o : FOverlays) {
        if (o.Widget.isNull())
            continue;
        const QRect cell = CellRect(o.Col, o.Row);
        if (o.Width <= 0)
            o.Widget->setGeometry(cell);
        else
            o.Widget->setGeometry(cell.right() + 1 - o.Width, cell.top(), o.Width, cell.height());
    }
}
