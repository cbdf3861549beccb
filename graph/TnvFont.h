#pragma once

#include "NvGraphTypes.h"

#include <QFont>
#include <QFontMetrics>
#include <QStaticText>
#include <QString>
#include <functional>
#include <memory>

// Font style flags; a font holds any combination.
enum TnvFontStyle : unsigned {
    fsBold = 1u << 0,
    fsItalic = 1u << 1,
    fsUnderline = 1u << 2,
    fsStrikeOut = 1u << 3,
};

// A font of the drawing surface: colour, face name, size and styles. A negative
// size is the character height in pixels, a positive one points. A face the
// machine lacks is drawn with a close one ("Arial Narrow" with Liberation Sans
// Narrow, "Courier" with Liberation Mono, otherwise DejaVu Sans); Name keeps the
// name that was set. A change raises OnChange.
class TnvFont {
public:
    TnvFont();
    TnvFont(TnvColor color, const QString& name, int size, unsigned styles = 0);
    // Copies the values only; the copy has no OnChange.
    TnvFont(const TnvFont& other);
    TnvFont& operator=(const TnvFont&) = delete;

    TnvColor GetColor() const { return FColor; }
    QString GetName() const { return FName; }
    int GetSize() const { return FSize; }
    unsigned GetStyles() const { return FStyles; }

    void SetColor(TnvColor color);
    void SetName(const QString& name);
    void SetSize(int size);
    void SetStyles(unsigned styles);
    void Assign(const TnvFont& other);

    // The Qt font that draws this one, its measures, and laid-out text. Fonts
    // with equal name, size and styles share these (GUI thread only).
    const QFont& QtFont() const;
    const QFontMetrics& Metrics() const;
    int TextWidth(const QString& text) const;
    const QStaticText& StaticText(const QString& text) const;

    // The face that stands in for name on this machine.
    static QString ResolveFamily(const QString& name);

    // Raised after a value changed. GUI thread.
    std::function<void()> OnChange;

private:
    void Changed();

    TnvColor FColor = kClBlack;
    QString FName;
    int FSize = -11;
    unsigned FStyles = 0;
    struct TData;
    TData& Data() const;

    mutable std::shared_ptr<TData> FData;
};
