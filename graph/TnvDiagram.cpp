#include "TnvDiagram.h"

#include "NvGraphSetup.h"
#include "TnvError.h"
#include "TnvGraph.h"
#include "TnvLegenda.h"
#include "TnvMarker.h"
#include "TnvScala.h"
#include "TnvTraccia.h"

#include <algorithm>

namespace {

TnvGraph* CheckedOwner(TnvGraph* owner) {
    if (!owner)
        throw TnvError("Diagram: Owner not valid!");
    return owner;
}

// Takes the element out of list without destroying it; none when absent.
template <typename T>
std::unique_ptr<T> TakeOut(std::vector<std::unique_ptr<T>>& list, const TnvGraphElement* e) {
    const auto it =
        std::find_if(list.begin(), list.end(), [e](const auto& item) { return item.get() == e; });
    if (it == list.end())
        return nullptr;
    std::unique_ptr<T> result = std::move(*it);
    list.erase(it);
    return result;
}

template <typename T>
T* FindByName(const std::vector<std::unique_ptr<T>>& list, const QString& name) {
    for (const auto& item : list)
        if (item->GetName() == name)
            return item.get();
    return nullptr;
}

} // namespace

TnvDiagram::TnvDiagram(TnvGraph* owner, const QString& name)
    : FOwner(CheckedOwner(owner))
    , FName(name)
    , FTitle(TnvFont(kClWhite, "Arial", -10, fsBold), false)
    , FTitleRect(owner->GetDrawArea())
    , FDrawArea(owner->GetDrawArea())
    , FPlotArea(owner->GetDrawArea()) {
    FTitle.Watch([this] { Changed(); });
    // Last, so that a repaint it triggers sees a whole diagram.
    owner->AddDiagram(std::unique_ptr<TnvDiagram>(this));
}

TnvDiagram::~TnvDiagram() {
    FSelElement = nullptr;
    // Detach the elements first so that none reaches back into a half-destroyed diagram.
    auto traces = std::move(FTrkList);
    auto markers = std::move(FMrkList);
    auto legend = std::move(FLegenda);
    FTrkList.clear();
    FMrkList.clear();
    for (auto& trace : traces)
        trace->FOwner = nullptr;
    for (auto& marker : markers)
        marker->FOwner = nullptr;
    if (legend)
        legend->FOwner = nullptr;
    ReleaseScale(FScalaX);
    ReleaseScale(FScalaY);
    if (FOwner)
        FOwner->ForgetDiagram(this);
}

void TnvDiagram::ReleaseScale(std::shared_ptr<TnvScala>& slot) {
    std::shared_ptr<TnvScala> scale = std::move(slot);
    slot.reset();
    if (!scale || scale->FOwner != this)
        return;
    // A scale shared with another diagram lives on with that diagram as its owner.
    TnvDiagram* heir = nullptr;
    if (scale.use_count() > 1 && FOwner)
        heir = FOwner->ScaleHolder(scale.get(), this);
    scale->FOwner = heir;
}

void TnvDiagram::SetName(const QString& name) {
    if (name != FName) {
        FName = name;
        Changed();
    }
}

void TnvDiagram::SetTitleVisible(bool value) {
    if (value != FTitle.Visible) {
        FTitle.Visible = value;
        Changed();
    }
}

void TnvDiagram::SetTrkBack(TnvColor color) {
    if (color != FTrkBack) {
        FTrkBack = color;
        Changed();
    }
}

void TnvDiagram::SetDgrBack(TnvColor color) {
    if (color != FDgrBack) {
        FDgrBack = color;
        Changed();
    }
}

void TnvDiagram::SetArea(int left, int top, int right, int bottom) {
    const TnvRect area{left, top, right, bottom};
    if (area == FDrawArea)
        return;
    FFollowOwnerArea = false;
    FDrawArea = area;
    Changed();
}

void TnvDiagram::SetAutoScalaX(bool value) {
    if (value != FAutoScalaX) {
        FAutoScalaX = value;
        Changed();
    }
}

void TnvDiagram::SetAutoScalaY(bool value) {
    if (value != FAutoScalaY) {
        FAutoScalaY = value;
        Changed();
    }
}

