#pragma once

#include <QString>
#include <cstdlib>

// Files of the source tree, found through KX_SOURCE_DIR that CTest sets, or
// the tree the tests were built from when they run without it.
inline QString SourcePath(const QString& relative) {
    const char* root = std::getenv("KX_SOURCE_DIR");
    return QString::fromLocal8Bit(root ? root : KX_SIM_SOURCE_DIR) + '/' + relative;
}

inline QString DefinitionsFile() {
    return SourcePath("data/VF_Parameters_v207.ini");
}
inline QString TestMapFile() {
    return SourcePath("tests/sim/data/sim_test.ini");
}
