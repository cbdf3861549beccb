#include "TFormVFChart.h"

#include "NvParIndex.h"
#include "NvVFGraph.h"
#include "TGraphView.h"
#include "TPARModule.h"
#include "TSpeedButton.h"
#include "TTerminal.h"
#include "TUpDown.h"
#include "TValueGrid.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvParDef.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QGroupBox>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace {

using namespace nv::par;

constexpr int kRows = 6;

// The parameters of each grid row: voltage (column 1) and frequency (column 2).
struct TRowSpec {
    const char* Caption;
    std::int32_t Voltage;
    std::int32_t Frequency;
};
constexpr TRowSpec kGridRows[] = {{"Start volt.", kStartVoltage, -1},
                                  {"Boost corner", kBoostVoltage, kBoostFrequency},
                                  {"Base corner", kBaseVoltage, kBaseFrequency},
                                  {"Min freq.", -1, kMinFrequency},
                                  {"Max freq.", -1, kMaxFrequency}};

// The parameters a drag of each marker edits (-1: none).
struct TMarkerSpec {
    const char* Name;
    std::int32_t Frequency;
    std::int32_t Voltage;
};
constexpr TMarkerSpec kMarkers[] = {{"Fmax", kMaxFrequency, -1},
                                    {"Fmin", kMinFrequency, -1},
                                    {"Start", -1, kStartVoltage},
                                    {"Boost", kBoostFrequency, kBoostVoltage},
                                    {"Base", kBaseFrequency, kBaseVoltage}};

TnvParValue* FindValue(std::int64_t index) {
    return index < 0 || !PARModule
               ? nullptr
               : PARModule->nvParValueSet.FindValue(static_cast<std::uint32_t>(index));
}

// Word(n) as the chart uses it: 0 for a parameter the definitions lack.
double W(std::uint32_t index) {
    return PARModule ? PARModule->Word(index) : 0;
}

} // namespace

TFormVFChart::TFormVFChart(QWidget* parent)
    : TParamDialog(parent, QStringLiteral("FormVFChart"), QStringLiteral("VF Characteristic")) {
    // The chart takes what the window gives it.
    layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    CreateGrid();
    Image = new TGraphView(this);
    Image->setObjectName(QStringLiteral("Image"));
    Image->setAccessibleName(QStringLiteral("V/F chart"));
    Image->setMinimumSize(360, 260);
    Body()->addWidget(Image, 1);
    BuildChart();
    Image->OnMouseDown = [this](TGraphView*, Qt::MouseButton button, QPoint pos) {
        if (button == Qt::LeftButton)
            ImageMouseDown(pos);
    };
    Image->OnMouseMove = [this](TGraphView*, QPoint pos) {
        ImageMouseMove(pos);
    };
    Image->OnMouseUp = [this](TGraphView*, Qt::MouseButton, QPoint) {
        ImageMouseUp();
    };
    Image->OnDblClick = [this](TGraphView*, QPoint) {
        ImageDblClick();
    };
    btnSendAll = AddBottomButton(QStringLiteral("Send All"), QStringLiteral("btnSendAll"),
                                 [this] { SendAllClick(); });
    btnSaveAll = AddBottomButton(QStringLiteral("Save All"), QStringLiteral("btnSaveAll"),
                                 [this] { SaveAllClick(); });
    NameForAccessibility();
    resize(560, 600);
    SetDefaultValues();
}

void TFormVFChart::CreateGrid() {
    // Wider than the classic 80/60: "Boost corner" and "Frequency" fit whole.
    sgVFChart = AddGridGroup(QStringLiteral("V/F characteristic "), QStringLiteral("sgVFChart"),
                             {100, 70, 80, 56, 56}, kRows);
    sgVFChart->setTabKeyNavigation(true);
    const char* const top[] = {"", "Voltage", "Frequency", "", ""};
    for (int col = 0; col < 5; ++col)
        SetFixedCell(sgVFChart, col, 0, QString::fromLatin1(top[col]));
    for (int row = 1; row < kRows; ++row) {
        const TRowSpec& rowSpec = kGridRows[row - 1];
        const QString caption = QString::fromLatin1(rowSpec.Caption);
        SetFixedCell(sgVFChart, 0, row, caption);
        for (int col = 1; col <= 2; ++col) {
            const std::int32_t index = col == 1 ? rowSpec.Voltage : rowSpec.Frequency;
            if (index >= 0)
                BindCell(static_cast<std::uint32_t>(index), col, row,
                         caption + (col == 1 ? QStringLiteral(" voltage up/down")
                                             : QStringLiteral(" frequency up/down")));
            else
                SetFixedCell(sgVFChart, col, row, QString());
        }
        const std::pair<const char*, bool> buttons[] = {{"Send", false}, {"Save", true}};
        for (int i = 0; i < 2; ++i) {
            const QString text = QString::fromLatin1(buttons[i].first);
            TSpeedButton* b = PARModule->AttachCellButton(sgVFChart, row, -1, text, 3 + i);
            if (!b)
                continue;
            // Every row has the same buttons: a screen reader tells them by their row.
            b->setAccessibleName(text + QLatin1Char(' ') + caption);
            if (buttons[i].second)
                OnButtonClick(b, [this](TSpeedButton* s) { sbtnSaveParamClick(s); });
            else
                OnButtonClick(b, [this](TSpeedButton* s) { sbtnSendParamClick(s); });
        }
    }
}

