// Writing a whole output file where the plain truncating open would write it,
// so that a failed write never leaves a file that looks like a good one.
#pragma once

#include <functional>
#include <ostream>
#include <string>

enum class SaveResult {
    saved,
    // The name cannot be opened for writing (missing folder, a directory, no
    // permission, a loop of symbolic links); the file is as it was.
    notOpened,
    // The text could not be produced, or could not be written into the
    // temporary file; the file is as it was.
    notWritten,
    // The name was opened in place, which empties a plain file, and the text
    // could not be written whole: the file was emptied again, so that no
    // start of the new text stands there.
    emptied,
    // The same for a device or FIFO, which may have taken part of the text,
    // or for a plain file that could not be emptied again.
    incomplete,
};

// `write` fills the stream and says whether it produced the whole text;
// nothing reaches the file unless it returns true.
//
// Where the name itself is a regular file with one link that may be opened
// for writing, or names nothing yet, the text goes into a temporary file
// `.vorelXXXXXX` in the same folder, renamed over the name once it is whole.
// The new file keeps the old one's permission bits, owner, group and extended
// attributes (POSIX ACLs among them); a new name gets 0666 less the umask.
//
// Every other name (a symbolic link, a file with several hard links, a device
// or FIFO) is opened as given with O_WRONLY|O_CREAT|O_TRUNC once the whole
// text is produced, so that the kernel resolves it and applies its own checks
// on links, and written in place; so is a plain file whose folder refuses the
// temporary file or the rename, or whose owner, group, permission bits or
// extended attributes the temporary file cannot take.
//
// Where the temporary file cannot be removed again, as in a folder that takes
// new files but refuses renames and removals, the save writes one line
// "ERROR: could not remove temporary file <name>" to standard error, <name>
// being the folder part of `fileName` and `.vorelXXXXXX`; the result is what
// it would be had the removal worked.
//
// While the save runs, a signal whose default action would end the process
// removes the temporary file first (or names it, as above), and SIGXFSZ,
// where its action is the default, is ignored, so that a file size limit
// fails the write instead of ending the process. One save at a time in a
// process.
SaveResult saveFileSafely(const std::string& fileName,
                          const std::function<bool(std::ostream&)>& write);

// Says on standard error how a save of `fileName` failed, one line each:
// nothing for a saved file; `notOpenedLine`, the caller's own words, for a
// name that could not be opened; else "ERROR: could not write file <name>",
// and after it "ERROR: file <name> was left empty" for an emptied file.
void reportSaveFailure(SaveResult result, const std::string& fileName,
                       const std::string& notOpenedLine);

// The save of a listing whose writer always gives the whole text and counts
// what it could not render in it: the count, or -1 after reportSaveFailure,
// whose line for a name that could not be opened is then
// "Could not open file "<name>" for writing".
int saveCounted(const std::string& fileName, const std::function<int(std::ostream&)>& write);
