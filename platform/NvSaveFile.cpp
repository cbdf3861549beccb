#include "NvSaveFile.h"

#include <QSaveFile>

namespace nv {

bool CommitSaveFile(QSaveFile& file) {
    // Not committed, the temporary file is removed with the QSaveFile.
    return file.flush() && file.commit();
}

} // namespace nv
