#pragma once

class TnvParValue;

// The reactions that fill the parameter dialogs. They run after the
// reactions the dispatcher gave a value (which clamp, send and log), so a
// dialog always shows the word the value settled at. A dialog not created
// yet shows nothing; it shows the current words when it is created.
class TDialogReactions {
public:
    // Adds the dialog reactions of value, by its index, to those it has.
    static void Equip(TnvParValue* value);
};
