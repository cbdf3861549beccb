#include "TnvReportHtml.h"

#include "NvConvert.h"
#include "NvReportTable.h"
#include "TnvError.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>
#include <new>

namespace {

const QString kTagOpen = QStringLiteral("<#");

// One tag's text between "<#" and its ">", split into its name and its
// parameters. A double quote opens and closes a quoted stretch (two in a row
// inside one stand for one quote); blanks and ">" inside it do not count.
struct TTagText {
    QString Name;
    TnvTagParams Params;
};

bool IsBlank(QChar c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads the tag from position (just after "<#"); returns the position after
// its ">", or -1 when the text ends before one.
qsizetype ReadTag(const QString& text, qsizetype position, TTagText& tag) {
    QStringList tokens;
    QString token;
    bool inToken = false;
    bool quoted = false;
    for (qsizetype i = position; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != '"')
                token += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                token += text[++i];
            else
                quoted = false;
            continue;
        }
        if (c == '>' || IsBlank(c)) {
            if (inToken)
                tokens << token;
            token.clear();
            inToken = false;
            if (c != '>')
                continue;
            tag.Name = tokens.value(0);
            for (const QString& t : tokens.mid(1)) {
                const qsizetype equals = t.indexOf('=');
                tag.Params.Add(equals < 0 ? t : t.left(equals),
                               equals < 0 ? QString() : t.mid(equals + 1));
            }
            return i + 1;
        }
        inToken = true;
        if (c == '"')
            quoted = true;
        else
            token += c;
    }
    return -1;
}

template <typename T>
T CodePart(const QString& text) {
    const int value = nv::StrToInt(text);
    if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        throw TnvConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<T>(value);
}

// The accessors take unsigned 8-bit numbers: a code that gives no element or
// flag reads the first; any other number outside 0..255 is out of the buffer.
std::uint8_t ElementOf(const TnvParCode& code) {
    if (code.Element == -1)
        return 0;
    if (code.Element < 0 || code.Element > 255)
        throw TnvError(QStringLiteral("GetValueText: Element index out of range."));
    return static_cast<std::uint8_t>(code.Element);
}

std::uint8_t BitOf(const TnvParCode& code) {
    return code.Bit < 0 ? 0 : static_cast<std::uint8_t>(code.Bit);
}

QStringList ColonList(const QString& text) {
    QStringList parts = text.split(':');
    // The colon terminates each entry; a last entry without one counts all the same.
    if (parts.back().isEmpty())
        parts.removeLast();
    return parts;
}

} // namespace

QString TnvTagParams::Value(const QString& name) const {
    for (const auto& [n, v] : FItems)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return QString();
}

