#include "TFormScope.h"

#include "NvGuard.h"
#include "NvParIndex.h"
#include "NvSaveFile.h"
#include "NvScopeGraph.h"
#include "TGraphView.h"
#include "TMainForm.h"
#include "TPARModule.h"
#include "TTerminal.h"
#include "TnvDiagram.h"
#include "TnvGraph.h"
#include "TnvMarker.h"
#include "TnvParDef.h"
#include "TnvParValue.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QSaveFile>
#include <QSpinBox>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

using nv::par::kScopeCurrent;
using nv::par::kScopeDcBus;
using nv::par::kScopeFrequency;
using nv::par::kScopeVoltage;

// The diagrams by name: a click reorders them, so their indices move.
const QString kFrequency = QStringLiteral("Frequency");
const QString kCurrent = QStringLiteral("Current");
const QString kVoltage = QStringLiteral("Voltage");
const QString kDcBus = QStringLiteral("DcBus");

// Larger than the classic 468 x 375: the three small diagrams need the room
// for their time labels.
constexpr int kWidth = 720;
constexpr int kHeight = 520;

TnvParValue* FindValue(std::uint32_t index) {
    return PARModule ? PARModule->nvParValueSet.FindValue(index) : nullptr;
}

// Pn: the scaled value of parameter n, 0 when it is not defined.
double P(std::uint32_t index) {
    TnvParValue* value = FindValue(index);
    return value ? value->GetValueDouble(0) : 0.0;
}

bool SetpointFromModbus() {
    TnvParValue* mode = FindValue(nv::par::kControlMode);
    return mode && mode->GetValueBit(0, 1);
}

TnvMarker* Marker(TnvDiagram* d, const char* name) {
    return d ? d->GetMarker(QString::fromLatin1(name)) : nullptr;
}

void SetMarker(TnvDiagram* d, const char* name, double x, double y) {
    if (TnvMarker* m = Marker(d, name))
        m->SetPoint(x, y);
}

void SetMarkerY(TnvDiagram* d, const char* name, double y) {
    if (TnvMarker* m = Marker(d, name))
        m->SetPointY(y);
}

double MarkerY(TnvDiagram* d, const char* name) {
    TnvMarker* m = Marker(d, name);
    return m ? m->GetPoint().Y : 0.0;
}

QString UniqueName(const QString& dir, const QString& stem, const QString& suffix) {
    QString name = dir + QLatin1Char('/') + stem + suffix;
    for (int n = 2; QFile::exists(name); ++n)
        name = dir + QLatin1Char('/') + stem + QStringLiteral("-%1").arg(n) + suffix;
    return name;
}

} // namespace

std::function<QString(QWidget*, const QString&, const QString&)> TFormScope::AskSaveFileName =
    [](QWidget* parent, const QString& caption, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
    };

TFormScope::TFormScope(QWidget* parent)
    : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("FormScope"));
    setWindowTitle(QStringLiteral("Oscilloscope"));
    setAccessibleName(windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreateToolBar();
    nvGraph = new TGraphView(this);
    nvGraph->setObjectName(QStringLiteral("nvGraph"));
    nvGraph->setAccessibleName(QStringLiteral("Scope graph"));
    layout->addWidget(nvGraph, 1);
    nv::BuildScopeGraph(Graph());
    nvGraph->OnGraphResize = [this](TGraphView*) {
        nvGraphResize();
    };
    nvGraph->OnBeforeRepaint = [this](TGraphView*) {
        if (FTracesDue && !FPaused)
            RefillTraces(FRecord.RowCount());
    };
    nvGraph->OnMouseDown = [this](TGraphView*, Qt::MouseButton button, QPoint pos) {
        if (button == Qt::LeftButton)
            FormClick(pos);
    };
    resize(kWidth, kHeight + layout->itemAt(0)->sizeHint().height());
}

TFormScope::~TFormScope() = default;

