#include "TPARModule.h"

#include "NvConvert.h"
#include "NvDriveSize.h"
#include "NvParIndex.h"
#include "TCOMModule.h"
#include "TMainForm.h"
#include "TParDispatcher.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TnvParDef.h"
#include "TnvParValue.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <utility>

namespace {

constexpr int kUpDownWidth = 15;

} // namespace

const QStringList& TPARModule::Categories() {
    static const QStringList categories{QStringLiteral("Ram"), QStringLiteral("EEProm"),
                                        QStringLiteral("Flash"), QStringLiteral("Scope"),
                                        QStringLiteral("Local")};
    return categories;
}

TPARModule::TPARModule()
    : FDispatcher(std::make_unique<TParDispatcher>(*this)) {
    setObjectName(QStringLiteral("PARModule"));
    nvParDefSet.OnErrParDef = [this](TnvParDefSet* sender, std::uint32_t index) {
        nvParDefSetErrParDef(sender, index);
    };
    nvParValueSet.SetSlaveAddress(2);
    nvParValueSet.OnAddParValue = [this](TnvParValueSet* sender, TnvParValue* value) {
        nvParValueSetAddParValue(sender, value);
    };
    nvParValueSet.OnWriteRequest = [this](TnvParValueSet* sender, TnvParBind* bind, bool& accept) {
        nvParValueSetWriteRequest(sender, bind, accept);
    };
    DataModuleCreate();
}

TPARModule::~TPARModule() {
    for (const QPointer<QWidget>& control : FControls)
        delete control.data();
}

void TPARModule::DataModuleCreate() {
    // A bad definitions file fails the categories it touches, as a missing
    // one does, and the terminal starts with the others.
    QString fileError;
    bool anyFailed = false;
    try {
        nvParDefSet.LoadFromFile(QDir::currentPath(), QString::fromLatin1(kDefinitionsFile));
    } catch (const std::exception& e) {
        fileError = QString::fromUtf8(e.what());
    }
    for (const QString& category : Categories()) {
        QString error;
        bool loaded = false;
        try {
            loaded = nvParDefSet.AddParDefCategory(category);
        } catch (const std::exception& e) {
            error = category + QStringLiteral(": ") + QString::fromUtf8(e.what());
        }
        if (loaded)
            continue;
        MainForm->Log(QStringLiteral("Error loading parameters definitions."));
        if (error.isEmpty())
            std::swap(error, fileError); // the file's own reason, once
        if (!error.isEmpty())
            MainForm->Log(error);
        anyFailed = true;
    }
    // Started from another folder, the engineer needs to know where the file
    // was looked for.
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(kDefinitionsFile));
    if (anyFailed && !QFileInfo::exists(path))
        MainForm->Log(QStringLiteral("Definitions file not found: %1 (the terminal reads it from "
                                     "its working directory)")
                          .arg(path));
    FDispatcher->CreateValues();
}

nv::TDateTime TPARModule::NewestReply() const {
    nv::TDateTime newest = 0.0;
    for (const auto& value : nvParValueSet.GetValues())
        newest = std::max(newest, value->GetTimeStamp());
    return newest;
}

void TPARModule::nvParDefSetErrParDef(TnvParDefSet*, std::uint32_t index) {
    MainForm->Log(QStringLiteral("Error, parameter not found: %1").arg(index));
}

void TPARModule::nvParValueSetAddParValue(TnvParValueSet*, TnvParValue* value) {
    FDispatcher->Equip(value);
}

void TPARModule::ShowValues() {
    FDispatcher->ShowAll();
}

void TPARModule::nvParValueSetWriteRequest(TnvParValueSet*, TnvParBind* bind, bool& accept) {
    // Before the link module exists there is no link to send on.
    if (COMModule)
        COMModule->WriteRequestAsked(bind, accept);
    else
        accept = false;
}

