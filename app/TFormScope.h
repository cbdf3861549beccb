#pragma once

#include "TScopeRecord.h"

#include <QWidget>
#include <cstdint>
#include <functional>

class QCheckBox;
class QLabel;
class QSpinBox;
class QToolButton;
class TGraphView;
class TnvGraph;
class TnvParValue;

// The scope window: the drive's output frequency with its setpoint, current,
// voltage and DC bus as rolling waveforms, one diagram each; the large one
// across the bottom, the other three above it, and a click on a small one
// brings it into the large place. While shown, the four scope values (and
// the analog reference, when it sets the frequency) are read at every pass.
//
// Besides the picture it keeps a record of every reception cycle, so the
// picture can be frozen while recording goes on, the samples saved as CSV,
// and a trip captured to files. A single instance, kept for the run; GUI
// thread only.
class TFormScope : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultSamples = 150;
    static constexpr int kMaxSamples = 10000;
    // Samples recorded after a trip before a capture is written.
    static constexpr int kCaptureAfter = 20;

    explicit TFormScope(QWidget* parent);
    ~TFormScope() override;

    // The scope feed: a reception of value 1000 to 1003.
    void ScopeFeed(TnvParValue* value);
    // The current fault word arrived: a capture starts when it turns non-zero.
    void FaultWordReceived(std::uint16_t word);
    // The "INom" (5) or "IMax" (6) line of the current diagram.
    void ShowCurrentLimit(std::uint32_t index, double ampere);

    void FormShow();
    void FormClose();
    // Selects the diagram at pos (graph pixels) and brings it into the large place.
    void FormClick(QPoint pos);
    void nvGraphResize();

    void tbPauseClick();
    void seSamplesChange(int samples);
    // Files chosen by the operator; false (and a log line) when not written.
    bool SaveCsv(const QString& fileName);
    bool SavePng(const QString& fileName);
    void tbSaveCsvClick();
    void tbSavePngClick();

    // The limit lines of the DC bus diagram for a drive whose voltage range
    // ends at driveVoltage (value 20) on mains of mainVoltage (value 4).
    static double BrakeLine(double driveVoltage);
    static double UnderLine(double mainVoltage);

    bool IsPaused() const { return FPaused; }
    int Samples() const;
    TnvGraph& Graph();
    const TScopeRecord& Record() const { return FRecord; }
    // ${XDG_DATA_HOME:-~/.local/share}/kx720/captures
    static QString CaptureDir();

    // Asks the operator for a file to write; tests replace it.
    static std::function<QString(QWidget* parent, const QString& caption, const QString& filter)>
        AskSaveFileName;

    TGraphView* nvGraph;
    QToolButton* tbPause;
    QToolButton* tbSaveCsv;
    QToolButton* tbSavePng;
    QCheckBox* cbCapture;
    QLabel* lbSamples;
    QSpinBox* seSamples;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateToolBar();
    void SetPaused(bool paused);
    // Refills the traces from the last Samples() rows of the record before
    // row end, as envelopes where the rows outnumber the pixels.
    void RefillTraces(std::size_t end);
    void TracesChanged();
    void PictureChanged();
    void CheckCapture();
    void WriteCapture();
    // The rows a picture of Samples() shows, up to (without) row end.
    std::size_t FirstShownRow(std::size_t end) const;
    bool WriteRows(const QString& fileName, std::size_t first, std::size_t end);
    bool WritePng(const QString& fileName);

    TScopeRecord FRecord;
    bool FPaused = false;
    bool FTracesDue = false; // the record has rows the traces do not show yet
    std::uint16_t FLastFaults = 0;
    // Closed rows of the record at which a pending capture is written; 0 for none.
    std::size_t FCaptureAt = 0;
};