void TFormScope::CreateToolBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("pTools"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    const auto button = [bar, row](const QString& caption, const QString& name) {
        auto* b = new QToolButton(bar);
        b->setText(caption);
        b->setAccessibleName(caption);
        b->setObjectName(name);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        row->addWidget(b);
        return b;
    };
    tbPause = button(QStringLiteral("Pause"), QStringLiteral("tbPause"));
    tbPause->setToolTip(QStringLiteral("Freeze the picture; samples are still recorded"));
    tbSaveCsv = button(QStringLiteral("Save CSV..."), QStringLiteral("tbSaveCsv"));
    tbSaveCsv->setToolTip(QStringLiteral("Write every recorded sample to a CSV file"));
    tbSavePng = button(QStringLiteral("Save PNG..."), QStringLiteral("tbSavePng"));
    tbSavePng->setToolTip(QStringLiteral("Write the picture as shown to a PNG file"));
    cbCapture = new QCheckBox(QStringLiteral("Capture on fault"), bar);
    cbCapture->setObjectName(QStringLiteral("cbCapture"));
    cbCapture->setAccessibleName(cbCapture->text());
    cbCapture->setToolTip(
        QStringLiteral("On a trip, record %1 more samples, pause and save CSV and PNG to %2")
            .arg(kCaptureAfter)
            .arg(QDir::toNativeSeparators(CaptureDir())));
    row->addWidget(cbCapture);
    row->addStretch(1);
    lbSamples = new QLabel(QStringLiteral("Samples"), bar);
    lbSamples->setAccessibleName(lbSamples->text());
    row->addWidget(lbSamples);
    seSamples = new QSpinBox(bar);
    seSamples->setObjectName(QStringLiteral("seSamples"));
    seSamples->setAccessibleName(QStringLiteral("Samples"));
    seSamples->setRange(kDefaultSamples, kMaxSamples);
    seSamples->setSingleStep(50);
    seSamples->setValue(kDefaultSamples);
    seSamples->setKeyboardTracking(false);
    lbSamples->setBuddy(seSamples);
    row->addWidget(seSamples);
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);

    connect(tbPause, &QToolButton::clicked, this,
            [this] { nv::Guarded([this] { tbPauseClick(); }); });
    connect(tbSaveCsv, &QToolButton::clicked, this,
            [this] { nv::Guarded([this] { tbSaveCsvClick(); }); });
    connect(tbSavePng, &QToolButton::clicked, this,
            [this] { nv::Guarded([this] { tbSavePngClick(); }); });
    connect(seSamples, &QSpinBox::valueChanged, this,
            [this](int n) { nv::Guarded([this, n] { seSamplesChange(n); }); });
}

TnvGraph& TFormScope::Graph() {
    return nvGraph->Graph();
}

int TFormScope::Samples() const {
    return seSamples->value();
}

QString TFormScope::CaptureDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/kx720/captures");
}

double TFormScope::BrakeLine(double driveVoltage) {
    return driveVoltage <= 300.0 ? 400.0 : 670.0;
}

double TFormScope::UnderLine(double mainVoltage) {
    return mainVoltage * 1.4142 * 0.75;
}

// ---------------------------------------------------------------- showing

void TFormScope::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    nv::Guarded([this] { FormShow(); });
}

void TFormScope::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    nv::Guarded([this] { FormClose(); });
}

void TFormScope::FormShow() {
    for (std::uint32_t index : {kScopeDcBus, kScopeCurrent, kScopeVoltage, kScopeFrequency})
        if (TnvParValue* value = FindValue(index))
            value->SetCyclic(true);
    if (!SetpointFromModbus())
        if (TnvParValue* reference = FindValue(nv::par::kAnalogReference))
            reference->SetCyclic(true);
    nvGraph->ScheduleRepaint();
}

void TFormScope::FormClose() {
    for (std::uint32_t index :
         {kScopeDcBus, kScopeCurrent, kScopeVoltage, kScopeFrequency, nv::par::kAnalogReference})
        if (TnvParValue* value = FindValue(index))
            value->SetCyclic(false);
}

void TFormScope::nvGraphResize() {
    nv::LayoutScopeGraph(Graph(), nvGraph->width(), nvGraph->height());
}

void TFormScope::FormClick(QPoint pos) {
    TnvGraph& graph = Graph();
    graph.SelectAtPos(pos);
    if (TnvDiagram* selected = graph.GetSelDiagram()) {
        graph.BringToFront(selected);
        nvGraphResize();
    }
    nvGraph->Repaint();
}

// ---------------------------------------------------------------- feed

