#pragma once

#include "NvDateTime.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class TnvParDefSet;
class TnvParValueSet;
class TnvReportHtml;

// The application's answers to a report template's callbacks, from a value
// set read from the drive, the definitions and the identification:
//
//   I (descriptor) Date, Slave, Hardware, Firmware, Size (the drive-size
//                  texts), VFCurve (the V/F curve drawn by the graph library,
//                  an <img> with the PNG inside), Faults<index> (the captions
//                  of the flags set in a fault word, or "None"),
//                  FaultFilter<index> (an SQL condition on the fault
//                  database's "bit" keeping the flags set), Word<index> (the
//                  raw word in hexadecimal, for bit fields)
//   I (condition)  Identified, Fault<index> (any flag set in a fault word)
//   M              Fault<bit> (the fault's caption), Place<index> (where the
//                  parameter lives: "RAM", "EEPROM" or "Flash", with its
//                  stored copy)
//   D              the definition's description of the code's index
//
// Unknown keys give the empty text (false for conditions). Every text is
// HTML-escaped. GUI thread (the graph paints with QtGui).
class TnvReportAnswers {
public:
    TnvReportAnswers(TnvParDefSet& defs, TnvParValueSet& values);

    void SetIdentification(const QString& hardware, const QString& firmware);
    void SetSlaveAddress(int address) { FSlave = address; }
    // The date and time the report shows; now unless set.
    void SetDate(nv::TDateTime date) {
        FDate = date;
        FDateSet = true;
    }

    // Points the four events of report at this object, which must outlive it.
    void Attach(TnvReportHtml& report);

    // Fills templateFile with the values, the TABLE tag reading
    // databaseFile; the lines of the report. Raises the report's TnvError.
    QStringList Compile(const QString& templateFile, const QString& databaseFile);

    QString Descriptor(const QString& key) const;
    bool Condition(const QString& key) const;
    QString Message(const QString& key) const;
    QString Description(std::int32_t index) const;

    // The 13 fault captions, by flag number.
    static QString FaultCaption(int bit);

private:
    // The word of element 0 of index, 0 when it is not in the set.
    std::uint16_t Word(std::uint32_t index) const;
    bool HasValue(std::uint32_t index) const;
    QString Place(std::uint32_t index) const;
    QString FaultList(std::uint32_t index) const;
    QString FaultFilter(std::uint32_t index) const;
    QString VFCurveImage() const;

    TnvParDefSet& FDefs;
    TnvParValueSet& FValues;
    QString FHardware;
    QString FFirmware;
    int FSlave = 0;
    nv::TDateTime FDate = 0.0;
    bool FDateSet = false;
};
