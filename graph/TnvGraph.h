#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "NvGraphTypes.h"
#include "TnvCanvas.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TnvDiagram;
class TnvScala;

// A chart component that paints its diagrams into an off-screen bitmap and
// hands it to its host through OnRefreshed; maps pointer positions to
// diagrams, elements and world points; writes and reads its setup text.
// GUI thread only; every event is raised on it.
class TnvGraph {
public:
    using TDrawEvent = std::function<void(TnvDiagram* sender, QImage& grafico, bool& doit)>;
    using TGraphEvent = std::function<void(TnvGraph* sender, QImage& grafico, bool& doit)>;

    TnvGraph();
    ~TnvGraph();
    TnvGraph(const TnvGraph&) = delete;
    TnvGraph& operator=(const TnvGraph&) = delete;

    QString GetVersion() const { return "Ver.1.00"; }
    TnvDiagram* GetSelDiagram() const { return FSelDiagram; }
    bool GetAutoRefresh() const { return FAutoRefresh; }
    void SetAutoRefresh(bool value) { FAutoRefresh = value; }

    // Painting order: index 0 first (bottom).
    const std::vector<std::unique_ptr<TnvDiagram>>& GetDiagrams() const { return FDiagrams; }
    TnvRect GetDrawArea() const { return FDrawArea; }
    QImage& GetBitmap() { return FBitmap; }
    TnvCanvas& GetCanvas() { return FCanvas; }

    // Raised before each diagram is painted (sender none without diagrams);
    // clearing doit skips it.
    TDrawEvent OnDiagramDraw;
    // Raised by RefreshQuery; clearing doit cancels the repaint.
    TGraphEvent OnRefreshQuery;
    // Raised after every Repaint: the host copies the bitmap here.
    TGraphEvent OnRefreshed;
    // Raised after Width or Height changed.
    std::function<void(TnvGraph* sender)> OnResize;

    // Repaints when AutoRefresh is set and OnRefreshQuery agrees.
    void RefreshQuery();
    // Paints every diagram (or clears the area without any) and raises OnRefreshed.
    void Repaint();

    // Takes ownership; -2 for none, -3 when the name was already used (still
    // added), else 0.
    int AddDiagram(std::unique_ptr<TnvDiagram> diagram);
    // Takes the diagram out of the list without destroying it; the caller owns
    // it then (and must drop it before the graph).
    std::unique_ptr<TnvDiagram> DeleteDiagram(TnvDiagram* diagram);
    // None when the name is taken.
    TnvDiagram* CreateNewDiagram(const QString& name);
    TnvDiagram* GetDiagram(const QString& name) const;
    TnvDiagram* GetDiagram(std::int8_t index) const;
    int GetDgrCount() const { return static_cast<int>(FDiagrams.size()); }
    // Index in the painting order, -1 when not here.
    int IndexOf(const TnvDiagram* diagram) const;

    int GetLeft() const { return FDrawArea.Left; }
    int GetTop() const { return FDrawArea.Top; }
    void SetLeft(int left);
    void SetTop(int top);
    // Right - Left and Bottom - Top: one less than the value last set.
    // A setup text may place the area anywhere in the int range, so the span
    // is taken in 64 bits and saturated.
    int GetWidth() const { return Span(FDrawArea.Left, FDrawArea.Right); }
    int GetHeight() const { return Span(FDrawArea.Top, FDrawArea.Bottom); }
    void SetWidth(int width);
    void SetHeight(int height);

    void SetSelectedDgr(TnvDiagram* diagram);
    // Moves the diagram to the top of the painting order.
    void BringToFront(TnvDiagram* diagram);
    // The lowest diagram whose area strictly contains point.
    TnvDiagram* DgrAtPos(QPoint point) const;
    // Selects the topmost complete diagram at point (or none) and the element
    // under point in it.
    void SelectAtPos(QPoint point);
    // Index of the diagram whose plot holds point, -1 otherwise; out gets the
    // world point whenever a complete diagram's area holds point.
    int CoordAtCurPos(QPoint point, Tnv2DPoint& out) const;
    // Destroys every diagram.
    void ClearAll();
    // Stores the bitmap as a BMP file; false when it cannot be written.
    bool SaveToFile(const QString& fileName);

    QString GetSetup() const;
    // Adds the diagrams of a setup text and takes its AutoRefresh and DrawArea.
    // Raises TnvConvertError for a malformed value; earlier diagrams stay.
    void SetSetup(const QString& text);

    bool DoOnDiagramDraw(TnvDiagram* diagram);
    bool DoOnRefreshQuery();
    void DoOnRefreshed();
    void DoOnResize();

private:
    static int Span(int from, int to) { return Saturate(static_cast<int64_t>(to) - from); }
    static int Saturate(int64_t value) {
        return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max()));
    }

    friend class TnvDiagram;
    // A diagram being destroyed leaves the list (without being destroyed again).
    void ForgetDiagram(TnvDiagram* diagram);
    // Another diagram that holds scale, for handing its ownership on.
    TnvDiagram* ScaleHolder(const TnvScala* scale, const TnvDiagram* except) const;
    void ResizeBitmap(int width, int height);
    TnvDiagram* CompleteDiagramAt(QPoint point) const;

    TnvDiagram* FSelDiagram = nullptr;
    bool FAutoRefresh = false;
    std::vector<std::unique_ptr<TnvDiagram>> FDiagrams;
    TnvRect FDrawArea{0, 0, 319, 239};
    QImage FBitmap;
    TnvCanvas FCanvas;
    bool FPainting = false;
};