void TFormVFChart::BindCell(std::uint32_t index, int col, int row, const QString& name) {
    if (TUpDown* upDown = PARModule->AttachValueUpDown(sgVFChart, index, true, col, row)) {
        upDown->setAccessibleName(name);
        upDown->OnChangingEx = [](TUpDown* sender, bool& allow, int newValue, int direction) {
            PARModule->udChangingEx(sender, allow, newValue, direction);
        };
    }
    sgVFChart->SetCellEditable(col, row, sgVFChart->GetCellValue(col, row) != nullptr);
}

void TFormVFChart::BuildChart() {
    TnvDiagram* d = nv::BuildVFGraph(Graph());
    for (const TMarkerSpec& marker : kMarkers)
        if (TnvMarker* m = d->GetMarker(QString::fromLatin1(marker.Name))) {
            m->UserData1 = marker.Frequency;
            m->UserData2 = marker.Voltage;
        }
}

TnvGraph& TFormVFChart::Graph() {
    return Image->Graph();
}

TnvMarker* TFormVFChart::Marker(const QString& name) const {
    TnvDiagram* d = Image->Graph().GetDiagram(nv::kVFDiagram);
    return d ? d->GetMarker(name) : nullptr;
}

void TFormVFChart::SetDefaultValues() {
    constexpr std::array<std::pair<std::uint32_t, std::uint16_t>, 7> kDefaults{
        {{kBaseVoltage, 230},
         {kBoostVoltage, 100},
         {kStartVoltage, 10},
         {kMaxFrequency, 1200},
         {kMinFrequency, 100},
         {kBaseFrequency, 600},
         {kBoostFrequency, 200}}};
    for (const auto& [index, word] : kDefaults)
        if (TnvParValue* value = FindValue(index))
            value->SetValueUShort(0, word);
}

// ---------------------------------------------------------------- showing

void TFormVFChart::ShowValue(std::uint32_t index) {
    for (int row = 1; row < kRows; ++row) {
        const TRowSpec& rowSpec = kGridRows[row - 1];
        const int col = rowSpec.Voltage == static_cast<std::int32_t>(index)     ? 1
                        : rowSpec.Frequency == static_cast<std::int32_t>(index) ? 2
                                                                                : 0;
        if (col == 0)
            continue;
        if (TnvParValue* value = FindValue(index))
            sgVFChart->SetCellText(col, row, value->GetValueNumText(0));
    }
    UpdateChart();
}

void TFormVFChart::UpdateChart() {
    TnvDiagram* d = Graph().GetDiagram(std::int8_t{0});
    TnvTraccia* curve = d ? d->GetTraccia(std::int8_t{0}) : nullptr;
    if (!curve)
        return;
    const double top = PARModule ? PARModule->DriveMaxFrequency() * 0.1 : 0.0;
    curve->Clear();
    curve->AddPoint(false, 0, W(kStartVoltage));
    curve->AddPoint(false, W(kBoostFrequency) * 0.1, W(kBoostVoltage));
    curve->AddPoint(false, W(kBaseFrequency) * 0.1, W(kBaseVoltage));
    curve->AddPoint(false, top, W(kBaseVoltage));
    if (TnvMarker* m = Marker(QStringLiteral("Start")))
        m->SetPoint(m->GetPoint().X, W(kStartVoltage));
    if (TnvMarker* m = Marker(QStringLiteral("Boost")))
        m->SetPoint(W(kBoostFrequency) * 0.1, W(kBoostVoltage));
    if (TnvMarker* m = Marker(QStringLiteral("Base")))
        m->SetPoint(W(kBaseFrequency) * 0.1, W(kBaseVoltage));
    if (TnvMarker* m = Marker(QStringLiteral("Fmin")))
        m->SetPoint(W(kMinFrequency) * 0.1, m->GetPoint().Y);
    if (TnvMarker* m = Marker(QStringLiteral("Fmax")))
        m->SetPoint(W(kMaxFrequency) * 0.1, m->GetPoint().Y);
    d->GetScalaY()->SetMax(1.1 * std::max(W(kBaseVoltage), W(kMainVoltage)));
    // The drive's readings call this one value at a time, shown or not: a
    // hidden chart is drawn when it shows, a shown one once for the batch.
    Image->ScheduleRepaint();
}

