// The structure file holds everything a crystallographer has done to a
// structure; whatever happens to a run, the file afterwards is as it was
// before the command that was running, or as that command left it when
// done. Three things see to it:
//
// - the run holds an exclusive advisory lock on the file from opening to
//   closing, so that a second run cannot write over it;
// - before a command that may store lists, a copy of the file is written
//   beside it ("<file>.bak", flushed to the disc); it is removed once the
//   command has ended and its lists are on the disc. A command that fails
//   or stops has the copy put back;
// - a run that opens a file with such a copy beside it (left by a run that
//   was killed, or by a machine that went down) puts the copy back first
//   and says so.
#pragma once

#include <string>

namespace zanek {

// The name of the copy kept beside the structure file while a command runs.
std::string structure_copy_name(const std::string& structure_file);

// Takes the lock on the structure file just opened on its unit (the lock
// of a file held before must have been let go). False, after saying so on
// the listing, when another run holds the file.
bool hold_structure_file();
// Gives up the lock of the last file held (at the end of the run, or
// before another structure file is opened).
void let_go_structure_file();
// True when path names the structure file held (or its copy): no other
// file the run writes may be it.
bool names_structure_file(const std::string& path);
// Puts back the copy an interrupted run left beside the structure file
// held, and says so. False, after saying why, when it cannot be put back.
bool recover_interrupted_command();

// One command that may store lists.
class CommandGuard {
public:
    // Writes the copy of the file; false, after saying why, when it cannot
    // be written (a full disc): the command must then not run. Without an
    // open structure file there is nothing to keep.
    bool begin();
    // The command has ended ok: every word its lists registered is written
    // out, the file is flushed to the disc and the copy removed. Stops as
    // a write error of the file when the file cannot be flushed.
    void commit();
    // The command failed or stopped: the copy is put back, the index read
    // again, the deletions a failing command orders are made once more, and
    // the copy removed.
    void undo();
};

// What is stored now stands even when the running command fails later:
// the model the user edited in the viewer and sent back.
void keep_stored_lists();
// Deletes a list so that it stays deleted when the running command then
// fails: a failure that must leave no phases behind orders it.
void delete_list_for_good(int type);

}  // namespace zanek
