#include "TnvIniFile.h"

#include "NvConvert.h"
#include "NvSaveFile.h"
#include "TnvError.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

namespace {

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString Decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// A written key or value must stay one line of the file.
QString OneLine(const QString& text) {
    QString line = text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    return line.trimmed();
}

// Lines end at CR LF, LF or a lone CR; the file's first line break is the
// one written back.
QStringList SplitLines(const QString& text, QString& lineBreak) {
    QStringList lines;
    qsizetype start = 0;
    bool firstBreak = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\n' && text[i] != u'\r')
            continue;
        const bool crlf = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
        if (firstBreak)
            lineBreak = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
        firstBreak = false;
        lines.append(text.mid(start, i - start));
        if (crlf)
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.mid(start));
    return lines;
}

} // namespace

TnvIniFile::TnvIniFile(const QString& fileName)
    : FFileName(fileName) {
    FSections.resize(1);
    QFile file(fileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw TnvError(QStringLiteral("Cannot read \"%1\": %2").arg(fileName, file.errorString()));
    Parse(Decode(file.readAll()));
}

TnvIniFile TnvIniFile::FromText(const QString& text) {
    TnvIniFile ini;
    ini.Parse(text);
    return ini;
}

void TnvIniFile::Parse(const QString& text) {
    FSections.assign(1, Section{});
    for (const QString& raw : SplitLines(text, FLineBreak)) {
        const QString trimmed = raw.trimmed();
        const qsizetype close = trimmed.indexOf(u']');
        if (trimmed.startsWith(u'[') && close > 0) {
            FSections.push_back({trimmed.mid(1, close - 1).trimmed(), raw, {}});
            continue;
        }
        Line line{raw, {}, {}};
        const qsizetype equals = raw.indexOf(u'=');
        const bool comment = trimmed.startsWith(u';') || trimmed.startsWith(u'#');
        if (!comment && equals > 0 && FSections.size() > 1) {
            line.Key = raw.left(equals).trimmed();
            line.Value = raw.mid(equals + 1).trimmed();
        }
        FSections.back().Lines.push_back(std::move(line));
    }
}

QString TnvIniFile::ToText() const {
    QString text;
    for (std::size_t i = 0; i < FSections.size(); ++i) {
        const Section& section = FSections[i];
        if (i > 0)
            text += (section.Header.isEmpty() ? u'[' + section.Name + u']' : section.Header) +
                    FLineBreak;
        for (const Line& line : section.Lines)
            text += line.Text + FLineBreak;
    }
    return text;
}

// Sections of one name are read as one, in file order; the first key counts.
template <typename Visit>
void TnvIniFile::ForEachKey(const QString& section, Visit visit) const {
    for (std::size_t i = 1; i < FSections.size(); ++i) {
        if (!SameName(FSections[i].Name, section))
            continue;
        for (const Line& line : FSections[i].Lines) {
            if (!line.Key.isEmpty() && visit(line))
                return;
        }
    }
}

const TnvIniFile::Section* TnvIniFile::FindSection(const QString& name) const {
    const auto found = std::find_if(FSections.begin() + 1, FSections.end(),
                                    [&name](const Section& s) { return SameName(s.Name, name); });
    return found == FSections.end() ? nullptr : &*found;
}

TnvIniFile::Section* TnvIniFile::FindSection(const QString& name) {
    return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

const QString* TnvIniFile::FindValue(const QString& section, const QString& key) const {
    const QString* value = nullptr;
    ForEachKey(section, [&](const Line& line) {
        if (SameName(line.Key, key))
            value = &line.Value;
        return value != nullptr;
    });
    return value;
}

TnvIniFile::Line* TnvIniFile::FindLine(const QString& section, const QString& key) {
    const QString* value = std::as_const(*this).FindValue(section, key);
    if (!value)
        return nullptr;
    for (Section& s : FSections) {
        for (Line& line : s.Lines) {
            if (&line.Value == value)
                return &line;
        }
    }
    return nullptr;
}

bool TnvIniFile::SectionExists(const QString& section) const {
    bool found = false;
    ForEachKey(section, [&found](const Line&) { return found = true; });
    return found;
}

bool TnvIniFile::ValueExists(const QString& section, const QString& key) const {
    return FindValue(section, key) != nullptr;
}

QString TnvIniFile::ReadString(const QString& section, const QString& key,
                               const QString& def) const {
    const QString* value = FindValue(section, key);
    return value ? *value : def;
}

int TnvIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    const QString* text = FindValue(section, key);
    int value = def;
    if (!text || !nv::TryStrToInt(*text, value))
        return def;
    return value;
}

bool TnvIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

QStringList TnvIniFile::ReadSections() const {
    QStringList names;
    for (std::size_t i = 1; i < FSections.size(); ++i) {
        const QString& name = FSections[i].Name;
        if (!names.contains(name, Qt::CaseInsensitive) && SectionExists(name))
            names.append(name);
    }
    return names;
}

QStringList TnvIniFile::ReadSection(const QString& section) const {
    QStringList keys;
    ForEachKey(section, [&keys](const Line& line) {
        if (!keys.contains(line.Key, Qt::CaseInsensitive))
            keys.append(line.Key);
        return false;
    });
    return keys;
}

QStringList TnvIniFile::ReadSectionValues(const QString& section) const {
    QStringList keys;
    QStringList lines;
    ForEachKey(section, [&](const Line& line) {
        if (!keys.contains(line.Key, Qt::CaseInsensitive)) {
            keys.append(line.Key);
            lines.append(line.Key + u'=' + line.Value);
        }
        return false;
    });
    return lines;
}

void TnvIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString cleanKey = OneLine(key);
    const QString cleanValue = OneLine(value);
    if (Line* line = FindLine(section, cleanKey)) {
        line->Value = cleanValue;
        line->Text = line->Key + u'=' + cleanValue;
        return;
    }
    Section* target = FindSection(section);
    if (!target) {
        std::vector<Line>& previous = FSections.back().Lines;
        if (!previous.empty() && !previous.back().Text.trimmed().isEmpty())
            previous.push_back({});
        FSections.push_back({OneLine(section), {}, {}});
        target = &FSections.back();
    }
    // New keys go after the section's last key, ahead of comments and blank
    // lines that usually introduce the next section.
    auto& lines = target->Lines;
    const auto lastKey = std::find_if(lines.rbegin(), lines.rend(),
                                      [](const Line& line) { return !line.Key.isEmpty(); });
    lines.insert(lastKey.base(), Line{cleanKey + u'=' + cleanValue, cleanKey, cleanValue});
}

void TnvIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TnvIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TnvIniFile::EraseSection(const QString& section) {
    const auto first = FSections.begin() + 1;
    FSections.erase(
        std::remove_if(first, FSections.end(),
                       [&section](const Section& s) { return SameName(s.Name, section); }),
        FSections.end());
}

void TnvIniFile::DeleteKey(const QString& section, const QString& key) {
    for (std::size_t i = 1; i < FSections.size(); ++i) {
        if (!SameName(FSections[i].Name, section))
            continue;
        auto& lines = FSections[i].Lines;
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [&key](const Line& line) {
                                       return !line.Key.isEmpty() && SameName(line.Key, key);
                                   }),
                    lines.end());
    }
}

void TnvIniFile::UpdateFile() const {
    if (FFileName.isEmpty())
        throw TnvError(QStringLiteral("Cannot write the INI file: it has no file name."));
    const QByteArray bytes = ToText().toUtf8();
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !nv::CommitSaveFile(file))
        throw TnvError(
            QStringLiteral("Cannot write \"%1\": %2").arg(FFileName, file.errorString()));
}
