#include "TnvFont.h"

#include <QFontDatabase>
#include <QHash>

TnvFont::TnvFont()
    : FName("MS Sans Serif") {}

TnvFont::TnvFont(TnvColor color, const QString& name, int size, unsigned styles)
    : FColor(color)
    , FName(name)
    , FSize(size)
    , FStyles(styles) {}

TnvFont::TnvFont(const TnvFont& other)
    : FColor(other.FColor)
    , FName(other.FName)
    , FSize(other.FSize)
    , FStyles(other.FStyles)
    , FData(other.FData) {}

void TnvFont::SetColor(TnvColor color) {
    if (color != FColor) {
        FColor = color;
        Changed();
    }
}

void TnvFont::SetName(const QString& name) {
    if (name != FName) {
        FName = name;
        Changed();
    }
}

void TnvFont::SetSize(int size) {
    if (size != FSize) {
        FSize = size;
        Changed();
    }
}

void TnvFont::SetStyles(unsigned styles) {
    if (styles != FStyles) {
        FStyles = styles;
        Changed();
    }
}

void TnvFont::Assign(const TnvFont& other) {
    if (other.FColor == FColor && other.FName == FName && other.FSize == FSize &&
        other.FStyles == FStyles)
        return;
    FColor = other.FColor;
    FName = other.FName;
    FSize = other.FSize;
    FStyles = other.FStyles;
    // Equal name, size and styles share their data: take it along instead of
    // looking it up again (the canvas switches fonts many times per paint).
    FData = other.FData;
    if (OnChange)
        OnChange();
}

struct TnvFont::TData {
    explicit TData(const QFont& font)
        : Font(font)
        , Metrics(font) {}
    QFont Font;
    QFontMetrics Metrics;
    QHash<QString, int> Widths;
    QHash<QString, QStaticText> Texts;
};

namespace {

// Labels repeat from paint to paint; a bounded cache keeps them laid out.
// A live time axis brings new labels every second, each costing about half a
// kilobyte here: the bound keeps that to a few hundred kilobytes, still far
// more than the labels of one picture.
constexpr qsizetype kCachedTexts = 512;

} // namespace

TnvFont::TData& TnvFont::Data() const {
    if (FData)
        return *FData;
    static QHash<QString, std::shared_ptr<TData>> shared;
    const QString key = QString("%1|%2|%3").arg(FName).arg(FSize).arg(FStyles);
    std::shared_ptr<TData>& data = shared[key];
    if (!data) {
        QFont font(ResolveFamily(FName));
        if (FSize < 0)
            font.setPixelSize(-FSize);
        else
            font.setPointSize(FSize > 0 ? FSize : 8);
        font.setBold(FStyles & fsBold);
        font.setItalic(FStyles & fsItalic);
        font.setUnderline(FStyles & fsUnderline);
        font.setStrikeOut(FStyles & fsStrikeOut);
        data = std::make_shared<TData>(font);
    }
    FData = data;
    return *FData;
}

const QFont& TnvFont::QtFont() const {
    return Data().Font;
}

const QFontMetrics& TnvFont::Metrics() const {
    return Data().Metrics;
}

int TnvFont::TextWidth(const QString& text) const {
    TData& data = Data();
    const auto found = data.Widths.constFind(text);
    if (found != data.Widths.constEnd())
        return *found;
    if (data.Widths.size() >= kCachedTexts)
        data.Widths.clear();
    const int width = data.Metrics.horizontalAdvance(text);
    data.Widths.insert(text, width);
    return width;
}

const QStaticText& TnvFont::StaticText(const QString& text) const {
    TData& data = Data();
    auto found = data.Texts.find(text);
    if (found != data.Texts.end())
        return *found;
    if (data.Texts.size() >= kCachedTexts)
        data.Texts.clear();
    QStaticText prepared(text);
    prepared.setTextFormat(Qt::PlainText);
    prepared.prepare(QTransform(), data.Font);
    return *data.Texts.insert(text, prepared);
}

QString TnvFont::ResolveFamily(const QString& name) {
    // Font lookups are slow and the names few: remember every answer.
    static QHash<QString, QString> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;

    QString family = name;
    if (!QFontDatabase::hasFamily(name)) {
        const QString key = name.toLower();
        if (key == "arial narrow")
            family = "Liberation Sans Narrow";
        else if (key == "courier" || key == "courier new")
            family = "Liberation Mono";
        else if (key == "arial" || key == "helvetica")
            family = "Liberation Sans";
        else
            family = "DejaVu Sans";
        if (!QFontDatabase::hasFamily(family))
            family = "DejaVu Sans";
    }
    cache.insert(name, family);
    return family;
}

void TnvFont::Changed() {
    FData.reset();
    if (OnChange)
        OnChange();
}
