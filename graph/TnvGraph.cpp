#include "TnvGraph.h"

#include "NvGraphSetup.h"
#include "TnvDiagram.h"
#include "TnvScala.h"

#include <QPainter>
#include <algorithm>

TnvGraph::TnvGraph()
    : FBitmap(FDrawArea.Right - FDrawArea.Left, FDrawArea.Bottom - FDrawArea.Top,
              QImage::Format_RGB32)
    , FCanvas(FBitmap) {
    FBitmap.fill(Qt::white);
}

TnvGraph::~TnvGraph() {
    FSelDiagram = nullptr;
    FCanvas.End();
    auto diagrams = std::move(FDiagrams);
    FDiagrams.clear();
    for (auto& diagram : diagrams)
        diagram->FOwner = nullptr;
    diagrams.clear();
}

void TnvGraph::RefreshQuery() {
    // A change made while painting (auto-scaling sets ranges) is already in
    // the picture being painted; repainting from inside would recurse.
    if (FPainting)
        return;
    if (DoOnRefreshQuery() && FAutoRefresh)
        Repaint();
}

void TnvGraph::Repaint() {
    FPainting = true;
    if (!FDiagrams.empty()) {
        // A handler may reorder the list; paint what was there at the start.
        std::vector<TnvDiagram*> order;
        for (const auto& diagram : FDiagrams)
            order.push_back(diagram.get());
        for (TnvDiagram* diagram : order)
            if (DoOnDiagramDraw(diagram))
                diagram->Draw(&FCanvas);
    } else {
        DoOnDiagramDraw(nullptr);
        FCanvas.Pen().Assign(TnvPen(kClBtnFace, TnvPenMode::Copy, TnvPenStyle::Solid, 1));
        FCanvas.Brush().Assign(TnvBrush(kClBtnFace, TnvBrushStyle::Solid));
        FCanvas.Rectangle(FDrawArea.Left, FDrawArea.Top, FDrawArea.Right + 1, FDrawArea.Bottom + 1);
    }
    FCanvas.End();
    FPainting = false;
    DoOnRefreshed();
}

int TnvGraph::AddDiagram(std::unique_ptr<TnvDiagram> diagram) {
    if (!diagram)
        return -2;
    const bool duplicate = GetDiagram(diagram->GetName()) != nullptr;
    FDiagrams.push_back(std::move(diagram));
    RefreshQuery();
    return duplicate ? -3 : 0;
}

std::unique_ptr<TnvDiagram> TnvGraph::DeleteDiagram(TnvDiagram* diagram) {
    const auto it = std::find_if(FDiagrams.begin(), FDiagrams.end(),
                                 [diagram](const auto& d) { return d.get() == diagram; });
    if (it == FDiagrams.end())
        return nullptr;
    std::unique_ptr<TnvDiagram> result = std::move(*it);
    FDiagrams.erase(it);
    if (FSelDiagram == diagram)
        FSelDiagram = nullptr;
    RefreshQuery();
    return result;
}

void TnvGraph::ForgetDiagram(TnvDiagram* diagram) {
    if (FSelDiagram == diagram)
        FSelDiagram = nullptr;
    const auto it = std::find_if(FDiagrams.begin(), FDiagrams.end(),
                                 [diagram](const auto& d) { return d.get() == diagram; });
    if (it != FDiagrams.end()) {
        (void)it->release(); // being destroyed by its deleter already
        FDiagrams.erase(it);
    }
}

TnvDiagram* TnvGraph::CreateNewDiagram(const QString& name) {
    if (GetDiagram(name))
        return nullptr;
    return new TnvDiagram(this, name); // registers and hands itself to the graph
}

TnvDiagram* TnvGraph::GetDiagram(const QString& name) const {
    for (const auto& diagram : FDiagrams)
        if (diagram->GetName() == name)
            return diagram.get();
    return nullptr;
}

TnvDiagram* TnvGraph::GetDiagram(std::int8_t index) const {
    if (index < 0 || index >= GetDgrCount())
        return nullptr;
    return FDiagrams[static_cast<size_t>(index)].get();
}

int TnvGraph::IndexOf(const TnvDiagram* diagram) const {
    for (size_t i = 0; i < FDiagrams.size(); ++i)
        if (FDiagrams[i].get() == diagram)
            return static_cast<int>(i);
    return -1;
}

TnvDiagram* TnvGraph::ScaleHolder(const TnvScala* scale, const TnvDiagram* except) const {
    for (const auto& diagram : FDiagrams)
        if (diagram.get() != except &&
            (diagram->GetScalaX() == scale || diagram->GetScalaY() == scale))
            return diagram.get();
    return nullptr;
}

void TnvGraph::SetLeft(int left) {
    if (left != FDrawArea.Left) {
        FDrawArea.Left = left;
        RefreshQuery();
    }
}

void TnvGraph::SetTop(int top) {
    if (top != FDrawArea.Top) {
        FDrawArea.Top = top;
        RefreshQuery();
    }
}