bool TnvTagParams::Has(const QString& name) const {
    for (const auto& item : FItems)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool TnvReportHtml::CreateReport(const QString& fileName) {
    QString text = CompileModel(fileName);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split('\n');
    if (text.isEmpty() || text.endsWith('\n'))
        lines.removeLast();
    FReportList = std::move(lines);
    return !FReportList.isEmpty();
}

QString TnvReportHtml::CompileModel(const QString& fileName) {
    if (!FValueSet || fileName.isEmpty())
        return QString();
    const bool outermost = FFolders.isEmpty();
    if (outermost) {
        FProduced = 0;
        FTemplates = 0;
    }
    try {
        return ProcessFile(fileName);
    } catch (const std::bad_alloc&) {
        if (outermost)
            FFolders.clear();
        throw TnvError(QStringLiteral("CompileModel: PageProducer Bad Alloc."));
    } catch (...) {
        if (outermost)
            FFolders.clear();
        throw;
    }
}

QString TnvReportHtml::ProcessFile(const QString& fileName) {
    if (FFolders.size() >= kMaxDepth)
        throw TnvError(QStringLiteral("CompileModel: \"%1\" is nested more than %2 templates deep; "
                                      "does a template include itself?")
                           .arg(fileName)
                           .arg(kMaxDepth));
    if (++FTemplates > kMaxTemplates)
        throw TnvError(QStringLiteral("CompileModel: more than %1 templates make up the report; "
                                      "does a template include itself?")
                           .arg(kMaxTemplates));
    const QString path = FFolders.isEmpty() || QFileInfo(fileName).isAbsolute()
                             ? fileName
                             : QDir(FFolders.back()).filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TnvFileError(path, file.errorString());
    // Read with a bound: a device file would never end.
    const QByteArray bytes = file.read(kMaxReportChars + 1);
    if (bytes.size() > kMaxReportChars)
        throw TnvError(QStringLiteral("CompileModel: \"%1\" is larger than %2 bytes.")
                           .arg(path)
                           .arg(kMaxReportChars));
    const QString text = QString::fromUtf8(bytes);
    file.close();
    FFolders << QFileInfo(path).absolutePath();
    QString result = ProcessText(text);
    FFolders.removeLast();
    return result;
}

QString TnvReportHtml::ProcessText(const QString& text) {
    QString result;
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype open = text.indexOf(kTagOpen, position);
        TTagText tag;
        const qsizetype end = open < 0 ? -1 : ReadTag(text, open + kTagOpen.size(), tag);
        const qsizetype literalEnd = end < 0 ? text.size() : open;
        Grow(literalEnd - position);
        result += QStringView(text).mid(position, literalEnd - position);
        if (end < 0)
            break;
        const QString produced = Tagger(tag.Name, tag.Params);
        Grow(produced.size());
        result += produced;
        position = end;
    }
    return result;
}

void TnvReportHtml::Grow(qsizetype chars) {
    FProduced += chars;
    if (FProduced > kMaxReportChars)
        throw TnvError(QStringLiteral("CompileModel: the report grows beyond %1 characters.")
                           .arg(kMaxReportChars));
}

