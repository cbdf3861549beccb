#pragma once

#include "TnvError.h"
#include "TnvParDefSet.h"
#include "TnvParValue.h"
#include "TnvParValueSet.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// A folder of template files and a value set of a few parameters:
// 4 a voltage (230), 18 a bit field with flag 3 set ("Set/Clear"),
// 7 a four-character string holding markup.
class TReportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        Write("defs.ini", R"([Categories]
Test=4,7,18
[Par-4]
RegAddr=4
Name=MainVoltage
Descr=Main voltage (V)
Type=3
FormatString=000
[Par-7]
RegAddr=7
Name=Tag
Descr=Tag <text>
Type=7
Length=4
[Par-18]
RegAddr=18
Name=CtrlMode
Descr=Control mode
Type=1
FormatString=Set/Clear
)");
        ASSERT_TRUE(FDefs.LoadFromFile(Path("defs.ini")));
        ASSERT_TRUE(FSet.AddParBindsCategory(&FDefs, "Test"));
        FSet.FindValue(4)->SetValueUShort(0, 230);
        FSet.FindValue(18)->SetValueBit(0, 3, true);
        FSet.FindValue(7)->SetValueString("<&\">");
    }

    QString Path(const QString& name) const { return FDir.filePath(name); }

    void Write(const QString& name, const QByteArray& text) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    // The text of the TnvError that body raises, "" if none.
    template <typename Body>
    static QString ErrorOf(Body body) {
        try {
            body();
        } catch (const TnvError& e) {
            return e.Message();
        }
        return QString();
    }

    QTemporaryDir FDir;
    TnvParDefSet FDefs;
    TnvParValueSet FSet;
};