// An empty bitmap has lost both sides, not only the one set to nothing: the
// other side then comes from the draw area, or the bitmap would stay empty
// whatever size the graph is given later.
void TnvGraph::SetWidth(int width) {
    if (width == GetWidth())
        return;
    FDrawArea.Right = Saturate(static_cast<int64_t>(FDrawArea.Left) + width - 1);
    ResizeBitmap(width, FBitmap.isNull() ? Saturate(int64_t{FDrawArea.Bottom} - FDrawArea.Top + 1)
                                         : FBitmap.height());
    DoOnResize();
    RefreshQuery();
}

void TnvGraph::SetHeight(int height) {
    if (height == GetHeight())
        return;
    FDrawArea.Bottom = Saturate(static_cast<int64_t>(FDrawArea.Top) + height - 1);
    ResizeBitmap(FBitmap.isNull() ? Saturate(int64_t{FDrawArea.Right} - FDrawArea.Left + 1)
                                  : FBitmap.width(),
                 height);
    DoOnResize();
    RefreshQuery();
}

void TnvGraph::ResizeBitmap(int width, int height) {
    // Like the original bitmap, a resize keeps the picture in the part that stays.
    FCanvas.End();
    QImage resized(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    resized.fill(Qt::white);
    if (!resized.isNull() && !FBitmap.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, FBitmap);
    }
    FBitmap.swap(resized);
}

void TnvGraph::SetSelectedDgr(TnvDiagram* diagram) {
    if (diagram == FSelDiagram)
        return;
    if (FSelDiagram)
        FSelDiagram->SetSelected(false);
    FSelDiagram = diagram;
    if (FSelDiagram)
        FSelDiagram->SetSelected(true);
}

void TnvGraph::BringToFront(TnvDiagram* diagram) {
    if (!diagram)
        return;
    const auto it = std::find_if(FDiagrams.begin(), FDiagrams.end(),
                                 [diagram](const auto& d) { return d.get() == diagram; });
    if (it == FDiagrams.end())
        return;
    std::rotate(it, it + 1, FDiagrams.end());
    RefreshQuery();
}

TnvDiagram* TnvGraph::DgrAtPos(QPoint point) const {
    for (const auto& diagram : FDiagrams)
        if (nv::StrictlyContains(diagram->GetDrawArea(), point))
            return diagram.get();
    return nullptr;
}

TnvDiagram* TnvGraph::CompleteDiagramAt(QPoint point) const {
    for (auto it = FDiagrams.rbegin(); it != FDiagrams.rend(); ++it)
        if ((*it)->IsComplete() && nv::StrictlyContains((*it)->GetDrawArea(), point))
            return it->get();
    return nullptr;
}

void TnvGraph::SelectAtPos(QPoint point) {
    SetSelectedDgr(CompleteDiagramAt(point));
    if (FSelDiagram)
        FSelDiagram->SelectAtPos(point);
}

int TnvGraph::CoordAtCurPos(QPoint point, Tnv2DPoint& out) const {
    TnvDiagram* diagram = CompleteDiagramAt(point);
    if (!diagram || !diagram->CoordAtPos(out, point))
        return -1;
    return IndexOf(diagram);
}

void TnvGraph::ClearAll() {
    SetSelectedDgr(nullptr);
    auto diagrams = std::move(FDiagrams);
    FDiagrams.clear();
    diagrams.clear();
    RefreshQuery();
}

bool TnvGraph::SaveToFile(const QString& fileName) {
    FCanvas.End();
    return FBitmap.save(fileName, "BMP");
}

QString TnvGraph::GetSetup() const {
    nv::TSetupWriter writer;
    writer.Line("[nvGraph]");
    writer.Line("Begin");
    writer.Key("AutoRefresh", nv::SetupBool(FAutoRefresh));
    writer.Key("DrawArea", nv::SetupRect(FDrawArea));
    for (const auto& diagram : FDiagrams)
        writer.Block(diagram->GetSetup());
    writer.Line("End");
    return writer.Text();
}

void TnvGraph::SetSetup(const QString& text) {
    const QStringList lines = nv::SplitSetupLines(text);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!nv::IsSetupLine(lines[i], "[nvDiagram]"))
            continue;
        const QStringList block = nv::CutSetupBlock(lines, i);
        if (TnvDiagram* diagram = CreateNewDiagram("_NoName_"))
            diagram->SetSetup(block.join('\n'));
    }
    const nv::TSetupReader reader(lines);
    FAutoRefresh = nv::ReadSetupBool(reader.Value("AutoRefresh"));
    FDrawArea = nv::ReadSetupRect(reader.Value("DrawArea"));
    RefreshQuery();
}

bool TnvGraph::DoOnDiagramDraw(TnvDiagram* diagram) {
    bool doit = true;
    if (OnDiagramDraw)
        OnDiagramDraw(diagram, FBitmap, doit);
    return doit;
}

bool TnvGraph::DoOnRefreshQuery() {
    bool doit = true;
    if (OnRefreshQuery)
        OnRefreshQuery(this, FBitmap, doit);
    return doit;
}

void TnvGraph::DoOnRefreshed() {
    bool doit = true;
    FCanvas.End();
    if (OnRefreshed)
        OnRefreshed(this, FBitmap, doit);
}

void TnvGraph::DoOnResize() {
    if (OnResize)
        OnResize(this);
}
