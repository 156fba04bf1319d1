// Writing a whole output file where the plain truncating open would write it,
// so that a failed write never leaves a file that looks like a good one.
//
// The roads of a save and how each ends. The text is made in memory first: a
// writer that returns false or throws, or a failed stream, ends every road
// there (notWritten, or the exception), the file as it was.
//
//   the name                             road                   ends
//   new, or a regular file with one      a temporary file       replaced (saved); the text not
//   link that may be opened for writing  `.vorelXXXXXX` beside  written whole: as it was
//                                        it, renamed over it    (notWritten)
//   any other (a symbolic link, several  opened as given with   written in place (saved);
//   links, a device, a FIFO, a folder),  O_WRONLY|O_CREAT|      refused, as it was (notOpened);
//   or the folder refuses the temporary  O_TRUNC once the text  left empty, a plain file that
//   file or the rename, or that file     is whole, so that the  took part of it (emptied);
//   cannot take the old one's owner,     kernel checks links    else incomplete (a device, a
//   group, bits or attributes                                   FIFO, a file not emptied)
//   a temporary file that cannot be      -                      temporary file named: "ERROR:
//   removed again                                               could not remove temporary
//                                                               file <name>" on standard error,
//                                                               <name> being the folder part
//                                                               and `.vorelXXXXXX`; the result
//                                                               as had it been removed
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace vorel {

enum class SaveResult {
    saved,
    // Refused: a missing folder, a directory, no permission, a loop of links.
    notOpened,
    notWritten,
    // Emptied again, so that no start of the new text passes for a whole one.
    emptied,
    incomplete,
};

// `write` fills the stream and says whether it produced the whole text;
// nothing reaches the file unless it returns true. A replaced file keeps the
// old one's permission bits, owner, group and extended attributes (POSIX ACLs
// among them); a new name gets 0666 less the umask. While the save runs, a
// signal whose default action would end the process removes the temporary
// file first, and a file size limit fails the write instead of ending the
// process (utils/SaveSignals.h). One save at a time in a process.
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

} // namespace vorel