void TFormVFChart::SetFrequencyRange(std::uint16_t maxFrequency) {
    if (TnvDiagram* d = Graph().GetDiagram(nv::kVFDiagram)) {
        // A 2 % margin beyond the drive's maximum frequency.
        d->GetScalaX()->SetRange(0, maxFrequency * 0.1 / 0.98);
        Image->ScheduleRepaint();
    }
}

// ---------------------------------------------------------------- dragging

std::uint16_t TFormVFChart::DragWord(double x, double unitsPerValue) {
    // Tenths of a word, taken to a millionth first so that 50.05 Hz, which
    // a double holds as 50.04999..., still rounds up.
    const double tenths = std::round(x * unitsPerValue * 10.0 * 1e6) / 1e6;
    if (!(tenths > 0)) // negative, or not a number
        return 0;
    const double word = std::floor((tenths + 5.0) / 10.0);
    return word >= std::numeric_limits<std::uint16_t>::max()
               ? std::numeric_limits<std::uint16_t>::max()
               : static_cast<std::uint16_t>(word);
}

void TFormVFChart::ImageMouseDown(QPoint pos) {
    Graph().SelectAtPos(pos);
    Image->Repaint();
}

void TFormVFChart::ImageMouseMove(QPoint pos) {
    TnvDiagram* d = Graph().GetSelDiagram();
    auto* marker = d ? dynamic_cast<TnvMarker*>(d->GetSelElement()) : nullptr;
    Tnv2DPoint at;
    if (!marker || !d->GetScalaX() || !d->GetScalaY())
        return;
    // The conversion also maps a cursor beyond the plot (over the labels or
    // outside the window), so a marker dragged past the edge goes to its limit.
    d->CoordAtPos(at, pos);
    if (marker->GetSelected() == 1) {
        marker->SetPoint(at.X + 0.05, marker->GetPoint().Y);
        if (TnvParValue* value = FindValue(marker->UserData1))
            value->SetValueUShort(0, DragWord(at.X, 10.0));
    } else {
        marker->SetPoint(marker->GetPoint().X, at.Y + 0.5);
        if (TnvParValue* value = FindValue(marker->UserData2))
            value->SetValueUShort(0, DragWord(at.Y, 1.0));
    }
    Image->Repaint();
}

void TFormVFChart::ImageMouseUp() {
    if (!Graph().GetSelDiagram())
        return;
    Graph().SetSelectedDgr(nullptr);
    Image->Repaint();
}

void TFormVFChart::ImageDblClick() {
    UpdateChart();
}

// ---------------------------------------------------------------- writing

void TFormVFChart::WriteRow(int row, bool save) {
    for (int col = 1; col <= 2; ++col) {
        TnvParValue* value = sgVFChart->GetCellValue(col, row);
        if (!value)
            continue;
        value->SetWriteRequest(true);
        if (save)
            SaveStoredCopy(value->GetParDef().ParIndex);
    }
}

void TFormVFChart::sbtnSendParamClick(TSpeedButton* sender) {
    if (!DriveRunning(this))
        WriteRow(sender->Tag / 10, false);
}

void TFormVFChart::sbtnSaveParamClick(TSpeedButton* sender) {
    if (!DriveRunning(this))
        WriteRow(sender->Tag / 10, true);
}

void TFormVFChart::SendAllClick() {
    if (DriveRunning(this))
        return;
    for (int row = 1; row < kRows; ++row)
        WriteRow(row, false);
}

void TFormVFChart::SaveAllClick() {
    if (DriveRunning(this))
        return;
    for (int row = 1; row < kRows; ++row)
        WriteRow(row, true);
}

// ---------------------------------------------------------------- reading

void TFormVFChart::btnUpdateClick() {
    // The main voltage too: it sets the top of the voltage axis.
    SetCyclic({kStartVoltage, kBoostVoltage, kBaseVoltage, kBoostFrequency, kBaseFrequency,
               kMinFrequency, kMaxFrequency, kMainVoltage},
              true);
}

void TFormVFChart::FormClose() {
    SetCyclic({kStartVoltage, kBoostVoltage, kBaseVoltage, kBoostFrequency, kBaseFrequency,
               kMinFrequency, kMaxFrequency},
              false);
}
