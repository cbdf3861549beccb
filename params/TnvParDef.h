#pragma once

#include "NvDateTime.h"

#include <QString>
#include <cstdint>
#include <span>

class TnvIniFile;

// One parameter of the drive as the definitions file describes it: where it
// lives in the register map, how its register bytes are read, and how it is
// shown. Loaded once by a definition set and not changed afterwards, so any
// thread may read a loaded definition.
//
// The typed accessors work on a register buffer that the caller passes in
// (register k at bytes 2k, high-order, and 2k+1). Each checks, in this order,
// the type ("Wrong data type!"), the buffer (an empty buffer raises
// "<Accessor>: Bad buffer pointer.", for the two string accessors
// "<Accessor>: Bad format pointer.") and the element's place in the buffer
// ("<Accessor>: Element index out of range."). Setters return whether the
// stored bytes of the element changed. Errors are TnvError (conversion errors
// TnvConvertError).
class TnvParDef {
public:
    // Data type codes; any other code behaves as tpNone.
    enum : std::uint8_t {
        tpNone = 0,
        tpBits = 1,
        tpInt8 = 2,
        tpInt16 = 3,
        tpInt32 = 4,
        tpDate = 5,
        tpTime = 6,
        tpString = 7,
    };

    // All fields zero, then Clear().
    TnvParDef();

    // Every field to its cleared value; RegQtty keeps its value.
    void Clear();

    // Fills the definition from the section "Par-<index>" of the INI file at
    // fileName. Returns Valid: false when the file is missing or holds no such
    // section (the definition then stays cleared). Malformed values never
    // raise; they take their defaults. GUI thread.
    bool LoadFromIni(const QString& fileName, std::uint32_t index);
    // The same on an INI file already read (a definition set reads it once
    // for a whole index list).
    bool LoadFromIni(const TnvIniFile& ini, std::uint32_t index);

    // Buffer bytes of one element of Type (0 for tpNone and unknown codes).
    static int ElementSize(std::uint8_t type);
    // ElementSize(Type) * Length: the size of a value's buffer.
    int GetSize() const { return ElementSize(Type) * Length; }

    bool GetValueBit(std::span<const std::uint8_t> buffer, std::uint8_t i, std::uint8_t b) const;
    bool SetValueBit(std::span<std::uint8_t> buffer, bool value, std::uint8_t i,
                     std::uint8_t b) const;
    std::int8_t GetValueChar(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    bool SetValueChar(std::span<std::uint8_t> buffer, std::int8_t value, std::uint8_t i) const;
    std::uint8_t GetValueUChar(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    bool SetValueUChar(std::span<std::uint8_t> buffer, std::uint8_t value, std::uint8_t i) const;
    std::int16_t GetValueShort(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    bool SetValueShort(std::span<std::uint8_t> buffer, std::int16_t value, std::uint8_t i) const;
    // Types 3 and 1 (a bit field as its whole word).
    std::uint16_t GetValueUShort(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    bool SetValueUShort(std::span<std::uint8_t> buffer, std::uint16_t value, std::uint8_t i) const;
    std::int32_t GetValueLong(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    bool SetValueLong(std::span<std::uint8_t> buffer, std::int32_t value, std::uint8_t i) const;
    std::uint32_t GetValueULong(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    bool SetValueULong(std::span<std::uint8_t> buffer, std::uint32_t value, std::uint8_t i) const;

    // Raw integer (signed unless Unsigned) * FormatNorm + FormatOffset, for the
    // integer types 2, 3 and 4; types 1 and 7 (and 5, 6) raise
    // "Wrong data type!".
    double GetValueDouble(std::span<const std::uint8_t> buffer, std::uint8_t i) const;

    // Day, month and year within the century; year base is added to the year.
    // An impossible date raises "Invalid argument to date encode".
    nv::TDateTime GetValueDate(std::span<const std::uint8_t> buffer, std::uint8_t i,
                               std::uint16_t yearBase) const;
    // Stores day, month and year mod 100 and returns the century
    // ((year div 100) * 100) through century. Works on any old content.
    bool SetValueDate(std::span<std::uint8_t> buffer, std::uint8_t i, int& century,
                      nv::TDateTime value) const;
    // Second, minute, hour; an impossible time raises the time conversion error.
    nv::TDateTime GetValueTime(std::span<const std::uint8_t> buffer, std::uint8_t i) const;
    // Stores hour, minute and second (milliseconds dropped).
    bool SetValueTime(std::span<std::uint8_t> buffer, std::uint8_t i, nv::TDateTime value) const;

    // Exactly Length characters, one per register (low-order byte), zeros
    // included.
    QString GetValueString(std::span<const std::uint8_t> buffer) const;
    // Trims blanks and control characters, stores one Latin-1 character per
    // register and fills the registers after a short text with 0.
    bool SetValueString(std::span<std::uint8_t> buffer, const QString& text) const;

    // Display text: flag b of element i for a bit field (FormatString holds the
    // texts of a set and a clear flag, "ON/OFF"; empty: "1"/"0"), the numeric
    // text for types 2, 3, 4 and 6, the string for 7, empty otherwise.
    QString GetValueText(std::span<const std::uint8_t> buffer, std::uint8_t i,
                         std::uint8_t b) const;
    // GetValueDouble formatted with FormatString for types 2, 3, 4; the time
    // formatted with it for 6; the string for 7; empty otherwise.
    QString GetValueNumText(std::span<const std::uint8_t> buffer, std::uint8_t i) const;

    std::uint32_t ParIndex;
    std::uint16_t RegAddr;
    std::uint16_t RegQtty;
    // Index of the stored (EEPROM) copy; equal to RegAddr for a RAM-only one.
    std::uint16_t RegProg;
    bool Unsigned;
    bool Readonly;
    QString Name;
    QString Descr;
    std::uint8_t Type;
    std::uint8_t Length;
    double FormatNorm;
    double FormatOffset;
    QString FormatString;
    QString FormatMask; // a QLineEdit input mask
    bool Valid;

private:
    std::uint32_t GetValueULongAt(std::span<const std::uint8_t> buffer, std::uint8_t i,
                                  const char* accessor) const;
    void ReadFormat(const TnvIniFile& ini, const QString& section);
};
