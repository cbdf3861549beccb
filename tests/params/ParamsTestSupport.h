#pragma once

#include "TestErrors.h"
#include "TestFiles.h"
#include "TnvParDef.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

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