void TnvDiagram::SetVisible(bool value) {
    if (value != FVisible) {
        FVisible = value;
        Changed();
    }
}

void TnvDiagram::SetFollowOwnerArea(bool value) {
    if (value != FFollowOwnerArea) {
        FFollowOwnerArea = value;
        Changed();
    }
}

void TnvDiagram::SetScalaX(std::shared_ptr<TnvScala> scale) {
    if (!scale || scale == FScalaX)
        return;
    ReleaseScale(FScalaX);
    FScalaX = std::move(scale);
    Changed();
}

bool TnvDiagram::IsComplete() const {
    return FVisible && FScalaX && FScalaY;
}

void TnvDiagram::Changed() {
    if (FOwner && FReading == 0)
        FOwner->RefreshQuery();
}

bool TnvDiagram::Holds(const TnvGraphElement* element) const {
    const auto in = [element](const auto& list) {
        return std::any_of(list.begin(), list.end(),
                           [element](const auto& item) { return item.get() == element; });
    };
    return element && (FScalaX.get() == element || FScalaY.get() == element ||
                       FLegenda.get() == element || in(FTrkList) || in(FMrkList));
}

int TnvDiagram::Admission(const TnvGraphElement& element) const {
    if (const auto* scale = dynamic_cast<const TnvScala*>(&element)) {
        if (scale->IsHorizontal())
            return FScalaX ? -4 : 'X';
        return FScalaY ? -4 : 'Y';
    }
    if (const auto* trace = dynamic_cast<const TnvTraccia*>(&element))
        return GetTraccia(trace->GetName()) ? -3 : static_cast<int>(FTrkList.size());
    if (const auto* marker = dynamic_cast<const TnvMarker*>(&element))
        return GetMarker(marker->GetName()) ? -3 : static_cast<int>(FMrkList.size());
    if (dynamic_cast<const TnvLegenda*>(&element))
        return FLegenda ? -4 : 'L';
    return -1;
}

TnvDiagram::TDetached TnvDiagram::Detach(TnvGraphElement* element) {
    TDetached detached;
    if (!element)
        return detached;
    if (element == FSelElement)
        FSelElement = nullptr;
    if (FScalaX.get() == element || FScalaY.get() == element) {
        // Only the slot that really holds it: a scale that was refused must not
        // empty the slot of the scale that was accepted.
        std::shared_ptr<TnvScala>& slot = FScalaX.get() == element ? FScalaX : FScalaY;
        detached.Scale = std::move(slot);
        slot.reset();
        // A scale that other diagrams still share stays theirs.
        if (detached.Scale->FOwner == this)
            detached.Scale->FOwner =
                FOwner ? FOwner->ScaleHolder(detached.Scale.get(), this) : nullptr;
        Changed();
        return detached;
    }
    if (dynamic_cast<TnvTraccia*>(element))
        detached.Owned = TakeOut(FTrkList, element);
    else if (dynamic_cast<TnvMarker*>(element))
        detached.Owned = TakeOut(FMrkList, element);
    else if (FLegenda.get() == element)
        detached.Owned = std::move(FLegenda);
    if (detached.Owned) {
        // It must not reach back into this diagram once it is elsewhere or
        // this diagram is gone.
        detached.Owned->FOwner = nullptr;
        Changed();
    }
    return detached;
}

int TnvDiagram::AddElement(std::unique_ptr<TnvGraphElement> element) {
    if (!element)
        return -2;
    TnvDiagram* previous = element->FOwner;
    const bool heldElsewhere = previous && previous->Holds(element.get());
    const int result = Admission(*element);
    if (result < 0) {
        if (heldElsewhere) // its diagram owns it, not the pointer handed in
            (void)element.release();
        else // refused: it never was registered, so it must not reach back
            element->FOwner = nullptr;
        return result;
    }
    std::shared_ptr<TnvScala> sharedScale;
    if (heldElsewhere) {
        TnvGraphElement* raw = element.release();
        TDetached detached = previous->Detach(raw);
        element = std::move(detached.Owned);
        sharedScale = std::move(detached.Scale);
    }
    TnvGraphElement* added = sharedScale ? sharedScale.get() : element.get();
    if (auto* legend = dynamic_cast<TnvLegenda*>(added);
        legend && previous && legend->FTrkSource == &previous->FTrkList)
        legend->FTrkSource = &FTrkList;
    added->FOwner = this;
    if (auto* scale = dynamic_cast<TnvScala*>(added)) {
        std::shared_ptr<TnvScala>& slot = scale->IsHorizontal() ? FScalaX : FScalaY;
        if (sharedScale)
            slot = std::move(sharedScale);
        else
            slot.reset(static_cast<TnvScala*>(element.release()));
    } else if (dynamic_cast<TnvTraccia*>(added)) {
        FTrkList.emplace_back(static_cast<TnvTraccia*>(element.release()));
    } else if (dynamic_cast<TnvMarker*>(added)) {
        FMrkList.emplace_back(static_cast<TnvMarker*>(element.release()));
    } else {
        FLegenda.reset(static_cast<TnvLegenda*>(element.release()));
    }
    Changed();
    return result;
}

