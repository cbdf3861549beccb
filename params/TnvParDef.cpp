#include "TnvParDef.h"

#include "NvFormat.h"
#include "TnvError.h"
#include "TnvIniFile.h"

#include <QFileInfo>
#include <charconv>
#include <cmath>

namespace {

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

void CheckType(bool allowed) {
    if (!allowed)
        throw TnvError(QStringLiteral("Wrong data type!"));
}

void CheckBuffer(const char* accessor, std::size_t size, const char* what = "buffer") {
    if (size == 0)
        throw TnvError(QStringLiteral("%1: Bad %2 pointer.").arg(accessor, what));
}

// Byte offset of element i after the buffer check; offsets are computed in
// full width, so no element aliases another.
std::size_t Place(const char* accessor, std::size_t size, std::uint8_t i, std::size_t width) {
    CheckBuffer(accessor, size);
    const std::size_t offset = std::size_t{i} * width;
    if (offset + width > size)
        throw TnvError(QStringLiteral("%1: Element index out of range.").arg(accessor));
    return offset;
}

std::uint16_t ReadWord(Bytes buffer, std::size_t at) {
    return static_cast<std::uint16_t>(buffer[at] << 8 | buffer[at + 1]);
}

// Writes the bytes of value high-order first; reports whether any changed.
template <typename T>
bool WriteBigEndian(MutableBytes buffer, std::size_t at, T value) {
    bool changed = false;
    for (std::size_t k = 0; k < sizeof(T); ++k) {
        const auto byte = static_cast<std::uint8_t>(static_cast<std::make_unsigned_t<T>>(value) >>
                                                    (8 * (sizeof(T) - 1 - k)));
        changed = changed || buffer[at + k] != byte;
        buffer[at + k] = byte;
    }
    return changed;
}

// Writes three registers (0, v0, 0, v1, 0, v2); reports whether any byte changed.
bool WriteTriple(MutableBytes buffer, std::size_t at, int v0, int v1, int v2) {
    const std::uint8_t bytes[6] = {0, static_cast<std::uint8_t>(v0),
                                   0, static_cast<std::uint8_t>(v1),
                                   0, static_cast<std::uint8_t>(v2)};
    bool changed = false;
    for (std::size_t k = 0; k < 6; ++k) {
        changed = changed || buffer[at + k] != bytes[k];
        buffer[at + k] = bytes[k];
    }
    return changed;
}

// "%lf" semantics without the C locale: leading blanks, a sign, then the
// longest prefix that forms a number ("0,5" gives 0). False if nothing scans.
bool ScanReal(const QString& text, double& value) {
    const QByteArray bytes = text.trimmed().toLatin1();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    auto format = std::chars_format::general;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        format = std::chars_format::hex;
        first += 2;
    }
    double scanned = 0.0;
    const auto result = std::from_chars(first, last, scanned, format);
    if (result.ec != std::errc{})
        return false;
    value = negative ? -scanned : scanned;
    return true;
}

bool IsBlankOrControl(QChar c) {
    return c.unicode() <= 0x20;
}

QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlankOrControl(text[begin]))
        ++begin;
    while (end > begin && IsBlankOrControl(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// The text of a set or a clear flag from a FormatString such as "ON/OFF": the
// last separator splits it; without one a set flag has no text.
QString FlagText(const QString& format, bool set) {
    static const QString separators = QStringLiteral(",.- :;/");
    qsizetype p = format.size() - 1;
    while (p >= 0 && !separators.contains(format[p]))
        --p;
    if (p < 0)
        return set ? QString() : format.trimmed();
    return (set ? format.left(p) : format.mid(p + 1)).trimmed();
}

} // namespace

TnvParDef::TnvParDef()
    : ParIndex(0)
    , RegAddr(0)
    , RegQtty(0)
    , RegProg(0)
    , Unsigned(false)
    , Readonly(false)
    , Type(0)
    , Length(0)
    , FormatNorm(0.0)
    , FormatOffset(0.0)
    , Valid(false) {
    Clear();
}

void TnvParDef::Clear() {
    ParIndex = 0;
    RegAddr = 0;
    RegProg = 0;
    Unsigned = false;
    Readonly = true;
    Name.clear();
    Descr.clear();
    Type = tpNone;
    Length = 1;
    FormatNorm = 1.0;
    FormatOffset = 0.0;
    FormatString.clear();
    FormatMask.clear();
    Valid = false;
}

bool TnvParDef::LoadFromIni(const QString& fileName, std::uint32_t index) {
    Clear();
    if (!QFileInfo(fileName).isFile())
        return false;
    return LoadFromIni(TnvIniFile(fileName), index);
}

bool TnvParDef::LoadFromIni(const TnvIniFile& ini, std::uint32_t index) {
    Clear();
    const QString section = QStringLiteral("Par-%1").arg(index);
    // A missing section makes the definition invalid, so that the set reports
    // the index instead of keeping a definition nobody can find.
    if (!ini.SectionExists(section))
        return false;
    ParIndex = index;
    RegAddr = static_cast<std::uint16_t>(ini.ReadInteger(section, QStringLiteral("RegAddr"), 0));
    RegQtty = static_cast<std::uint16_t>(ini.ReadInteger(section, QStringLiteral("RegQtty"), 0));
    RegProg =
        static_cast<std::uint16_t>(ini.ReadInteger(section, QStringLiteral("RegProg"), RegProg));
    Name = ini.ReadString(section, QStringLiteral("Name"), section);
    Descr = ini.ReadString(section, QStringLiteral("Descr"), section);
    Type = static_cast<std::uint8_t>(ini.ReadInteger(section, QStringLiteral("Type"), 0));
    if (Type == tpDate || Type == tpTime)
        Length = 3;
    else
        Length = static_cast<std::uint8_t>(ini.ReadInteger(section, QStringLiteral("Length"), 1));
    Unsigned = ini.ReadBool(section, QStringLiteral("Unsigned"), true);
    Readonly = ini.ReadBool(section, QStringLiteral("Readonly"), true);
    const QString useFormat = ini.ReadString(section, QStringLiteral("UseFormat"), QString());
    ReadFormat(ini, !useFormat.isEmpty() && ini.SectionExists(useFormat) ? useFormat : section);
    Valid = true;
    return true;
}

void TnvParDef::ReadFormat(const TnvIniFile& ini, const QString& section) {
    double real = 0.0;
    if (ScanReal(ini.ReadString(section, QStringLiteral("FormatNorm"), QStringLiteral("1.0")),
                 real))
        FormatNorm = real;
    if (ScanReal(ini.ReadString(section, QStringLiteral("FormatOffset"), QStringLiteral("0.0")),
                 real))
        FormatOffset = real;
    FormatString = ini.ReadString(section, QStringLiteral("FormatString"), QString());
    FormatMask = ini.ReadString(section, QStringLiteral("FormatMask"), QString());
}

int TnvParDef::ElementSize(std::uint8_t type) {
    switch (type) {
    case tpBits:
    case tpInt8:
    case tpInt16:
    case tpString:
        return 2;
    case tpInt32:
        return 4;
    case tpDate:
    case tpTime:
        return 6;
    default:
        return 0;
    }
}

bool TnvParDef::GetValueBit(Bytes buffer, std::uint8_t i, std::uint8_t b) const {
    CheckType(Type == tpBits);
    const std::size_t at = Place("GetValueBit", buffer.size(), i, 2);
    return (ReadWord(buffer, at) >> (b % 16) & 1) != 0;
}

bool TnvParDef::SetValueBit(MutableBytes buffer, bool value, std::uint8_t i, std::uint8_t b) const {
    CheckType(Type == tpBits);
    const std::size_t at = Place("SetValueBit", buffer.size(), i, 2);
    const unsigned flag = b % 16;
    std::uint8_t& byte = buffer[flag < 8 ? at + 1 : at];
    const auto mask = static_cast<std::uint8_t>(1u << (flag % 8));
    const std::uint8_t old = byte;
    byte = value ? (byte | mask) : (byte & ~mask);
    return byte != old;
}

std::int8_t TnvParDef::GetValueChar(Bytes buffer, std::uint8_t i) const {
    CheckType(Type == tpInt8);
    return static_cast<std::int8_t>(buffer[Place("GetValueChar", buffer.size(), i, 2) + 1]);
}

bool TnvParDef::SetValueChar(MutableBytes buffer, std::int8_t value, std::uint8_t i) const {
    CheckType(Type == tpInt8);
    const std::size_t at = Place("SetValueChar", buffer.size(), i, 2);
    const std::uint8_t old = buffer[at + 1];
    buffer[at] = 0;
    buffer[at + 1] = static_cast<std::uint8_t>(value);
    return buffer[at + 1] != old;
}

std::uint8_t TnvParDef::GetValueUChar(Bytes buffer, std::uint8_t i) const {
    CheckType(Type == tpInt8);
    return buffer[Place("GetValueUChar", buffer.size(), i, 2) + 1];
}

bool TnvParDef::SetValueUChar(MutableBytes buffer, std::uint8_t value, std::uint8_t i) const {
    CheckType(Type == tpInt8);
    const std::size_t at = Place("SetValueUChar", buffer.size(), i, 2);
    const std::uint8_t old = buffer[at + 1];
    buffer[at] = 0;
    buffer[at + 1] = value;
    return value != old;
}

std::int16_t TnvParDef::GetValueShort(Bytes buffer, std::uint8_t i) const {
    CheckType(Type == tpInt16);
    return static_cast<std::int16_t>(ReadWord(buffer, Place("GetValueShort", buffer.size(), i, 2)));
}

bool TnvParDef::SetValueShort(MutableBytes buffer, std::int16_t value, std::uint8_t i) const {
    CheckType(Type == tpInt16);
    return WriteBigEndian(buffer, Place("SetValueShort", buffer.size(), i, 2), value);
}

std::uint16_t TnvParDef::GetValueUShort(Bytes buffer, std::uint8_t i) const {
    CheckType(Type == tpInt16 || Type == tpBits);
    return ReadWord(buffer, Place("GetValueUShort", buffer.size(), i, 2));
}

bool TnvParDef::SetValueUShort(MutableBytes buffer, std::uint16_t value, std::uint8_t i) const {
    CheckType(Type == tpInt16 || Type == tpBits);
    return WriteBigEndian(buffer, Place("SetValueUShort", buffer.size(), i, 2), value);
}

std::int32_t TnvParDef::GetValueLong(Bytes buffer, std::uint8_t i) const {
    return static_cast<std::int32_t>(GetValueULongAt(buffer, i, "GetValueLong"));
}

std::uint32_t TnvParDef::GetValueULong(Bytes buffer, std::uint8_t i) const {
    return GetValueULongAt(buffer, i, "GetValueULong");
}

bool TnvParDef::SetValueLong(MutableBytes buffer, std::int32_t value, std::uint8_t i) const {
    CheckType(Type == tpInt32);
    return WriteBigEndian(buffer, Place("SetValueLong", buffer.size(), i, 4), value);
}

bool TnvParDef::SetValueULong(MutableBytes buffer, std::uint32_t value, std::uint8_t i) const {
    CheckType(Type == tpInt32);
    return WriteBigEndian(buffer, Place("SetValueULong", buffer.size(), i, 4), value);
}

std::uint32_t TnvParDef::GetValueULongAt(Bytes buffer, std::uint8_t i, const char* accessor) const {
    CheckType(Type == tpInt32);
    const std::size_t at = Place(accessor, buffer.size(), i, 4);
    return std::uint32_t{ReadWord(buffer, at)} << 16 | ReadWord(buffer, at + 2);
}

double TnvParDef::GetValueDouble(Bytes buffer, std::uint8_t i) const {
    CheckType(Type != tpBits && Type != tpString);
    CheckBuffer("GetValueDouble", buffer.size());
    double raw = 0.0;
    switch (Type) {
    case tpInt8:
        raw = Unsigned ? GetValueUChar(buffer, i) : GetValueChar(buffer, i);
        break;
    case tpInt16:
        raw = Unsigned ? GetValueUShort(buffer, i) : GetValueShort(buffer, i);
        break;
    case tpInt32:
        raw = Unsigned ? GetValueULong(buffer, i) : GetValueLong(buffer, i);
        break;
    default:
        CheckType(false);
    }
    return raw * FormatNorm + FormatOffset;
}

nv::TDateTime TnvParDef::GetValueDate(Bytes buffer, std::uint8_t i, std::uint16_t yearBase) const {
    CheckType(Type == tpDate);
    const std::size_t at = Place("GetValueDate", buffer.size(), i, 6);
    return nv::EncodeDate(buffer[at + 5] + yearBase, buffer[at + 3], buffer[at + 1]);
}

bool TnvParDef::SetValueDate(MutableBytes buffer, std::uint8_t i, int& century,
                             nv::TDateTime value) const {
    CheckType(Type == tpDate);
    const std::size_t at = Place("SetValueDate", buffer.size(), i, 6);
    int year = 0;
    int month = 0;
    int day = 0;
    nv::DecodeDate(value, year, month, day);
    century = year / 100 * 100;
    // Compared as stored bytes: the old content need not be a readable date.
    return WriteTriple(buffer, at, day, month, year % 100);
}

nv::TDateTime TnvParDef::GetValueTime(Bytes buffer, std::uint8_t i) const {
    CheckType(Type == tpTime);
    const std::size_t at = Place("GetValueTime", buffer.size(), i, 6);
    return nv::EncodeTime(buffer[at + 5], buffer[at + 3], buffer[at + 1], 0);
}

bool TnvParDef::SetValueTime(MutableBytes buffer, std::uint8_t i, nv::TDateTime value) const {
    CheckType(Type == tpTime);
    const std::size_t at = Place("SetValueTime", buffer.size(), i, 6);
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    nv::DecodeTime(value, hour, minute, second, msec);
    return WriteTriple(buffer, at, second, minute, hour);
}

QString TnvParDef::GetValueString(Bytes buffer) const {
    CheckType(Type == tpString);
    CheckBuffer("GetValueString", buffer.size(), "format");
    if (std::size_t{Length} * 2 > buffer.size())
        throw TnvError(QStringLiteral("GetValueString: Element index out of range."));
    QString text(Length, QChar(0));
    for (int k = 0; k < Length; ++k)
        text[k] = QChar(buffer[2 * k + 1]);
    return text;
}

bool TnvParDef::SetValueString(MutableBytes buffer, const QString& text) const {
    CheckType(Type == tpString);
    CheckBuffer("SetValueString", buffer.size(), "format");
    if (std::size_t{Length} * 2 > buffer.size())
        throw TnvError(QStringLiteral("SetValueString: Element index out of range."));
    const QByteArray chars = TrimControls(text).toLatin1();
    bool changed = false;
    for (int k = 0; k < Length; ++k) {
        const auto c = static_cast<std::uint8_t>(k < chars.size() ? chars[k] : 0);
        changed = changed || buffer[2 * k] != 0 || buffer[2 * k + 1] != c;
        buffer[2 * k] = 0;
        buffer[2 * k + 1] = c;
    }
    return changed;
}

QString TnvParDef::GetValueText(Bytes buffer, std::uint8_t i, std::uint8_t b) const {
    switch (Type) {
    case tpBits: {
        const bool set = GetValueBit(buffer, i, b);
        if (FormatString.isEmpty())
            return set ? QStringLiteral("1") : QStringLiteral("0");
        return FlagText(FormatString, set);
    }
    case tpInt8:
    case tpInt16:
    case tpInt32:
    case tpTime:
        return GetValueNumText(buffer, i);
    case tpString:
        return GetValueString(buffer);
    default:
        return QString();
    }
}

QString TnvParDef::GetValueNumText(Bytes buffer, std::uint8_t i) const {
    switch (Type) {
    case tpInt8:
    case tpInt16:
    case tpInt32:
        return nv::FormatFloat(FormatString, GetValueDouble(buffer, i));
    case tpTime:
        return nv::FormatDateTime(FormatString, GetValueTime(buffer, i));
    case tpString:
        return GetValueString(buffer);
    default:
        return QString();
    }
}
