#include "TGraphView.h"

#include "NvGuard.h"
#include "TnvGraph.h"

#include <QMouseEvent>
#include <QPainter>

TGraphView::TGraphView(QWidget* parent)
    : QWidget(parent)
    , FGraph(std::make_unique<TnvGraph>()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    FGraph->SetAutoRefresh(false);
    FGraph->SetLeft(0);
    FGraph->SetTop(0);
    FGraph->OnRefreshed = [this](TnvGraph*, QImage&, bool&) {
        // The graph repaints inside paintEvent when a repaint was scheduled;
        // asking for another paint from there would paint without end.
        if (!FInPaint)
            update();
    };
}

TGraphView::~TGraphView() {
    FGraph->OnRefreshed = nullptr;
}

void TGraphView::Repaint() {
    FRepaintDue = false;
    if (OnBeforeRepaint)
        OnBeforeRepaint(this);
    FGraph->Repaint();
}

void TGraphView::ScheduleRepaint() {
    if (FRepaintDue)
        return;
    FRepaintDue = true;
    update();
}

QPoint TGraphView::ToGraph(QPoint widgetPos) const {
    return widgetPos - QPoint(FGraph->GetLeft(), FGraph->GetTop());
}

QSize TGraphView::sizeHint() const {
    return {319, 239};
}

void TGraphView::paintEvent(QPaintEvent*) {
    FInPaint = true;
    nv::Guarded([this] {
        if (FRepaintDue)
            Repaint();
    });
    FInPaint = false;
    QPainter painter(this);
    const QImage& bitmap = FGraph->GetBitmap();
    painter.drawImage(QPoint(FGraph->GetLeft(), FGraph->GetTop()), bitmap);
    // Where the bitmap does not reach yet (the widget grew before the next
    // layout), the window's colour rather than garbage.
    const QRect covered(QPoint(FGraph->GetLeft(), FGraph->GetTop()), bitmap.size());
    const QRegion rest = QRegion(rect()).subtracted(covered);
    for (const QRect& r : rest)
        painter.fillRect(r, palette().window());
}

void TGraphView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    nv::Guarded([this] {
        FGraph->SetWidth(width());
        FGraph->SetHeight(height());
        if (OnGraphResize)
            OnGraphResize(this);
    });
    ScheduleRepaint();
}

void TGraphView::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = ToGraph(event->position().toPoint());
    if (OnMouseDown)
        nv::Guarded([&] { OnMouseDown(this, event->button(), pos); });
}

void TGraphView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = ToGraph(event->position().toPoint());
    if (OnMouseMove)
        nv::Guarded([&] { OnMouseMove(this, pos); });
}

void TGraphView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = ToGraph(event->position().toPoint());
    if (OnMouseUp)
        nv::Guarded([&] { OnMouseUp(this, event->button(), pos); });
}

void TGraphView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = ToGraph(event->position().toPoint());
    if (OnDblClick)
        nv::Guarded([&] { OnDblClick(this, pos); });
}
