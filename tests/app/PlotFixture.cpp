#include "PlotFixture.h"

#include "TGraphView.h"
#include "TnvDiagram.h"
#include "TnvMarker.h"
#include "TnvScala.h"

#include <QTest>
#include <cmath>

QPoint PlotFixture::At(TnvDiagram* d, double x, double y) {
    // The inverse of the diagram's own pixel-to-world conversion.
    const TnvRect p = d->GetPlotArea();
    const TnvScala& xs = *d->GetScalaX();
    const TnvScala& ys = *d->GetScalaY();
    const double px = p.Left + (x - xs.GetMin()) * (p.Right - p.Left - 2) / xs.GetSpan();
    const double py = p.Bottom - (y - ys.GetMin()) * (p.Bottom - p.Top - 2) / ys.GetSpan();
    return {static_cast<int>(std::lround(px)), static_cast<int>(std::lround(py))};
}

QPoint PlotFixture::Label(TnvMarker* m, int which) {
    const TnvRect r = which == 1 ? m->GetXLabelBox() : m->GetYLabelBox();
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

void PlotFixture::Drag(TGraphView* view, QPoint from, QPoint to) {
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QTest::mouseMove(view, (from + to) / 2);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, {}, to);
}

void PlotFixture::Click(TGraphView* view, QPoint at) {
    QTest::mouseClick(view, Qt::LeftButton, {}, at);
}

void PlotFixture::ShowExposed(QWidget* window) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
}
