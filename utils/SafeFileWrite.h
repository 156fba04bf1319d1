// Writing a whole output file so that a failed write never leaves it
// half-written or clobbered: the text goes to a temporary file beside the
// target, which replaces the target only when every byte was written.
#pragma once

#include <functional>
#include <ostream>
#include <string>

enum class SaveResult {
    saved,
    // The target cannot be opened for writing (missing folder, a directory,
    // no permission); nothing was written.
    notOpened,
    // The text could not be written completely; the target is as it was.
    notWritten,
};

// `write` fills the stream and says whether it produced the whole text. A
// target that is no regular file (a device, a FIFO) is written directly, as
// replacing it would destroy it; a symbolic link is followed, so the file it
// names is replaced and the link stays.
SaveResult saveFileSafely(const std::string& fileName,
                          const std::function<bool(std::ostream&)>& write);