TUpDown* TPARModule::AttachValueUpDown(TValueGrid* grid, std::uint32_t index, bool withUpDown,
                                       int col, int row) {
    if (!grid || row >= grid->rowCount() || col >= grid->columnCount() || row < 0 || col < 0)
        return nullptr;
    TnvParValue* value = nvParValueSet.FindValue(index);
    if (!value)
        return nullptr;
    grid->SetCellValue(col, row, value);
    if (value->GetParDef().Readonly || !withUpDown)
        return nullptr;
    auto* upDown = new TUpDown(grid->OverlayParent());
    upDown->Tag = static_cast<int>(index);
    upDown->setObjectName(QStringLiteral("ud%1").arg(index));
    upDown->setAccessibleName(QStringLiteral("%1 up/down").arg(value->GetParDef().Name));
    grid->PlaceOverCell(upDown, col, row, kUpDownWidth);
    FControls.emplace_back(upDown);
    return upDown;
}

TSpeedButton* TPARModule::AttachCellButton(TValueGrid* grid, int row, int index,
                                           const QString& caption, int col) {
    if (!grid || row >= grid->rowCount() || col >= grid->columnCount() || row < 0 || col < 0)
        return nullptr;
    int tag = row * 10 + col;
    if (index >= 0) {
        TnvParValue* value = nvParValueSet.FindValue(static_cast<std::uint32_t>(index));
        if (!value)
            return nullptr;
        grid->SetCellValue(col, row, value);
        if (value->GetParDef().Readonly)
            return nullptr;
        tag = index;
    }
    auto* button = new TSpeedButton(caption, grid->OverlayParent());
    button->Tag = tag;
    button->setObjectName(QStringLiteral("sbtn%1_%2").arg(row).arg(col));
    button->setAttribute(Qt::WA_SetFont, true); // its own font, not the grid's
    grid->PlaceOverCell(button, col, row, 0);
    FControls.emplace_back(button);
    return button;
}

void TPARModule::GridGetEditMask(TValueGrid* grid, int col, int row, QString& mask) {
    const TnvParValue* value = grid->GetCellValue(col, row);
    mask = value ? value->GetParDef().FormatMask : QString();
}

void TPARModule::GridSetEditText(TValueGrid* grid, int col, int row, const QString& text) {
    TnvParValue* value = grid->GetCellValue(col, row);
    const QString trimmed = text.trimmed();
    if (!value || trimmed.isEmpty())
        return;
    // The operator types register units: the raw word is written.
    value->SetValueUShort(0, static_cast<std::uint16_t>(nv::StrToInt(trimmed)));
}

void TPARModule::udChangingEx(TUpDown* sender, bool& allowChange, int, int direction) {
    allowChange = false;
    TnvParValue* value = nvParValueSet.FindValue(static_cast<std::uint32_t>(sender->Tag));
    if (!value)
        return;
    const std::uint16_t word = value->GetValueUShort(0);
    if (direction > 0)
        value->SetValueUShort(0, static_cast<std::uint16_t>(word + 1));
    else if (word != 0)
        value->SetValueUShort(0, static_cast<std::uint16_t>(word - 1));
}

std::uint16_t TPARModule::Word(std::uint32_t index) {
    TnvParValue* value = nvParValueSet.FindValue(index);
    return value ? value->GetValueUShort(0) : 0;
}

double TPARModule::DriveNominalCurrent() {
    return nv::DriveNominalCurrent(Word(nv::par::kSizeCode), Word(nv::par::kPwmIndex));
}

std::uint16_t TPARModule::DriveMaxFrequency() {
    return nv::DriveMaxFrequency(Word(nv::par::kSizeCode));
}

std::array<QStringList, 4> TPARModule::UpdateSizeInfo() {
    TnvParValue* voltage = nvParValueSet.FindValue(nv::par::kDriveVoltage);
    return nv::DriveSizeRows(Word(nv::par::kSizeCode), Word(nv::par::kPwmIndex),
                             voltage ? voltage->GetValueNumText(0) : QString());
}
