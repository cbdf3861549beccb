#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class TnvGraph;

// Shows a TnvGraph in a window: owns the graph, keeps it the size of the
// widget, paints its bitmap and hands the mouse on in the graph's pixel
// coordinates. The graph is painted only when asked (Repaint) or when a
// repaint was scheduled and the widget is painted anyway, never from inside
// the widget's own paint. GUI thread only.
class TGraphView : public QWidget {
    Q_OBJECT
public:
    explicit TGraphView(QWidget* parent);
    ~TGraphView() override;

    TnvGraph& Graph() { return *FGraph; }

    // Paints the graph now and shows it at the next paint of the widget.
    void Repaint();
    // Paints the graph at the next paint of the widget: many requests
    // between two frames cost one repaint.
    void ScheduleRepaint();
    // The widget's pixel in the graph's bitmap.
    QPoint ToGraph(QPoint widgetPos) const;

    // Raised before every repaint of the graph: bring its content up to date.
    std::function<void(TGraphView* sender)> OnBeforeRepaint;
    // Raised after the graph took the widget's new size: lay the diagrams out.
    std::function<void(TGraphView* sender)> OnGraphResize;
    // Mouse events in graph coordinates.
    std::function<void(TGraphView* sender, Qt::MouseButton button, QPoint pos)> OnMouseDown;
    std::function<void(TGraphView* sender, QPoint pos)> OnMouseMove;
    std::function<void(TGraphView* sender, Qt::MouseButton button, QPoint pos)> OnMouseUp;
    std::function<void(TGraphView* sender, QPoint pos)> OnDblClick;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<TnvGraph> FGraph;
    bool FRepaintDue = false;
    bool FInPaint = false;
};
