// Files that must survive a crash: every write, flush to the disc, rename
// and creation of a named file the program keeps, and every read of the
// structure file, passes through here, and through the test seam
// (platform/fault_seam.h) that lets a test make the disc fail as a real one
// does.
#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace zanek {

// Exit status of a run the seam ended (kill or cut).
constexpr int kSeamExitCode = 137;

// True when ZANEK_WRITE_FAULT set a fault.
bool write_fault_armed();

// --- Descriptors of named files ---------------------------------------

// Opens path for reading and writing, creating it (mode 0666 less the
// umask) when missing; -1 on failure.
int open_rw(const std::string& path);
// Creates path, which must not exist, for reading and writing with the
// given permission bits; -1 on failure (errno tells why).
int create_new(const std::string& path, mode_t mode);
// The bytes and the length of a named file change only through write_at,
// extend_to, set_length, copy_range and copy_file_data here (direct-access
// files and copies), and through write_sequential (the buffers of a
// sequential file, routed here while the seam is armed; unarmed, the
// standard library writes them itself).
//
// Writes all n bytes at offset at: false on failure (errno tells why).
bool write_at(int fd, const void* data, std::size_t n, off_t at);
// Reads all n bytes at offset at: false on failure (errno tells why; EIO
// when the file ends first).
bool read_at(int fd, void* data, std::size_t n, off_t at);
// Makes the file at least length bytes long without claiming room on the
// disc for the new part (it reads as zeros).
bool extend_to(int fd, off_t length);
// Makes the empty file to a copy of file from, by the kernel: blocks shared
// where the file system can, else the data extents of from copied, its
// holes left holes, so that the copy takes no more room than the original.
bool copy_file_data(int from, int to);
// Copies the bytes [at, at + n) of from to the same place in to (by the
// kernel where it can).
bool copy_range(int from, int to, off_t at, off_t n);
// Sets the file's length (it is cut, or grows by a hole).
bool set_length(int fd, off_t length);
// Pushes what the file holds to the disc (fsync).
bool sync_fd(int fd);
// Renames from to to, replacing it (one step: to is always either file).
bool rename_over(const std::string& from, const std::string& to);
// Swaps the files at the two names in one step; false, with errno EINVAL
// or ENOSYS, where the file system cannot. take_back_exchange swaps them
// back (an event of its own, that can fail as the exchange can).
bool exchange_names(const std::string& from, const std::string& to);
bool take_back_exchange(const std::string& from, const std::string& to);
// Renames from to to only where no file is at to: false with errno EEXIST
// when one is, and it is never written over, not even by a file put there
// a moment before. Where the file system cannot refuse that in the rename
// itself (EINVAL, ENOSYS: NFS), a second name is made, which never replaces
// a file either, and the first removed. One event of the seam.
bool rename_new(const std::string& from, const std::string& to);
// Gives the file at existing a second name (a hard link); false with errno.
// To a power cut it is a name made: lost unless its folder is flushed. It
// is no event of the seam: it is made only in the moment after an exchange
// brought a user's file to the working copy's name, so that the file always
// has a name outside the copy's prefix; the taking back of the exchange
// that follows is the event where a fault lands.
bool add_name(const std::string& existing, const std::string& new_name);
// Pushes the folder of path to the disc: names made in it stay made.
bool sync_folder(const std::string& path);
// One write of a sequential file's buffer at its current offset, through
// the seam; the count written or -1.
ssize_t write_sequential(int fd, const char* data, std::size_t n);

// --- Locks --------------------------------------------------------------

// Takes an exclusive advisory lock (flock) on the open file fd. kLockHeld
// when another open file holds it, kLockFailed on any other failure.
constexpr int kLocked = 0, kLockHeld = -1, kLockFailed = -2;
int lock_exclusive(int fd);
// Opens path (which must exist) and takes the lock; the descriptor (>= 0)
// holds it until release_lock, else kLockHeld or kLockFailed.
int take_exclusive_lock(const std::string& path);
void release_lock(int fd);
// Closes the descriptor off the caller's path: the last close of a file
// with no name left frees its blocks, which can take long on a disc that
// discards them. Every descriptor handed over is closed before the
// process ends normally.
void close_later(int fd);

// --- Names --------------------------------------------------------------

bool file_present(const std::string& path);
// Removes the file; true when it is gone.
bool remove_file(const std::string& path);

// A file on the disc whatever name reaches it: its device and inode.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    friend auto operator<=>(const FileId&, const FileId&) = default;
};
// The file a stat describes; the file open on fd, or the one path names
// (symbolic links followed), none when it cannot be asked.
inline FileId file_id(const struct stat& sb) { return {sb.st_dev, sb.st_ino}; }
std::optional<FileId> file_id(int fd);
std::optional<FileId> file_id(const std::string& path);

// True when both paths name one file on the disc.
bool same_file(const std::string& a, const std::string& b);
// True when the descriptor's file is the one path names now.
bool fd_is_at(int fd, const std::string& path);
// True when both descriptors are open on one file.
bool same_open_file(int a, int b);
// The path with every symbolic link and every . and .. resolved, from the
// root; path itself when it cannot be resolved.
std::string resolved_path(const std::string& path);
std::string folder_of(const std::string& path);
std::string base_name(const std::string& path);

}  // namespace zanek
