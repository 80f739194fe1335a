// Files that must survive a crash: an exclusive advisory lock on a file,
// flushing a file to the disc, a copy of a file that is either whole or
// absent, and putting such a copy back in place.
//
// Every write made here or to a named direct-access file passes one seam,
// so that a test can make the k-th write end the process (as a kill or a
// power cut would) or make every write from the k-th on that lengthens a
// file fail (as on a full disc). The environment variable ZANEK_WRITE_FAULT
// sets it: "kill:K" or "full:K". Unset, the seam does nothing.
#pragma once

#include <cstdio>
#include <string>

namespace zanek {

// Called before each counted write; grows tells whether the write makes
// its file longer. False when the write must fail as on a full disc; does
// not return when the process is to end there.
bool write_permitted(bool grows);
// True when ZANEK_WRITE_FAULT set a fault: only then do writers need to
// work out whether a write lengthens its file.
bool write_fault_armed();

// Takes an exclusive advisory lock (flock) on the file at path, which must
// exist. The lock is held by the descriptor returned (>= 0) until
// release_lock. kLockHeld when another process holds a lock on the file,
// kLockFailed when the file cannot be opened or locked.
constexpr int kLockHeld = -1, kLockFailed = -2;
int take_exclusive_lock(const std::string& path);
void release_lock(int fd);

// Pushes what the stream holds to the disc (fflush and fsync).
bool sync_stream(FILE* fp);

// Writes a copy of the file `from` as `to`: the copy is written under a
// temporary name beside `to`, flushed to the disc and then renamed, so that
// `to` is either absent or a whole copy, whenever the process ends.
bool copy_whole(const std::string& from, const std::string& to);
// Writes the contents of `copy` over the file `target` in place (the file
// keeps its identity and its locks), cuts it to the copy's length and
// flushes it to the disc.
bool put_back(const std::string& copy, const std::string& target);
// The temporary name copy_whole writes under before the rename.
std::string unfinished_copy_name(const std::string& to);

bool file_present(const std::string& path);
// Removes the file; true when it is gone.
bool remove_file(const std::string& path);
// True when both paths name one file on the disc (same device and inode).
bool same_file(const std::string& a, const std::string& b);

}  // namespace zanek
