#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// An INI file held in memory. Sections and keys are matched without regard to
// case; values are trimmed; a section holding no key counts as absent. Lines
// starting with ";" or "#" are comments; a ";" later in a line belongs to the
// value. Of duplicate keys the first counts; repeated headers of one section
// are read as one section. Keys before the first header are ignored.
// Writes change the memory copy only; UpdateFile stores it, whole or not at
// all, keeping every other line, the order and the file's line breaks.
// Not shared between threads.
class TnvIniFile {
public:
    // Reads the file when it exists; a missing file gives an empty INI file
    // that UpdateFile would create. A file that exists but cannot be read
    // raises TnvError naming it (an empty copy would overwrite it on saving).
    // Text that is not UTF-8 is read as Latin-1.
    explicit TnvIniFile(const QString& fileName);

    // An INI file of the given text, without a file name.
    static TnvIniFile FromText(const QString& text);

    QString FileName() const { return FFileName; }
    // The file's text as UpdateFile would store it.
    QString ToText() const;

    // True if the section holds at least one key.
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;

    // The trimmed value, or def when the key is absent.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Decimal, or hexadecimal with "0x", "0X" or "$"; anything else gives def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // An integer, non-zero for true; anything else gives def.
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // The names of the sections holding keys, in file order.
    QStringList ReadSections() const;
    // The key names of a section, in file order.
    QStringList ReadSection(const QString& section) const;
    // The "key=value" lines of a section, in file order.
    QStringList ReadSectionValues(const QString& section) const;

    // Replaces the key's value in place, or adds the key after the section's
    // last key, or adds the section at the end. Line breaks in the key or the
    // value become blanks, so the entry stays one line.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    // Removes the section (every header of it) with its lines.
    void EraseSection(const QString& section);
    // Removes every line of the key in the section.
    void DeleteKey(const QString& section, const QString& key);

    // Stores the file atomically (UTF-8) through a temporary file that
    // replaces it only when complete. Raises TnvError
    // "Cannot write "<file>": <reason>" when it cannot be written; the old
    // file is then unchanged.
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
