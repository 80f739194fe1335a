// The test seam of the durable-file layer: a test makes the disc fail, the
// power go or the process end at a chosen event, as a real disc, a power
// cut or a kill would. The environment variable ZANEK_WRITE_FAULT sets it;
// the counted events are writes (of a direct-access record, of an extent of
// a copied file, or of a buffer of a sequential file when it goes out),
// flushes to the disc, renames, exchanges of two names and their taking
// back, and, under fail and readfail only, reads of a named direct-access
// file (the structure file and its working copy):
//   kill:K      the process ends at event K, as a kill does: nothing held
//               in memory reaches a file, everything written before stays;
//   cut:K       the power fails at event K: what was not yet flushed to
//               the disc is lost as well (writes and file lengths since the
//               file's last flush, creations and renames since their
//               folder's last flush), then the process ends;
//   full:K      from event K on the disc is full: a write that needs a new
//               block of the disc (beyond the end of its file, or into a
//               hole) fails with ENOSPC, and so does a rename;
//   fail:K      from event K on the disc fails: every read, write, flush
//               and rename fails with an input/output error (EIO);
//   readfail:K  from event K on every read fails with EIO while writes,
//               flushes and renames still pass, as on a disc with bad
//               sectors or a network mount that times out; a copy between
//               files reads its source, so it fails too;
//   stop:K      the process stops itself at event K (SIGSTOP) and goes on
//               when it is continued: a test changes the files meanwhile;
//   full:K:N, fail:K:N, readfail:K:N  for N events only: then the disc
//               works again.
// Several faults, separated by commas, act on one count of events:
// "stop:12,fail:13:1" stops the process at event 12 and fails event 13.
// Reads are counted only where they can fail: a kill, a power cut or a
// full disc at a read leaves the disc as it was at the write event before
// it, so counting reads there would only lengthen the sweeps over events.
// Unset, the seam does nothing.
//
// The environment variable ZANEK_NO_EXCHANGE set to EINVAL or ENOSYS makes
// the file system one that cannot swap two names in one step (as some file
// systems and sandboxes cannot): every exchange of names is refused with
// that errno, touching nothing and counting no event. Such a file system
// (NFS) cannot refuse to replace a file in a rename either: a rename to a
// new name is made by a second name there.
#pragma once

#include <string>
#include <sys/types.h>

#include "platform/durable.h"

namespace zanek::seam {

bool armed();
// True when the seam fills the disc: only then is a write asked whether
// it claims new room.
bool fills_disc();
// Counts one event that writes (a write, a rename): false, with errno set
// (ENOSPC or EIO), when it must fail; needs_room tells whether it claims
// new blocks of the disc. Does not return when the run ends there.
bool event_passes(bool needs_room);
// The same for a write whose data is read from another file (a copy): it
// fails where a write or a read fails.
bool copy_passes(bool needs_room);
// A read of a named file: counted, and failed with EIO, under fail and
// readfail only.
bool read_passes();
// A flush of the open file (or folder) fd to the disc, counted as an event:
// -1 with errno EIO where the seam fails it, else what fsync itself answers.
// A flush that went through puts fd's changes on the disc for a power cut.
int fsync(int fd);
// The errno with which an exchange of names (or a rename that must not
// replace) is refused (EINVAL, ENOSYS), or 0 when the file system can.
int exchange_refused();

// What a power cut would lose. Writes: n bytes at offset at of the open
// file fd are about to change. Names: path was created; from is about to be
// renamed over (or exchanged with) to; the rename went through (or not);
// an exchange of from and to was taken back.
void note_file_change(int fd, off_t at, std::size_t n);
void note_creation(const std::string& path);
struct RenameNote {
    std::string from, to;
    std::string saved;  // under a power cut: the file that was at to, kept
    FileId file;        // the file renamed
};
RenameNote before_rename(const std::string& from, const std::string& to);
void rename_done(const RenameNote& note, bool ok);
void exchange_taken_back(const RenameNote& note, bool ok);

}  // namespace zanek::seam
