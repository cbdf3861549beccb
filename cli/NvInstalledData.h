#pragma once

#include <QString>

namespace nv {

// The definitions file a command reads without --defs: the one of the current
// directory, as the terminal does, else the copy installed beside the program
// (<prefix>/share/kx720), so that an installed kx720 works from any folder.
// The current directory's name when neither exists, for the error message.
// Needs the application object.
QString DefaultDefinitionsFile();

} // namespace nv
