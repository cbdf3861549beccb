#include "TParamDialog.h"

#include "NvGuard.h"
#include "NvParIndex.h"
#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <numeric>

namespace {

TnvParValue* FindValue(std::uint32_t index) {
    return PARModule ? PARModule->nvParValueSet.FindValue(index) : nullptr;
}

} // namespace

std::function<void(QWidget*, const QString&)> TParamDialog::ShowWarning = [](QWidget* parent,
                                                                             const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Warning"), text, QMessageBox::Ok);
};

TParamDialog::TParamDialog(QWidget* parent, const QString& name, const QString& caption)
    : QDialog(parent, Qt::Tool) {
    setObjectName(name);
    setWindowTitle(caption);
    setAccessibleName(caption);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    FBody = new QVBoxLayout;
    layout->addLayout(FBody);
    FBottom = new QHBoxLayout;
    layout->addLayout(FBottom);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setToolTip(QStringLiteral("Reload format values"));
    btnCancel->setAutoDefault(false);
    btnUpdate = new QPushButton(QStringLiteral("&Update"), this);
    btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
    btnUpdate->setToolTip(QStringLiteral("Reload format values"));
    btnUpdate->setAutoDefault(false);
    FBottom->addWidget(btnCancel);
    FBottom->addWidget(btnUpdate);
    FBottom->addStretch(1);
    connect(btnCancel, &QPushButton::clicked, this,
            [this] { nv::Guarded([this] { btnCancelClick(); }); });
    connect(btnUpdate, &QPushButton::clicked, this,
            [this] { nv::Guarded([this] { btnUpdateClick(); }); });
}

// ---------------------------------------------------------------- writing

bool TParamDialog::DriveRunning(QWidget* parent) {
    if (!PARModule || !(PARModule->Word(nv::par::kStatus) & 1U))
        return false;
    ShowWarning(parent, QStringLiteral("Disable the drive before to send or save this data."));
    return true;
}

void TParamDialog::SendParam(std::uint32_t index) {
    if (TnvParValue* value = FindValue(index))
        value->SetWriteRequest(true);
}

void TParamDialog::SaveParam(std::uint32_t index) {
    TnvParValue* value = FindValue(index);
    if (!value)
        return;
    value->SetWriteRequest(true);
    value->SetCyclic(true);
    SaveStoredCopy(index);
}

void TParamDialog::SaveStoredCopy(std::uint32_t index) {
    TnvParValue* value = FindValue(index);
    if (!value)
        return;
    const TnvParDef& def = value->GetParDef();
    if (def.RegProg == def.RegAddr)
        return;
    if (TnvParValue* stored = FindValue(def.RegProg)) {
        stored->SetValueUShort(0, value->GetValueUShort(0));
        stored->SetWriteRequest(true);
    }
}

void TParamDialog::SetCyclic(std::initializer_list<std::uint32_t> indices, bool on) {
    for (std::uint32_t index : indices)
        if (TnvParValue* value = FindValue(index))
            value->SetCyclic(on);
}

void TParamDialog::btnCancelClick() {
    close();
}

void TParamDialog::sbtnSendParamClick(TSpeedButton* sender) {
    SendParam(static_cast<std::uint32_t>(sender->Tag));
}

void TParamDialog::sbtnSaveParamClick(TSpeedButton* sender) {
    SaveParam(static_cast<std::uint32_t>(sender->Tag));
}

// ---------------------------------------------------------------- building

QPushButton* TParamDialog::AddBottomButton(const QString& caption, const QString& name,
                                           const std::function<void()>& handler) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    FBottom->addWidget(button);
    connect(button, &QPushButton::clicked, this, [handler] { nv::Guarded(handler); });
    return button;
}

