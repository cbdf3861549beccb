#pragma once

#include "NvGraphTypes.h"
#include "TnvBrush.h"
#include "TnvPen.h"
#include "TnvTitle.h"

#include <QString>
#include <cstdint>

class TnvDiagram;
namespace nv {
class TSetupReader;
class TSetupWriter;
} // namespace nv

// What a diagram draws besides its frame and title: the common part of a scale,
// trace, marker and legend. The diagram tells the kinds apart by their class.
// An element is owned by its diagram once added (TnvDiagram::AddElement);
// every change of a value, pen, brush or font repaints through the diagram.
class TnvGraphElement {
public:
    // Raises TnvError "Graph Element: Bad owner pointer." without an owner.
    // The element is not added to the diagram.
    TnvGraphElement(TnvDiagram* owner, const QString& name);
    virtual ~TnvGraphElement();
    TnvGraphElement(const TnvGraphElement&) = delete;
    TnvGraphElement& operator=(const TnvGraphElement&) = delete;

    // The diagram; none once that diagram is gone (a scale another diagram still shares).
    TnvDiagram* GetOwner() const { return FOwner; }

    TnvPen& GetLinePen() { return FLinePen; }
    TnvBrush& GetLineBrush() { return FLineBrush; }
    TnvPen& GetTitlePen() { return FTitle.Pen; }
    TnvBrush& GetTitleBrush() { return FTitle.Brush; }
    TnvFont& GetTitleFont() { return FTitle.Font; }
    const TnvPen& GetLinePen() const { return FLinePen; }
    const TnvBrush& GetLineBrush() const { return FLineBrush; }
    const TnvFont& GetTitleFont() const { return FTitle.Font; }

    QString GetName() const { return FName; }
    void SetTitle(const QString& name);
    bool GetLineVisible() const { return FLineVisible; }
    void SetLineVisible(bool value);
    bool GetTitleVisible() const { return FTitle.Visible; }
    void SetTitleVisible(bool value);
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool value);

    TnvRect GetDrawArea() const { return FDrawArea; }
    // Placed by the diagram's layout before every paint; no repaint.
    void SetDrawArea(const TnvRect& area) { FDrawArea = area; }

    // Free for the element's user; the library never reads them.
    std::int32_t UserData1 = 0;
    std::int32_t UserData2 = 0;

    // Runs the owner diagram's Changed (a repaint request).
    void Changed();

    // The element lines, without block header.
    QString GetSetup() const;
    // Reads the element lines; no Changed.
    void SetSetup(const QString& text);

protected:
    void WriteSetup(nv::TSetupWriter& writer) const;
    void ReadSetup(const nv::TSetupReader& reader);
    // Makes pen, brush or font changes repaint the diagram.
    template <typename T>
    void Watch(T& tool) {
        tool.OnChange = [this] {
            Changed();
        };
    }

    // Setup reading assigns fields without repaint requests.
    class TReading {
    public:
        explicit TReading(TnvGraphElement& e)
            : FElement(e) {
            ++FElement.FReading;
        }
        ~TReading() { --FElement.FReading; }
        TReading(const TReading&) = delete;
        TReading& operator=(const TReading&) = delete;

    private:
        TnvGraphElement& FElement;
    };

    TnvRect FDrawArea;
    TnvTitle FTitle;

private:
    friend class TnvDiagram;

    TnvDiagram* FOwner;
    TnvPen FLinePen;
    TnvBrush FLineBrush;
    bool FLineVisible = true;
    QString FName;
    bool FVisible = true;
    int FReading = 0;
};
