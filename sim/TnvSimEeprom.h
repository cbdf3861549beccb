#pragma once

#include <QString>

class TnvSimRegisterStore;

// Keeps the stored copies (the parameters that are themselves a stored copy)
// in a file, section "EEPROM", one line per parameter index with its register
// words in decimal: "31=400". Without a file name the copies live in memory
// only. The file is replaced whole on every save, never left half written.
class TnvSimEeprom {
public:
    explicit TnvSimEeprom(QString fileName);

    QString FileName() const { return FFileName; }
    // Loads the stored copies the file holds into store; a missing file loads
    // nothing. Raises TnvError naming the file and the line for a malformed one.
    void Load(TnvSimRegisterStore& store) const;
    // Writes every stored copy of store. Raises TnvError when the file cannot
    // be written; the previous file then stays as it was.
    void Save(const TnvSimRegisterStore& store) const;

private:
    QString FFileName;
};
