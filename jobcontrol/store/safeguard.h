// The structure file holds everything a crystallographer has done to a
// structure; whatever happens to a run, the file afterwards is as it was
// before the command that was running, or as that command left it when
// done. Nothing is ever put back into it:
//
// - the run holds an exclusive advisory lock on the file from opening to
//   closing, so that a second run cannot write over it;
// - the first write of a command goes to a working copy of the file, made
//   beside the file's real path (links resolved) under a name of the
//   program's own (".<file>.zanek-work-<process>"), with the file's holes,
//   owner, group, permission bits and extended attributes (a command that
//   cannot give it those, so that no one would lose or gain access to the
//   file, fails there). The command's changes go there. When the command
//   ends ok the copy is flushed to the disc and swapped with the file (in
//   one step where the file system can, else checked and renamed over), if
//   the name still leads to the file the run holds and the copy's name to
//   the copy; the lock goes with it. A file a user put at either name is
//   never written over, installed or removed: one found at a copy's name
//   is given a name of its own (".zanek-found-<process>" after the file's,
//   never one already taken), and anything there but a plain file (a pipe,
//   say) is left alone, never opened so that the run could wait on it.
//   A command that writes nothing makes no copy;
// - the file a command replaced (or the copy a failed command dropped)
//   stays beside the file, locked, and becomes the next command's copy once
//   the records in which the two differ are copied into it: a command
//   copies only what the one before it changed, and no whole file is freed
//   while commands run. One that another link still names, or whose swap
//   may not be on the disc, is never written in place;
// - a run killed during a command leaves the file untouched and its copy
//   beside it: the next run on the file removes it unread, and says so.
#pragma once

#include <functional>
#include <string>

namespace zanek {

// Takes the lock on the structure file just opened on its unit (the lock
// of a file held before must have been let go); when the file was renamed
// away under the run before it held it, the name is opened again. False,
// after saying so on the listing, when another run holds the file.
bool hold_structure_file();
// Gives up the lock of the last file held (at the end of the run, or
// before another structure file is opened).
void let_go_structure_file();
// True when path names the structure file held, and when it names a
// working copy of it (the running command's, or one a run left): no other
// file the run writes may be one of them.
bool names_structure_file(const std::string& path);
bool names_working_copy(const std::string& path);
// Removes the working copies that runs which did not end normally left
// beside the structure file held, and says so on the listing.
void remove_leftover_copies();

// Called before every write of a record (1-based) to the structure file:
// the first write of a command makes its working copy. Throws
// CommandFailed, after saying why on the listing, when the copy cannot be
// made (a folder the user may not write, a full disc, a file whose owner
// and rights the copy could not keep).
void prepare_store_write(int record);

// One command's changes to the structure file, from the guard's making to
// its commit. A command that failed is undone: its working copy and
// whatever the buffers hold are dropped, the index is read again from the
// file, and the deletions a failing command orders are made. A command not
// committed when the guard goes (a stop on its way) is undone too, but
// nothing leaves the destructor: where the disc fails the undo again, the
// file goes back as it was before the command and nothing more is read.
class CommandGuard {
public:
    // The command starts: nothing is copied until it writes. A fresh start
    // (a new index for the file) begins from an empty copy, not from what
    // the file held.
    explicit CommandGuard(bool fresh = false);
    ~CommandGuard();
    CommandGuard(const CommandGuard&) = delete;
    CommandGuard& operator=(const CommandGuard&) = delete;
    // The command has ended ok: every word its lists registered is written
    // out and the working copy, flushed to the disc, becomes the structure
    // file. False, after saying why and undoing the command, when it cannot.
    bool commit();
    // The command has failed: it is undone now, so that a stop met on the
    // way (the disc fails the index's reading) reaches the caller.
    void undo();
    // The change (a new index for the file) is stored with the next
    // command's, so that the file is flushed and replaced once for both; it
    // stands whether that command ends ok or not: after an undo, remake
    // makes it again and it is stored on its own. Where no command follows,
    // settle_structure_file stores it.
    void pass_on(std::function<void()> remake);
};

// Stores a change passed on that no command has taken up: called before
// the structure file is closed.
void settle_structure_file();

// What is stored now stands even when the running command fails later:
// the model the user edited in the viewer and sent back.
void keep_stored_lists();
// Deletes a list so that it stays deleted when the running command then
// fails: a failure that must leave no phases behind orders it.
void delete_list_for_good(int type);

}  // namespace zanek
