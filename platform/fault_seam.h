// The test seam of the durable-file layer: a test makes the disc fail, the
// power go or the process end at a chosen event, as a real disc, a power
// cut or a kill would. The environment variable ZANEK_WRITE_FAULT sets it;
// the counted events are writes (of a direct-access record, of an extent of
// a copied file, or of a buffer of a sequential file when it goes out),
// flushes to the disc and renames:
//   kill:K    the process ends at event K, as a kill does: nothing held in
//             memory reaches a file, everything written before stays;
//   cut:K     the power fails at event K: what was not yet flushed to the
//             disc is lost as well (writes and file lengths since the
//             file's last flush, creations and renames since their
//             folder's last flush), then the process ends;
//   full:K    from event K on the disc is full: a write that needs a new
//             block of the disc (beyond the end of its file, or into a
//             hole) fails, and so does a rename;
//   fail:K    from event K on the disc fails: every write, flush and
//             rename fails with an input/output error;
//   stop:K    the process stops itself at event K (SIGSTOP) and goes on
//             when it is continued: a test changes the files meanwhile;
//   full:K:N, fail:K:N  for N events only: then the disc works again.
// Unset, the seam does nothing.
#pragma once

#include <string>
#include <sys/types.h>

namespace zanek::seam {

bool armed();
// True when the seam fills the disc: only then is a write asked whether
// it claims new room.
bool fills_disc();
// Counts one event: false, with errno set (ENOSPC or EIO), when it must
// fail; needs_room tells whether it claims new blocks of the disc. Does
// not return when the run ends there.
bool event_passes(bool needs_room);

// What a power cut would lose. Writes: n bytes at offset at of the open
// file fd are about to change; a flush of fd puts them on the disc.
void note_file_change(int fd, off_t at, std::size_t n);
void file_flushed(int fd);
// Names: path was created; from is about to be renamed over (or exchanged
// with) to; the rename went through, or the exchange was taken back; the
// open folder dirfd was flushed to the disc.
void note_creation(const std::string& path);
struct RenameNote {
    std::string from, to;
    std::string saved;  // under a power cut: the file that was at to, kept
    dev_t dev = 0;      // the file renamed
    ino_t ino = 0;
};
RenameNote before_rename(const std::string& from, const std::string& to);
void rename_done(const RenameNote& note, bool ok);
void exchange_taken_back(const std::string& to);
void folder_flushed(int dirfd);

}  // namespace zanek::seam
