#pragma once

#include "TnvSimParameter.h"

#include <QString>
#include <vector>

class TnvIniFile;

// Reads the register map of the simulated drive from a parameter definitions
// file: every "Par-N" section except the parameters of the "Local" category,
// which never go on the wire.
class TnvSimDefinitions {
public:
    // Raises TnvError naming the file when it is missing, unreadable or holds
    // no parameter, or when an index list of "Categories" is malformed.
    static std::vector<TnvSimParameter> Load(const QString& fileName);
    static std::vector<TnvSimParameter> FromIni(const TnvIniFile& ini);

    // The indices of a list such as "1/50,60,70/72" (ranges inclusive), in
    // ascending order; the terminal's grammar and its errors.
    static std::vector<uint32_t> ParseIndexList(const QString& list);
};
