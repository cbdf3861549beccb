#pragma once

class QSaveFile;

namespace nv {

// Puts a written QSaveFile in place of the old file; false, with the old file
// untouched, when what was written did not all reach the disk. commit() of
// this Qt overlooks a failure of the last flush, which is where a file
// smaller than the write buffer meets a full disk: the cut file would
// replace the old one and the save would be reported done.
bool CommitSaveFile(QSaveFile& file);

} // namespace nv
