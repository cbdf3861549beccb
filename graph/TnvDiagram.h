#pragma once

#include "NvGraphTypes.h"
#include "TnvTitle.h"

#include <QPoint>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class TnvCanvas;
class TnvGraph;
class TnvGraphElement;
class TnvLegenda;
class TnvMarker;
class TnvScala;
class TnvTraccia;

using TnvTrkList = std::vector<std::unique_ptr<TnvTraccia>>;
using TnvMrkList = std::vector<std::unique_ptr<TnvMarker>>;

// One chart of a graph: title, X and Y scale, traces, markers and a legend in a
// rectangle of the graph's bitmap. Owned by its graph; owns its elements. A
// scale may be shared with other diagrams (SetScalaX) and lives as long as the
// last diagram that holds it. GUI thread only.
class TnvDiagram {
public:
    // Registers itself in owner, which owns it from then on (delete removes it
    // again). Raises TnvError "Diagram: Owner not valid!" without an owner.
    TnvDiagram(TnvGraph* owner, const QString& name);
    ~TnvDiagram();
    TnvDiagram(const TnvDiagram&) = delete;
    TnvDiagram& operator=(const TnvDiagram&) = delete;

    TnvGraph* GetOwner() const { return FOwner; }
    QString GetName() const { return FName; }
    void SetName(const QString& name);
    bool GetSelected() const { return FSelected; }
    TnvGraphElement* GetSelElement() const { return FSelElement; }

    TnvPen& GetTitlePen() { return FTitle.Pen; }
    TnvBrush& GetTitleBrush() { return FTitle.Brush; }
    TnvFont& GetTitleFont() { return FTitle.Font; }
    bool GetTitleVisible() const { return FTitle.Visible; }
    void SetTitleVisible(bool value);
    TnvRect GetTitleRect() const { return FTitleRect; }

    TnvColor GetTrkBack() const { return FTrkBack; }
    void SetTrkBack(TnvColor color);
    TnvColor GetDgrBack() const { return FDgrBack; }
    void SetDgrBack(TnvColor color);

    TnvRect GetDrawArea() const { return FDrawArea; }
    // A new area switches FollowOwnerArea off.
    void SetArea(int left, int top, int right, int bottom);
    TnvRect GetPlotArea() const { return FPlotArea; }