std::shared_ptr<TnvGraphElement> TnvDiagram::RemoveElement(TnvGraphElement* element) {
    TDetached detached = Detach(element);
    if (detached.Scale)
        return detached.Scale;
    return std::shared_ptr<TnvGraphElement>(std::move(detached.Owned));
}

void TnvDiagram::ForgetElement(TnvGraphElement* element) {
    if (element == FSelElement)
        FSelElement = nullptr;
    if (auto trace = TakeOut(FTrkList, element))
        (void)trace.release(); // already being destroyed
    else if (auto marker = TakeOut(FMrkList, element))
        (void)marker.release();
    else if (FLegenda.get() == element)
        (void)FLegenda.release();
    else
        return;
    Changed();
}

int TnvDiagram::CreateScala(const QString& name, std::uint8_t align) {
    return AddElement(std::make_unique<TnvScala>(this, align, name));
}

TnvTraccia* TnvDiagram::CreateTraccia(const QString& name) {
    if (GetTraccia(name))
        return nullptr;
    auto trace = std::make_unique<TnvTraccia>(this, name);
    TnvTraccia* result = trace.get();
    return AddElement(std::move(trace)) < 0 ? nullptr : result;
}

TnvMarker* TnvDiagram::CreateMarker(const QString& name) {
    if (GetMarker(name))
        return nullptr;
    auto marker = std::make_unique<TnvMarker>(this, name);
    TnvMarker* result = marker.get();
    return AddElement(std::move(marker)) < 0 ? nullptr : result;
}

TnvTraccia* TnvDiagram::GetTraccia(std::int8_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= FTrkList.size())
        return nullptr;
    return FTrkList[static_cast<size_t>(index)].get();
}

TnvTraccia* TnvDiagram::GetTraccia(const QString& name) const {
    return FindByName(FTrkList, name);
}

TnvMarker* TnvDiagram::GetMarker(const QString& name) const {
    return FindByName(FMrkList, name);
}

TnvTraccia* TnvDiagram::GetSelTraccia() const {
    return dynamic_cast<TnvTraccia*>(FSelElement);
}

TnvMarker* TnvDiagram::GetSelMarker() const {
    return dynamic_cast<TnvMarker*>(FSelElement);
}

void TnvDiagram::SetSelected(bool value) {
    if (value == FSelected)
        return;
    FSelected = value;
    if (!value && GetSelTraccia()) {
        GetSelTraccia()->SetSelected(false);
        FSelElement = nullptr;
    } else {
        Changed();
    }
}

void TnvDiagram::SelectAtPos(QPoint point) {
    if (FLegenda && FLegenda->GetVisible() &&
        nv::StrictlyContains(FLegenda->GetDrawArea(), point)) {
        SelectElement(FLegenda->TraceAtPos(point));
        return;
    }
    if (TnvTraccia* trace = GetSelTraccia();
        trace && nv::StrictlyContains(trace->GetDrawArea(), point)) {
        trace->SetCursorAt(FScalaX.get(), FScalaY.get(), point);
        return;
    }
    for (auto it = FMrkList.rbegin(); it != FMrkList.rend(); ++it) {
        TnvMarker* marker = it->get();
        if (marker->GetVisible() && marker->GetTextVisible() && marker->HitTest(point)) {
            SelectElement(marker);
            return;
        }
    }
    SelectElement(nullptr);
}

