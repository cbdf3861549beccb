#pragma once

#include "TParamDialog.h"

#include <QPoint>
#include <cstdint>

class QPushButton;
class TGraphView;
class TnvGraph;
class TnvMarker;

// The V/F characteristic dialog: the volts-per-hertz curve (start voltage,
// boost and base corners, minimum and maximum frequency) in a grid and on a
// chart whose five markers can be dragged. Every change, from the grid, the
// up/down controls, the mouse or the drive, goes through the value's
// reaction, which clamps it and redraws the chart from the values: a marker
// cannot be dragged beyond its limits. Writes are refused while the drive
// runs. A single instance, kept for the run; GUI thread only.
class TFormVFChart : public TParamDialog {
    Q_OBJECT
public:
    explicit TFormVFChart(QWidget* parent);

    // The values this window starts with, each through its reaction so that
    // it is validated against what is known at start-up.
    void SetDefaultValues();

    // Shown by the parameter reactions: value 8 to 14 in its cell, and the
    // chart redrawn from the values.
    void ShowValue(std::uint32_t index);
    // Redraws the curve and the markers from the current values, at the
    // chart's next paint.
    void UpdateChart();
    // The frequency axis for a drive whose maximum is maxFrequency (0.1 Hz),
    // drawn at the chart's next paint.
    void SetFrequencyRange(std::uint16_t maxFrequency);

    void btnUpdateClick() override;
    void FormClose() override;
    void SendAllClick();
    void SaveAllClick();

    // Dragging, in the chart's pixels.
    void ImageMouseDown(QPoint pos);
    void ImageMouseMove(QPoint pos);
    void ImageMouseUp();
    void ImageDblClick();

    TnvGraph& Graph();
    TnvMarker* Marker(const QString& name) const;

    TValueGrid* sgVFChart;
    TGraphView* Image;
    QPushButton* btnSendAll;
    QPushButton* btnSaveAll;

    // The word a drag to chart value x computes, with unitsPerValue words per
    // chart unit (10 for Hz to 0.1 Hz, 1 for volts): rounded half up (50.05 Hz
    // gives 501); a negative x gives 0 and one beyond the word the largest.
    static std::uint16_t DragWord(double x, double unitsPerValue);

protected:
    void sbtnSendParamClick(TSpeedButton* sender) override;
    void sbtnSaveParamClick(TSpeedButton* sender) override;

private:
    void CreateGrid();
    void BindCell(std::uint32_t index, int col, int row, const QString& name);
    void BuildChart();
    void WriteRow(int row, bool save);
};
