// Writing a whole output file so that a failed write never leaves it
// half-written or clobbered, and a replaced file stays the file the user had:
// its permission bits, owner, group, hard links and the symbolic links that
// lead to it.
#pragma once

#include <functional>
#include <ostream>
#include <string>

enum class SaveResult {
    saved,
    // The target cannot be opened for writing (missing folder, a directory,
    // no permission, a loop of symbolic links); nothing was written.
    notOpened,
    // The text could not be written completely; the target is as it was.
    notWritten,
};

// `write` fills the stream and says whether it produced the whole text; it is
// called only once the target is known to be writable, and nothing reaches
// the target unless it returns true.
//
// The text replaces a regular file through a temporary file in the same
// folder, renamed over it once every byte is written; the replacement gets the
// old file's permission bits, owner and group (a new file gets 0666 less the
// umask). Where that cannot keep the file the user had, the file is written in
// place as a plain truncating open would: when the folder refuses the
// temporary file or the rename, when the owner or group cannot be carried
// over, and when the file has more than one hard link. A write that fails in
// place puts back the old bytes when the file can be read, and removes a file
// that the save created.
//
// A symbolic link is followed, also when it names no file yet, so the text
// lands at the path it names and the link stays. A target that is no regular
// file (a device, a FIFO) is written directly, as replacing it would destroy
// it.
SaveResult saveFileSafely(const std::string& fileName,
                          const std::function<bool(std::ostream&)>& write);