QString TnvReportHtml::Tagger(const QString& tag, const TnvTagParams& params) {
    const auto is = [&tag](const char* name) {
        return tag.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    if (is("BLOCK"))
        return Decode_BLOCK_Tag(params);
    if (is("PAR"))
        return Decode_PAR_Tag(params);
    if (is("SWITCH"))
        return Decode_SWITCH_Tag(params);
    if (is("TABLE"))
        return Decode_TABLE_Tag(params);
    return QString();
}

TnvParCode TnvReportHtml::DecodeParCode(const QString& text) {
    TnvParCode code;
    const qsizetype colon = text.indexOf(':');
    code.Index = CodePart<std::int32_t>(colon < 0 ? text : text.left(colon));
    if (colon < 0)
        return code;
    const QString rest = text.mid(colon + 1);
    const qsizetype second = rest.indexOf(':');
    code.Element = CodePart<std::int16_t>(second < 0 ? rest : rest.left(second));
    if (second >= 0)
        code.Bit = CodePart<std::int8_t>(rest.mid(second + 1));
    return code;
}

bool TnvReportHtml::DecodeCondition(const QString& text) {
    if (text.isEmpty())
        return false;
    const bool inverted = text.startsWith('!');
    const QString condition = inverted ? text.mid(1) : text;
    if (condition.startsWith('I') && OnCondition)
        return OnCondition(this, condition.mid(1)) != inverted;
    const TnvParCode code = DecodeParCode(condition);
    bool result = false;
    if (code.Bit >= 0 && code.Index >= 0 && FValueSet) {
        if (TnvParValue* value = FValueSet->FindValue(static_cast<std::uint32_t>(code.Index))) {
            try {
                result = value->GetValueBit(ElementOf(code), BitOf(code));
            } catch (const TnvError&) {
                // Not a bit field, or an element beyond the buffer: no flag to be set.
                result = false;
            }
        }
    }
    return result != inverted;
}

QString TnvReportHtml::DecodeDescriptor(const QString& text) {
    if (text.isEmpty())
        return QString();
    const QChar kind = text[0];
    const QString rest = text.mid(1);
    switch (kind.unicode()) {
    case 'I':
        return OnDescriptor ? OnDescriptor(this, rest) : QString();
    case 'V':
        return ValueText(rest);
    case 'S':
        return rest;
    case 'M':
        return OnMessage ? OnMessage(this, rest) : QString();
    case 'F':
        return IncludeTemplate(rest);
    case 'D':
        return OnDescription ? OnDescription(this, rest, DecodeParCode(rest)) : QString();
    default:
        return QString();
    }
}

QString TnvReportHtml::ValueText(const QString& codeText) {
    const TnvParCode code = DecodeParCode(codeText);
    TnvParValue* value = code.Index < 0 || !FValueSet
                             ? nullptr
                             : FValueSet->FindValue(static_cast<std::uint32_t>(code.Index));
    if (!value)
        return codeText;
    // A value is plain text from the drive, never markup.
    return value->GetValueText(ElementOf(code), BitOf(code)).toHtmlEscaped();
}

QString TnvReportHtml::IncludeTemplate(const QString& fileName) {
    return fileName.isEmpty() ? QString() : ProcessFile(fileName);
}

QString TnvReportHtml::ChooseByCondition(const TnvTagParams& params) {
    const QString condition = params.Value(QStringLiteral("IF"));
    if (condition.isEmpty())
        return params.Value(QStringLiteral("GET"));
    return params.Value(DecodeCondition(condition) ? QStringLiteral("THEN")
                                                   : QStringLiteral("ELSE"));
}

QString TnvReportHtml::Decode_BLOCK_Tag(const TnvTagParams& params) {
    return IncludeTemplate(ChooseByCondition(params));
}

QString TnvReportHtml::Decode_PAR_Tag(const TnvTagParams& params) {
    return DecodeDescriptor(ChooseByCondition(params));
}

QString TnvReportHtml::Decode_SWITCH_Tag(const TnvTagParams& params) {
    const QString list = params.Value(QStringLiteral("CASE"));
    if (list.isEmpty())
        return QString();
    std::uint8_t n = 0;
    for (const QString& condition : ColonList(list))
        n = static_cast<std::uint8_t>(2 * n + (DecodeCondition(condition) ? 1 : 0));
    return DecodeDescriptor(params.Value(QStringLiteral("GET") + QString::number(n)));
}

QString TnvReportHtml::Decode_TABLE_Tag(const TnvTagParams& params) {
    const QString sql = DecodeDescriptor(params.Value(QStringLiteral("SQL")));
    const QString table =
        sql.isEmpty() ? DecodeDescriptor(params.Value(QStringLiteral("TAB"))) : QString();
    if (sql.isEmpty() && table.isEmpty())
        return QString();
    const QString filter = DecodeDescriptor(params.Value(QStringLiteral("FILTER")));
    const nv::TnvTableData data =
        nv::QueryTable(FDatabaseName, sql, table, filter, kMaxReportChars - FProduced);
    if (data.Rows.empty())
        return DecodeDescriptor(params.Value(QStringLiteral("EMPTY")));

    const QString fieldList = params.Value(QStringLiteral("FIELD"));
    const QStringList names = fieldList.isEmpty() ? data.Fields : ColonList(fieldList);
    const QStringList labels = params.Value(QStringLiteral("LABEL")).split(':');
    std::vector<qsizetype> columns;
    QString html = QStringLiteral("<table class=\"nvreport\">\n<tr>");
    for (qsizetype i = 0; i < names.size(); ++i) {
        const qsizetype column = data.Fields.indexOf(names[i], Qt::CaseInsensitive);
        if (column < 0)
            continue;
        columns.push_back(column);
        const QString label = i < labels.size() ? DecodeDescriptor(labels[i]) : QString();
        html +=
            QStringLiteral("<th>%1</th>").arg(label.isEmpty() ? names[i].toHtmlEscaped() : label);
    }
    html += QStringLiteral("</tr>\n");
    for (const QStringList& row : data.Rows) {
        html += QStringLiteral("<tr>");
        for (qsizetype column : columns)
            html += QStringLiteral("<td>%1</td>").arg(row[column].toHtmlEscaped());
        html += QStringLiteral("</tr>\n");
    }
    return html + QStringLiteral("</table>");
}