TValueGrid* TParamDialog::AddGridGroup(const QString& title, const QString& gridName,
                                       const std::vector<int>& widths, int rows) {
    auto* group = new QGroupBox(title, this);
    group->setObjectName(QStringLiteral("gb") + gridName.mid(2));
    auto* layout = new QVBoxLayout(group);
    auto* grid = new TValueGrid(static_cast<int>(widths.size()), rows, group);
    grid->setObjectName(gridName);
    grid->setAccessibleName(title.trimmed());
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    for (int col = 0; col < static_cast<int>(widths.size()); ++col)
        grid->setColumnWidth(col, widths[static_cast<std::size_t>(col)]);
    const int frame = 2 * grid->frameWidth();
    grid->setFixedSize(std::accumulate(widths.begin(), widths.end(), 0) + frame,
                       rows * kRowHeight + frame);
    grid->OnGetEditMask = &TPARModule::GridGetEditMask;
    grid->OnSetEditText = &TPARModule::GridSetEditText;
    layout->addWidget(grid);
    Body()->addWidget(group);
    return grid;
}

void TParamDialog::SetFixedCell(TValueGrid* grid, int col, int row, const QString& caption) {
    grid->SetCellText(col, row, caption);
    if (QTableWidgetItem* cell = grid->item(row, col))
        cell->setBackground(grid->palette().button());
}

void TParamDialog::BindParamRow(TValueGrid* grid, std::uint32_t index, int row, bool withButtons) {
    // Every row has the same buttons: a screen reader tells them by their row.
    const QString caption = grid->GetCellText(0, row).trimmed();
    if (TUpDown* upDown = PARModule->AttachValueUpDown(grid, index, true, 1, row)) {
        upDown->OnChangingEx = [](TUpDown* sender, bool& allow, int newValue, int direction) {
            PARModule->udChangingEx(sender, allow, newValue, direction);
        };
        if (!caption.isEmpty())
            upDown->setAccessibleName(caption + QStringLiteral(" up/down"));
    }
    grid->SetCellEditable(1, row, grid->GetCellValue(1, row) != nullptr);
    if (!withButtons)
        return;
    const int tag = static_cast<int>(index);
    const auto named = [&caption](TSpeedButton* button) {
        button->setAccessibleName((button->text() + QLatin1Char(' ') + caption).trimmed());
        return button;
    };
    if (TSpeedButton* send = PARModule->AttachCellButton(grid, row, tag, QStringLiteral("Send"), 2))
        OnButtonClick(named(send), [this](TSpeedButton* b) { sbtnSendParamClick(b); });
    if (TSpeedButton* save = PARModule->AttachCellButton(grid, row, tag, QStringLiteral("Save"), 3))
        OnButtonClick(named(save), [this](TSpeedButton* b) { sbtnSaveParamClick(b); });
}

void TParamDialog::OnButtonClick(TSpeedButton* button,
                                 const std::function<void(TSpeedButton*)>& handler) {
    if (button->accessibleName().isEmpty())
        button->setAccessibleName(button->text());
    connect(button, &TSpeedButton::clicked, this,
            [button, handler] { nv::Guarded([button, handler] { handler(button); }); });
}

void TParamDialog::NameForAccessibility() {
    // A control is heard by its caption; one without a caption is named
    // where it is built, never by its object name, which means nothing to
    // the operator.
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (!widget->accessibleName().isEmpty() || widget->objectName().isEmpty())
            continue;
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const auto* group = qobject_cast<QGroupBox*>(widget);
        const auto* label = qobject_cast<QLabel*>(widget);
        if (button && !button->text().isEmpty())
            widget->setAccessibleName(button->text().remove(QLatin1Char('&')));
        else if (group && !group->title().isEmpty())
            widget->setAccessibleName(group->title().trimmed());
        else if (label && !label->text().isEmpty())
            widget->setAccessibleName(label->text());
    }
}

// ---------------------------------------------------------------- showing

void TParamDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    nv::Guarded([this] { btnUpdateClick(); });
}

void TParamDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    nv::Guarded([this] { FormClose(); });
}
