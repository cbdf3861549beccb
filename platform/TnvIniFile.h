#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// An INI file held in memory. Sections and keys are matched without regard to
// case; values are trimmed; a section holding no key counts as absent. Lines
// starting with ";" or "#" are comments. Of duplicate keys the first counts.
// Writes change the memory copy only; UpdateFile stores it, whole or not at all.
class TnvIniFile {
public:
    // Reads the file when it exists; a missing file gives an empty INI file
    // that UpdateFile would create. A file that exists but cannot be read
    // raises TnvError naming it (an empty copy would overwrite it on saving).
    // Text that is not UTF-8 is read as Latin-1.
    explicit TnvIniFile(const QString& fileName);

    static TnvIniFile FromText(const QString& text);

    QString FileName() const { return FFileName; }
    QString ToText() const;

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal with "0x", "0X" or "$"; anything else gives def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // An integer, non-zero for true; anything else gives def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    QStringList ReadSections() const;
    // The key names of a section, in file order.
    QStringList ReadSection(const QString& section) const;
    // The "key=value" lines of a section, in file order.
    QStringList ReadSectionValues(const QString& section) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    // Stores the file atomically. Raises TnvError naming the file and the
    // reason when it cannot be written.
    void UpdateFile() const;

private:
    // A line as read (a comment, a blank line, or a key with its value); a
    // written key gets new text, every other line is stored unchanged.
    struct Line {
        QString Text;
        QString Key; // empty unless the line is a key
        QString Value;
    };
    struct Section {
        QString Name;
        QString Header; // the header line as read; empty for a new section
        std::vector<Line> Lines;
    };
    TnvIniFile() = default;
    void Parse(const QString& text);
    const Section* FindSection(const QString& name) const;
    Section* FindSection(const QString& name);
    const QString* FindValue(const QString& section, const QString& key) const;
    Line* FindLine(const QString& section, const QString& key);
    template <typename Visit>
    void ForEachKey(const QString& section, Visit visit) const;

    QString FFileName;
    QString FLineBreak{"\n"};       // the file's own, kept on writing
    std::vector<Section> FSections; // the first one, unnamed, holds lines before any header
};
