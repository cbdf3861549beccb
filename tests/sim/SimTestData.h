#pragma once

#include "TestPaths.h"

using kxtest::DefinitionsFile;
using kxtest::SourcePath;

inline QString TestMapFile() {
    return SourcePath("tests/sim/data/sim_test.ini");
}
