#pragma once

#include <QString>

// Where the tests find the source tree and the programs they run. CTest sets
// KX_SOURCE_DIR; a test run by hand falls back to the tree it was built from.
namespace kxtest {

// A path below the source tree.
QString SourcePath(const QString& relative);
// The drive definitions every simulator-backed test starts from.
QString DefinitionsFile();
// A TCP port that was free a moment ago.
int FreeTcpPort();

} // namespace kxtest
