#include "TLiveField.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// Name is the caption and Value the shown text: a label's own interface
// gives only one of the two.
class TLiveFieldAccessible : public QAccessibleWidget {
public:
    explicit TLiveFieldAccessible(TLiveField* field)
        : QAccessibleWidget(field, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return static_cast<const TLiveField*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* LiveFieldFactory(const QString& className, QObject* object) {
    auto* field = qobject_cast<TLiveField*>(object);
    if (className != QLatin1String("TLiveField") || !field)
        return nullptr;
    return new TLiveFieldAccessible(field);
}

} // namespace

TLiveField::TLiveField(const QString& name, const QString& caption, const QString& text,
                       const QString& hint, QWidget* parent)
    : QLabel(text, parent) {
    static const bool installed = [] {
        QAccessible::installFactory(&LiveFieldFactory);
        return true;
    }();
    (void)installed;
    setObjectName(name);
    setAccessibleName(caption);
    setToolTip(hint);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setMinimumWidth(80);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void TLiveField::SetText(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    QAccessibleValueChangeEvent event(this, text);
    QAccessible::updateAccessibility(&event);
}