void TnvDiagram::SelectElement(TnvGraphElement* element) {
    if (element == FSelElement)
        return;
    if (auto* trace = dynamic_cast<TnvTraccia*>(FSelElement))
        trace->SetSelected(false);
    else if (auto* marker = dynamic_cast<TnvMarker*>(FSelElement))
        marker->SetSelected(0);
    FSelElement = element;
    if (auto* trace = dynamic_cast<TnvTraccia*>(FSelElement))
        trace->SetSelected(true);
}

QString TnvDiagram::GetSetup() const {
    nv::TSetupWriter writer;
    writer.Line("[nvDiagram]");
    writer.Line("Begin");
    writer.Key("Title", FName);
    FTitle.Write(writer);
    writer.Key("DrawArea", nv::SetupRect(FDrawArea));
    writer.Key("TrkBack", QString::number(FTrkBack));
    writer.Key("DgrBack", QString::number(FDgrBack));
    writer.Key("AutoScalaX", nv::SetupBool(FAutoScalaX));
    writer.Key("AutoScalaY", nv::SetupBool(FAutoScalaY));
    writer.Key("Visible", nv::SetupBool(FVisible));
    writer.Key("FollowOwnerArea", nv::SetupBool(FFollowOwnerArea));
    if (FLegenda)
        writer.Block(FLegenda->GetSetup());
    if (FScalaX)
        writer.Block(FScalaX->GetSetup());
    if (FScalaY)
        writer.Block(FScalaY->GetSetup());
    for (const auto& trace : FTrkList)
        writer.Block(trace->GetSetup());
    for (const auto& marker : FMrkList)
        writer.Block(marker->GetSetup());
    writer.Line("End");
    return writer.Text();
}

void TnvDiagram::ReadElementBlock(const QString& header, const QStringList& block) {
    const QString text = block.join('\n');
    std::unique_ptr<TnvGraphElement> element;
    if (header == "[nvScala]") {
        auto scale = std::make_unique<TnvScala>(this, 1, "_NoName_");
        scale->SetSetup(text);
        element = std::move(scale);
    } else if (header == "[nvTraccia]") {
        auto trace = std::make_unique<TnvTraccia>(this, "_NoName_");
        trace->SetSetup(text);
        element = std::move(trace);
    } else if (header == "[nvMarker]") {
        auto marker = std::make_unique<TnvMarker>(this, "_NoName_");
        marker->SetSetup(text);
        element = std::move(marker);
    } else {
        auto legend = std::make_unique<TnvLegenda>(this, "_NoName_", &FTrkList);
        legend->SetSetup(text);
        element = std::move(legend);
    }
    AddElement(std::move(element));
}

void TnvDiagram::SetSetup(const QString& text) {
    struct TReadingGuard {
        int& Count;
        explicit TReadingGuard(int& c)
            : Count(c) {
            ++Count;
        }
        ~TReadingGuard() { --Count; }
    } reading(FReading);

    static const QStringList headers{"[nvScala]", "[nvTraccia]", "[nvMarker]", "[nvLegenda]"};
    const QStringList lines = nv::SplitSetupLines(text);
    QStringList own;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString header = lines[i].trimmed();
        if (headers.contains(header))
            ReadElementBlock(header, nv::CutSetupBlock(lines, i));
        else
            own << lines[i];
    }

    const nv::TSetupReader reader(lines);
    // The writer leaves out an empty title, and every element block has a
    // "Title" of its own: read from the whole block, a diagram without a name
    // would come back named after its first element.
    FName = nv::TSetupReader(own).Value("Title");
    FTitle.Read(reader);
    FDrawArea = nv::ReadSetupRect(reader.Value("DrawArea"));
    FTrkBack = nv::ReadSetupInt(reader.Value("TrkBack"));
    FDgrBack = nv::ReadSetupInt(reader.Value("DgrBack"));
    FAutoScalaX = nv::ReadSetupBool(reader.Value("AutoScalaX"));
    FAutoScalaY = nv::ReadSetupBool(reader.Value("AutoScalaY"));
    FVisible = nv::ReadSetupBool(reader.Value("Visible"));
    FFollowOwnerArea = nv::ReadSetupBool(reader.Value("FollowOwnerArea"));
}