void TFormScope::ScopeFeed(TnvParValue* value) {
    const std::uint32_t index = value->GetParDef().ParIndex;
    const nv::TDateTime time = value->GetTimeStamp();
    const double v = value->GetValueDouble(0);
    TnvGraph& graph = Graph();
    switch (index) {
    case kScopeFrequency: {
        const double p13 = P(nv::par::kMinFrequency);
        const double p14 = P(nv::par::kMaxFrequency);
        const double setpoint = SetpointFromModbus()
                                    ? P(nv::par::kSetpoint)
                                    : p13 + P(nv::par::kAnalogReference) * (p14 - p13);
        FRecord.Add(TScopeRecord::qFrequency, time, v);
        FRecord.Add(TScopeRecord::qSetpoint, time, setpoint);
        TnvDiagram* d = graph.GetDiagram(kFrequency);
        if (FPaused || !d)
            break;
        SetMarker(d, "Act", time, v);
        d->GetScalaY()->SetMax(p14 * 1.1);
        SetMarker(d, "Ref", time, setpoint);
        break;
    }
    case kScopeCurrent: {
        FRecord.Add(TScopeRecord::qCurrent, time, v);
        TnvDiagram* d = graph.GetDiagram(kCurrent);
        if (FPaused || !d)
            break;
        SetMarker(d, "Act", time, v);
        d->GetScalaY()->SetMax(MarkerY(d, "IMax") * 1.1);
        break;
    }
    case kScopeVoltage: {
        FRecord.Add(TScopeRecord::qVoltage, time, v);
        TnvDiagram* d = graph.GetDiagram(kVoltage);
        if (FPaused || !d)
            break;
        SetMarker(d, "Act", time, v);
        d->GetScalaY()->SetMax(P(nv::par::kBaseVoltage) * 1.1);
        break;
    }
    case kScopeDcBus: {
        FRecord.Add(TScopeRecord::qDcBus, time, v);
        TnvDiagram* d = graph.GetDiagram(kDcBus);
        if (FPaused || !d)
            break;
        SetMarker(d, "Act", time, v);
        SetMarkerY(d, "Brake", BrakeLine(P(nv::par::kDriveVoltage)));
        d->GetScalaY()->SetMax(MarkerY(d, "Brake") * 1.1);
        SetMarkerY(d, "Under", UnderLine(P(nv::par::kMainVoltage)));
        d->GetScalaY()->SetMin(MarkerY(d, "Under") * 0.9);
        break;
    }
    default:
        return;
    }
    TracesChanged();
    CheckCapture();
}

void TFormScope::ShowCurrentLimit(std::uint32_t index, double ampere) {
    TnvDiagram* d = Graph().GetDiagram(kCurrent);
    SetMarkerY(d, index == nv::par::kNominalCurrent ? "INom" : "IMax", ampere);
    PictureChanged();
}

void TFormScope::TracesChanged() {
    FTracesDue = true;
    PictureChanged();
}

void TFormScope::PictureChanged() {
    // The traces follow the record at the next frame, so a cycle's four
    // receptions cost one repaint.
    if (isVisible() && !FPaused)
        nvGraph->ScheduleRepaint();
}

// ---------------------------------------------------------------- pause and samples

void TFormScope::tbPauseClick() {
    SetPaused(!FPaused);
}

void TFormScope::SetPaused(bool paused) {
    if (paused == FPaused)
        return;
    FPaused = paused;
    const QString caption = paused ? QStringLiteral("Run") : QStringLiteral("Pause");
    tbPause->setText(caption);
    tbPause->setAccessibleName(caption);
    if (!paused)
        TracesChanged();
}

void TFormScope::seSamplesChange(int) {
    TracesChanged();
}

std::size_t TFormScope::FirstShownRow(std::size_t end) const {
    const auto shown = static_cast<std::size_t>(Samples());
    return end > shown ? end - shown : 0;
}

void TFormScope::RefillTraces(std::size_t end) {
    // The picture shows what the record holds, whatever was frozen or
    // dropped from the traces before.
    struct TSlot {
        const QString* Diagram;
        int Trace;
        TScopeRecord::TQuantity Quantity;
    };
    const TSlot feeds[] = {{&kFrequency, 0, TScopeRecord::qFrequency},
                           {&kFrequency, 1, TScopeRecord::qSetpoint},
                           {&kCurrent, 0, TScopeRecord::qCurrent},
                           {&kVoltage, 0, TScopeRecord::qVoltage},
                           {&kDcBus, 0, TScopeRecord::qDcBus}};
    FTracesDue = false;
    TnvGraph& graph = Graph();
    std::vector<Tnv2DPoint> points;
    for (const TSlot& slot : feeds) {
        TnvDiagram* d = graph.GetDiagram(*slot.Diagram);
        TnvTraccia* t = d ? d->GetTraccia(static_cast<std::int8_t>(slot.Trace)) : nullptr;
        if (!t)
            continue;
        points.clear();
        for (std::size_t i = FirstShownRow(end); i < end; ++i) {
            const TScopeRecord::TRow& row = FRecord.Row(i);
            if (TScopeRecord::Has(row.Values[slot.Quantity]))
                points.push_back({row.Time, row.Values[slot.Quantity]});
        }
        const TnvRect plot = d->GetPlotArea();
        const int columns = plot.Right > plot.Left ? plot.Right - plot.Left : nvGraph->width();
        nv::FillEnvelope(*t, points, columns);
    }
}

