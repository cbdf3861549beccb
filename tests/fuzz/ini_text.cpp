// INI text as the definitions file and ports.ini bring it: reading every
// section and key must neither crash nor change what a second parse sees.
#include "FuzzInput.h"
#include "TnvIniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TnvIniFile ini = TnvIniFile::FromText(kxfuzz::Text(data, size));
    for (const QString& section : ini.ReadSections()) {
        for (const QString& key : ini.ReadSection(section)) {
            kxfuzz::Require(ini.ValueExists(section, key), "a listed key exists");
            ini.ReadInteger(section, key, 0);
            ini.ReadBool(section, key, false);
        }
        ini.ReadSectionValues(section);
    }
    // What the terminal stores must read back as it was read.
    const QString text = ini.ToText();
    const TnvIniFile again = TnvIniFile::FromText(text);
    kxfuzz::Require(again.ReadSections() == ini.ReadSections(), "sections survive a store");
    for (const QString& section : ini.ReadSections())
        kxfuzz::Require(again.ReadSectionValues(section) == ini.ReadSectionValues(section),
                        "values survive a store");

    // Writing into what was read keeps the other sections.
    TnvIniFile edited = TnvIniFile::FromText(text);
    edited.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QStringLiteral("v"));
    kxfuzz::Require(edited.ReadString(QStringLiteral("Fuzz"), QStringLiteral("Key"), {}) == "v",
                    "a written value reads back");
    return 0;
}