    bool GetAutoScalaX() const { return FAutoScalaX; }
    void SetAutoScalaX(bool value);
    bool GetAutoScalaY() const { return FAutoScalaY; }
    void SetAutoScalaY(bool value);
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool value);
    bool GetFollowOwnerArea() const { return FFollowOwnerArea; }
    void SetFollowOwnerArea(bool value);

    TnvLegenda* GetLegenda() const { return FLegenda.get(); }
    TnvScala* GetScalaX() const { return FScalaX.get(); }
    TnvScala* GetScalaY() const { return FScalaY.get(); }
    // For sharing the X scale with another diagram's SetScalaX.
    std::shared_ptr<TnvScala> GetScalaXShared() const { return FScalaX; }
    // Takes scale as the X scale (ignored when none or the current one).
    void SetScalaX(std::shared_ptr<TnvScala> scale);
    const TnvTrkList& GetTrkList() const { return FTrkList; }
    const TnvMrkList& GetMrkList() const { return FMrkList; }

    // Visible and with both scales: only such a diagram is painted, selected
    // or asked for coordinates.
    bool IsComplete() const;

    // A repaint request to the graph.
    void Changed();

    // Takes the element by its kind: a scale into its slot (88 for X, 89 for Y,
    // -4 when occupied), a trace or marker appended (its index, -3 for a
    // duplicate name), a legend (76, -4 when there is one); -2 for none, -1
    // for another kind. A refused element is destroyed unless a diagram holds
    // it (then the pointer handed in is let go and the element stays there).
    // An element another diagram holds moves here; a legend that listed that
    // diagram's traces lists these. The element's owner becomes this diagram.
    int AddElement(std::unique_ptr<TnvGraphElement> element);
    // Takes the element out without destroying it and hands it back (none when
    // it was not registered here). Its owner is cleared, unless it is a scale
    // another diagram still shares, which that diagram then owns.
    std::shared_ptr<TnvGraphElement> RemoveElement(TnvGraphElement* element);

    // AddElement's result for a new scale.
    int CreateScala(const QString& name, std::uint8_t align);
    // None when the name is taken.
    TnvTraccia* CreateTraccia(const QString& name);
    TnvMarker* CreateMarker(const QString& name);
    // None when index is outside the list.
    TnvTraccia* GetTraccia(std::int8_t index) const;
    TnvTraccia* GetTraccia(const QString& name) const;
    TnvMarker* GetMarker(const QString& name) const;
    TnvTraccia* GetSelTraccia() const;
    TnvMarker* GetSelMarker() const;

    void SetSelected(bool value);
    // Selects the legend cell, moves the selected trace's cursor or selects the
    // marker whose label is at point.
    void SelectAtPos(QPoint point);
    void SelectElement(TnvGraphElement* element);
    // The world point at point (written even outside the plot); whether the
    // plot area strictly contains point. False without writing when a scale is
    // missing.
    bool CoordAtPos(Tnv2DPoint& out, QPoint point) const;

    // Places title, scales and plot area; measures text in canvas.
    void CalcLayout(TnvCanvas& canvas);
    // Paints the diagram; false (nothing painted) unless complete.
    bool Draw(TnvCanvas* canvas);

    QString GetSetup() const;
    // Reads a "[nvDiagram]" block's lines (from "Begin" to "End"): its elements
    // are added, its keys replace the diagram's. Raises TnvConvertError for a
    // malformed value; what was read before stays.
    void SetSetup(const QString& text);

private:
    friend class TnvGraph;
    friend class TnvGraphElement;

    struct TBounds {
        double Min = 0.0;
        double Max = 0.0;
    };
    TBounds AutoBoundsX() const;
    TBounds AutoBoundsY() const;
    TBounds AutoBounds(bool vertical) const;
    void LayoutScalaX(TnvCanvas& canvas);
    void LayoutScalaY(TnvCanvas& canvas);
    void FillBackground(TnvCanvas& canvas);
    void DrawFrame(TnvCanvas& canvas);
    void DrawTitle(TnvCanvas& canvas);
    // An element out of its slot or list, not destroyed: a scale keeps its
    // shared ownership, every other kind comes back alone.
    struct TDetached {
        std::unique_ptr<TnvGraphElement> Owned;
        std::shared_ptr<TnvScala> Scale;
    };
    bool Holds(const TnvGraphElement* element) const;
    // AddElement's result for element, without adding it.
    int Admission(const TnvGraphElement& element) const;
    TDetached Detach(TnvGraphElement* element);
    void ReadElementBlock(const QString& header, const QStringList& block);
    // An element deleted by its user: out of the lists without being destroyed again.
    void ForgetElement(TnvGraphElement* element);
    // The graph is gone or the scale moves to another diagram.
    void ReleaseScale(std::shared_ptr<TnvScala>& slot);

    TnvGraph* FOwner;
    bool FSelected = false;
    TnvGraphElement* FSelElement = nullptr;
    QString FName;
    TnvTitle FTitle;
    TnvRect FTitleRect;
    TnvColor FTrkBack = 0;
    TnvColor FDgrBack = 0;
    TnvRect FDrawArea;
    TnvRect FPlotArea;
    bool FAutoScalaX = true;
    bool FAutoScalaY = true;
    bool FVisible = false;
    bool FFollowOwnerArea = false;
    std::unique_ptr<TnvLegenda> FLegenda;
    std::shared_ptr<TnvScala> FScalaX;
    std::shared_ptr<TnvScala> FScalaY;
    TnvTrkList FTrkList;
    TnvMrkList FMrkList;
    int FReading = 0;
};
