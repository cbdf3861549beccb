#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class TnvParValueSet;

// A parameter code of a template: "index[:element[:flag]]".
struct TnvParCode {
    std::int32_t Index = 0;
    std::int16_t Element = -1; // -1: not given
    std::int8_t Bit = -1;      // -1: not given
};

// The Name=Value parameters of one tag, in template order. Names are matched
// without regard to case; the first of two equal names wins.
class TnvTagParams {
public:
    void Add(const QString& name, const QString& value) { FItems.emplace_back(name, value); }
    // The value of name, empty when absent.
    QString Value(const QString& name) const;
    bool Has(const QString& name) const;

private:
    std::vector<std::pair<QString, QString>> FItems;
};

// Turns an HTML template into a report filled with the values of a value set.
// A template is copied unchanged except for its tags, "<#NAME P1=V1 P2="V 2">",
// each replaced by the text of BLOCK, PAR, SWITCH or TABLE (any other name by
// nothing). The text a tag produces is not scanned again, except a template
// file that a tag includes.
//
// Descriptors (a tag parameter's text) by their first character: "I" the
// application's OnDescriptor, "V" a parameter's display text (HTML-escaped), "S"
// the rest literally, "M" OnMessage, "F" a template file, "D" OnDescription,
// anything else nothing. Conditions: "!" inverts, "I" asks OnCondition, else a
// parameter code that must name a flag.
//
// A parameter code without an element reads element 0, and without a flag
// flag 0, so that "V4" is parameter 4's text; no code reads outside a value's
// buffer (an element beyond it raises the value's error). A relative template
// name is taken from the folder of the template that names it.
//
// Errors are TnvError with the exact text: a template that cannot be opened
// raises TnvFileError; a code that is not a number the conversion error; a
// template that includes itself, directly or through others, stops at
// kMaxDepth nested templates, or after kMaxTemplates files when it includes
// itself more than once (work that would double at every level); a report
// beyond kMaxReportChars stops too; a
// TABLE whose database or query fails says why.
//
// GUI thread (the value set's thread; the TABLE tag opens its own database
// connection there and closes it again).
class TnvReportHtml {
public:
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxTemplates = 1000; // files opened for one report
    static constexpr qsizetype kMaxReportChars = 64 * 1024 * 1024;

    TnvReportHtml() = default;
    TnvReportHtml(const TnvReportHtml&) = delete;
    TnvReportHtml& operator=(const TnvReportHtml&) = delete;

    QString GetName() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    int GetTag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }
    // Source of the values (not owned); without it no report is produced.
    TnvParValueSet* GetValueSet() const { return FValueSet; }
    void SetValueSet(TnvParValueSet* set) { FValueSet = set; }
    // The last report, one entry per line.
    const QStringList& GetReportList() const { return FReportList; }
    // The SQLite database file of the TABLE tag, opened read-only.
    QString GetDatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& name) { FDatabaseName = name; }

    // ReportList = the lines of CompileModel(fileName); true when it holds
    // at least one line. On an error ReportList keeps the previous report.
    bool CreateReport(const QString& fileName);
    // The processed text of the template file; empty without a value set or
    // a name.
    QString CompileModel(const QString& fileName);

    // "index[:element[:flag]]", decimal; raises the conversion error
    // "'<part>' is not a valid integer value", also for a part too large for
    // its field.
    static TnvParCode DecodeParCode(const QString& text);
    bool DecodeCondition(const QString& text);
    QString DecodeDescriptor(const QString& text);
    QString Decode_BLOCK_Tag(const TnvTagParams& params);
    QString Decode_PAR_Tag(const TnvTagParams& params);
    QString Decode_SWITCH_Tag(const TnvTagParams& params);
    QString Decode_TABLE_Tag(const TnvTagParams& params);
    // The text of tag name (any case) with its parameters.
    QString Tagger(const QString& tag, const TnvTagParams& params);

    // Events, raised on the caller's thread when assigned; the text after the
    // descriptor's or condition's first character.
    std::function<bool(TnvReportHtml* sender, const QString& tag)> OnCondition;
    std::function<QString(TnvReportHtml* sender, const QString& tag)> OnDescriptor;
    std::function<QString(TnvReportHtml* sender, const QString& tag, const TnvParCode& parcode)>
        OnDescription;
    std::function<QString(TnvReportHtml* sender, const QString& tag)> OnMessage;

private:
    QString ProcessFile(const QString& fileName);
    QString ProcessText(const QString& text);
    QString ChooseByCondition(const TnvTagParams& params);
    QString IncludeTemplate(const QString& fileName);
    QString ValueText(const QString& code);
    void Grow(qsizetype chars);

    QString FName;
    int FTag = 0;
    TnvParValueSet* FValueSet = nullptr;
    QStringList FReportList;
    QString FDatabaseName;
    QStringList FFolders; // of the templates being processed, innermost last
    qsizetype FProduced = 0;
    int FTemplates = 0; // opened for the report being made
};
