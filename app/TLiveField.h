#pragma once

#include <QLineEdit>

// A read-only field of the drive's live state ("566V"), an edit field whose
// text can be selected and copied but not changed. A screen reader hears it as
// its caption with the value ("DC bus voltage", "566V"), and learns of every
// new value. GUI thread only.
//
// An edit field's size does not follow its text, and it paints its own
// background: a new reading repaints the field alone, with no layout of the
// window and no repaint of the group beneath it.
class TLiveField : public QLineEdit {
    Q_OBJECT
public:
    // caption is what the field is ("DC bus voltage"); text its first value.
    TLiveField(const QString& name, const QString& caption, const QString& text,
               const QString& hint, QWidget* parent);

    QString GetCaption() const { return accessibleName(); }
    // Shows a new value and tells assistive technology.
    void SetText(const QString& text);
};
