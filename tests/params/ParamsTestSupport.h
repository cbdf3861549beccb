#pragma once

#include "TestErrors.h"
#include "TnvParDef.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

// A definitions file written into a private temporary folder.
class TTempIni {
public:
    explicit TTempIni(const QString& text, const QString& fileName = "defs.ini")
        : FPath(FDir.path() + "/" + fileName) {
        QFile file(FPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    QString Path() const { return FPath; }
    QString Folder() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
    QString FPath;
};

// A loaded definition of the given type, as the definitions file would give it.
inline TnvParDef MakeDef(std::uint8_t type, std::uint8_t length = 1, bool isUnsigned = true) {
    TnvParDef def;
    def.ParIndex = 1;
    def.Name = "P1";
    def.Type = type;
    def.Length = length;
    def.Unsigned = isUnsigned;
    def.Readonly = false;
    def.Valid = true;
    return def;
}

inline void PumpEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

using kxtest::ErrorOf;
using Bytes = std::vector<std::uint8_t>;
