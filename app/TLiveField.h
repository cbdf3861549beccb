#pragma once

#include <QLabel>

// A read-only field of the drive's live state ("566V"), framed like an edit
// field. A screen reader hears it as its caption with the value ("DC bus
// voltage", "566V"), and learns of every new value. GUI thread only.
class TLiveField : public QLabel {
    Q_OBJECT
public:
    // caption is what the field is ("DC bus voltage"); text its first value.
    TLiveField(const QString& name, const QString& caption, const QString& text,
               const QString& hint, QWidget* parent);

    QString GetCaption() const { return accessibleName(); }
    // Shows a new value and tells assistive technology.
    void SetText(const QString& text);
};
