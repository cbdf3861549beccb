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
    , FStyles(other.FStyles) {}

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
    Changed();
}

const QFont& TnvFont::QtFont() const {
    if (!FQtFont) {
        auto font = std::make_unique<QFont>(ResolveFamily(FName));
        if (FSize < 0)
            font->setPixelSize(-FSize);
        else
            font->setPointSize(FSize > 0 ? FSize : 8);
        font->setBold(FStyles & fsBold);
        font->setItalic(FStyles & fsItalic);
        font->setUnderline(FStyles & fsUnderline);
        font->setStrikeOut(FStyles & fsStrikeOut);
        FQtFont = std::move(font);
    }
    return *FQtFont;
}

const QFontMetrics& TnvFont::Metrics() const {
    if (!FMetrics)
        FMetrics = std::make_unique<QFontMetrics>(QtFont());
    return *FMetrics;
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
    FMetrics.reset();
    FQtFont.reset();
    if (OnChange)
        OnChange();
}