// ---------------------------------------------------------------- files

bool TFormScope::WriteRows(const QString& fileName, std::size_t first, std::size_t end) {
    QSaveFile file(fileName);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (ok) {
        // Rows past end belong to the next cycle, which is still coming in.
        ok = FRecord.WriteCsv(file, first, end) && nv::CommitSaveFile(file);
    }
    if (!ok)
        MainForm->Log(QStringLiteral("Scope: could not write %1: %2")
                          .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return ok;
}

bool TFormScope::WritePng(const QString& fileName) {
    nvGraph->Repaint();
    QSaveFile file(fileName);
    const bool ok = file.open(QIODevice::WriteOnly) && Graph().GetBitmap().save(&file, "PNG") &&
                    nv::CommitSaveFile(file);
    if (!ok)
        MainForm->Log(QStringLiteral("Scope: could not write %1: %2")
                          .arg(QDir::toNativeSeparators(fileName), file.errorString()));
    return ok;
}

bool TFormScope::SaveCsv(const QString& fileName) {
    return WriteRows(fileName, 0, FRecord.RowCount());
}

bool TFormScope::SavePng(const QString& fileName) {
    return WritePng(fileName);
}

void TFormScope::tbSaveCsvClick() {
    QString name = AskSaveFileName(this, QStringLiteral("Save CSV"),
                                   QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".csv");
    if (SaveCsv(name))
        MainForm->Log(
            QStringLiteral("Scope samples saved to %1").arg(QDir::toNativeSeparators(name)));
}

void TFormScope::tbSavePngClick() {
    QString name = AskSaveFileName(this, QStringLiteral("Save PNG"),
                                   QStringLiteral("PNG Images (*.png);;All Files (*)"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".png");
    if (SavePng(name))
        MainForm->Log(
            QStringLiteral("Scope picture saved to %1").arg(QDir::toNativeSeparators(name)));
}

// ---------------------------------------------------------------- capture

void TFormScope::FaultWordReceived(std::uint16_t word) {
    const bool tripped = word != 0 && FLastFaults == 0;
    FLastFaults = word;
    if (!tripped || !cbCapture->isChecked() || FCaptureAt != 0 || !isVisible())
        return;
    // The cycle under way when the trip was seen, then kCaptureAfter more.
    FCaptureAt = FRecord.ClosedRows() + 1 + kCaptureAfter;
}

void TFormScope::CheckCapture() {
    if (FCaptureAt == 0 || FRecord.ClosedRows() < FCaptureAt)
        return;
    FCaptureAt = 0;
    WriteCapture();
}

void TFormScope::WriteCapture() {
    // The open row is the next cycle's first sample: leave it out.
    const std::size_t end = FRecord.RowCount() - 1;
    // The picture as it stood at the last closed cycle.
    SetPaused(true);
    RefillTraces(end);
    const QString dir = CaptureDir();
    if (!QDir().mkpath(dir)) {
        MainForm->Log(
            QStringLiteral("Scope: could not create %1").arg(QDir::toNativeSeparators(dir)));
        return;
    }
    const std::uint32_t slave = PARModule ? PARModule->nvParValueSet.GetSlaveAddress() : 0;
    const QString stem = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         QStringLiteral("-slave%1").arg(slave);
    const QString csv = UniqueName(dir, stem, QStringLiteral(".csv"));
    const QString png = UniqueName(dir, stem, QStringLiteral(".png"));
    if (WriteRows(csv, FirstShownRow(end), end) && WritePng(png))
        MainForm->Log(QStringLiteral("Scope capture after a trip: %1 and %2")
                          .arg(QDir::toNativeSeparators(csv), QDir::toNativeSeparators(png)));
}
