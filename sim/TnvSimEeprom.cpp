#include "TnvSimEeprom.h"

#include "TnvError.h"
#include "TnvIniFile.h"
#include "TnvSimRegisterStore.h"

#include <QFileInfo>
#include <vector>

namespace {
const QString kSection = QStringLiteral("EEPROM");
}

TnvSimEeprom::TnvSimEeprom(QString fileName)
    : FFileName(std::move(fileName)) {}

void TnvSimEeprom::Load(TnvSimRegisterStore& store) const {
    if (FFileName.isEmpty() || !QFileInfo::exists(FFileName))
        return;
    // It is written back too; a device would be read without end.
    if (!QFileInfo(FFileName).isFile())
        throw TnvError(QStringLiteral("%1: no regular file for the stored copies").arg(FFileName));
    const TnvIniFile ini(FFileName);
    for (const QString& key : ini.ReadSection(kSection)) {
        bool ok = false;
        const uint32_t index = key.toUInt(&ok, 10);
        const TnvSimParameter* par = ok ? store.Find(index) : nullptr;
        const QString text = ini.ReadString(kSection, key, QString());
        if (!par || !par->IsStoredCopy)
            throw TnvError(QStringLiteral("%1: '%2' is no stored parameter").arg(FFileName, key));
        std::vector<uint16_t> words;
        for (const QString& item : text.split(' ', Qt::SkipEmptyParts)) {
            const uint word = item.toUInt(&ok, 10);
            if (!ok || word > 0xFFFF)
                throw TnvError(QStringLiteral("%1: '%2=%3' is no list of register words")
                                   .arg(FFileName, key, text));
            words.push_back(static_cast<uint16_t>(word));
        }
        if (words.size() != par->RegCount)
            throw TnvError(QStringLiteral("%1: '%2=%3' needs %4 register words")
                               .arg(FFileName, key, text)
                               .arg(par->RegCount));
        store.SetWords(index, words);
    }
}

void TnvSimEeprom::Save(const TnvSimRegisterStore& store) const {
    if (FFileName.isEmpty())
        return;
    TnvIniFile ini(FFileName);
    ini.EraseSection(kSection);
    for (const TnvSimParameter& par : store.Parameters()) {
        if (!par.IsStoredCopy)
            continue;
        QStringList words;
        for (uint16_t word : store.Words(par.Index))
            words << QString::number(word);
        ini.WriteString(kSection, QString::number(par.Index), words.join(' '));
    }
    ini.UpdateFile();
}
