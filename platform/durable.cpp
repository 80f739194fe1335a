#include "platform/durable.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zanek {

namespace {

// ---------------------------------------------------------------------
// The test seam: what happens at which event.

struct Fault {
    enum Kind { None, Kill, Cut, Full } kind = None;
    long at = 0;      // the event at which it happens (1-based)
    long span = 0;    // full only: events it lasts, 0 for ever
    long events = 0;  // counted events so far
};

Fault read_fault() {
    Fault f;
    const char* v = std::getenv("ZANEK_WRITE_FAULT");
    if (!v) return f;
    const std::string s(v);
    const std::size_t colon = s.find(':');
    if (colon == std::string::npos) return f;
    const std::string kind = s.substr(0, colon);
    char* rest = nullptr;
    const long at = std::strtol(s.c_str() + colon + 1, &rest, 10);
    if (at < 1) return f;
    if (kind == "kill") f.kind = Fault::Kill;
    else if (kind == "cut") f.kind = Fault::Cut;
    else if (kind == "full") f.kind = Fault::Full;
    f.at = at;
    if (rest && *rest == ':') f.span = std::max(0L, std::strtol(rest + 1, nullptr, 10));
    return f;
}

Fault& fault() {
    static Fault f = read_fault();
    return f;
}

bool cut_armed() { return fault().kind == Fault::Cut; }

// ---------------------------------------------------------------------
// Under a power cut, what is not yet on the disc: for each file, its
// length at its last flush and the old bytes of every write since; for
// each folder, the names made since its last flush.

struct FileChanges {
    int fd = -1;  // a descriptor of its own, valid whatever the file's name
    off_t length = 0;
    std::vector<std::pair<off_t, std::string>> old_bytes;
};

struct NameChange {
    std::string made;     // the name made (created, or renamed to)
    std::string renamed;  // for a rename: the name it had before
    std::string saved;    // for a rename over a file: that file, kept
    std::pair<dev_t, ino_t> file{};  // for a rename: the file renamed
};

struct Unsynced {
    std::map<std::pair<dev_t, ino_t>, FileChanges> files;
    std::map<std::string, std::vector<NameChange>> folders;
    int saves = 0;
};

Unsynced& unsynced() {
    static Unsynced u;
    return u;
}

void note_file_change(int fd, off_t at, std::size_t n) {
    if (!cut_armed()) return;
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return;
    auto [it, fresh] = unsynced().files.try_emplace({sb.st_dev, sb.st_ino});
    if (fresh) {
        it->second.fd = ::dup(fd);
        it->second.length = sb.st_size;
    }
    const off_t end = std::min<off_t>(at + static_cast<off_t>(n), sb.st_size);
    if (end <= at) return;
    std::string old(static_cast<std::size_t>(end - at), '\0');
    if (::pread(fd, old.data(), old.size(), at) == static_cast<ssize_t>(old.size()))
        it->second.old_bytes.emplace_back(at, std::move(old));
}

void forget_file_changes(int fd) {
    if (!cut_armed()) return;
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return;
    auto it = unsynced().files.find({sb.st_dev, sb.st_ino});
    if (it == unsynced().files.end()) return;
    ::close(it->second.fd);
    unsynced().files.erase(it);
}

// One folder goes by many names (relative, through links): the changes
// are kept under the folder's resolved name.
std::string folder_key(const std::string& path) { return resolved_path(folder_of(path)); }

void note_name_change(const std::string& path, NameChange change) {
    if (cut_armed()) unsynced().folders[folder_key(path)].push_back(std::move(change));
}

void forget_name_changes(const std::string& path) {
    if (!cut_armed()) return;
    const std::string folder = folder_key(path);
    for (const NameChange& c : unsynced().folders[folder])
        if (!c.saved.empty()) ::unlink(c.saved.c_str());
    unsynced().folders.erase(folder);
}

// A rename not yet on the disc may or may not be there after the power
// came back: the worse is taken. A file renamed before its data was on
// the disc keeps its new name (and loses the data); one whose data was
// on the disc loses the name (a command that had ended ok is lost).
bool rename_survives(const NameChange& c) { return unsynced().files.count(c.file) > 0; }

// What the disc holds after the power came back.
void lose_what_is_not_on_the_disc() {
    for (auto& [folder, changes] : unsynced().folders) {
        for (auto c = changes.rbegin(); c != changes.rend(); ++c) {
            if (c->renamed.empty()) {
                ::unlink(c->made.c_str());
                continue;
            }
            if (rename_survives(*c)) continue;
            ::rename(c->made.c_str(), c->renamed.c_str());
            if (!c->saved.empty()) ::rename(c->saved.c_str(), c->made.c_str());
        }
    }
    for (auto& [key, f] : unsynced().files) {
        for (auto w = f.old_bytes.rbegin(); w != f.old_bytes.rend(); ++w)
            (void)!::pwrite(f.fd, w->second.data(), w->second.size(), w->first);
        (void)!::ftruncate(f.fd, f.length);
    }
}

// Counts one event: false when it must fail as on a full disc (needs_room
// tells whether it claims new room); does not return when the run ends.
bool event_passes(bool needs_room) {
    Fault& f = fault();
    if (f.kind == Fault::None) return true;
    f.events += 1;
    if (f.events < f.at) return true;
    if (f.kind == Fault::Kill) ::_exit(kSeamExitCode);
    if (f.kind == Fault::Cut) {
        lose_what_is_not_on_the_disc();
        ::_exit(kSeamExitCode);
    }
    if (f.span > 0 && f.events >= f.at + f.span) return true;
    return !needs_room;
}

// Whether writing n bytes at offset at claims new blocks of the disc: past
// the end of the file, or into a hole. Asked only when the seam fills the
// disc.
bool needs_room(int fd, off_t at, std::size_t n) {
    if (fault().kind != Fault::Full) return false;
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return true;
    const off_t end = at + static_cast<off_t>(n);
    if (end > sb.st_size) return true;
    const off_t hole = ::lseek(fd, at, SEEK_HOLE);
    return hole < 0 || hole < end;
}

bool all_zero(const char* p, std::size_t n) {
    return std::all_of(p, p + n, [](char c) { return c == 0; });
}

}  // namespace

bool write_fault_armed() { return fault().kind != Fault::None; }

int create_new(const std::string& path, mode_t mode) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) note_name_change(path, {path, "", "", {}});
    return fd;
}

int open_rw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    return create_new(path, 0666);
}

bool write_at(int fd, const void* data, std::size_t n, off_t at) {
    if (!event_passes(needs_room(fd, at, n))) {
        errno = ENOSPC;
        return false;
    }
    note_file_change(fd, at, n);
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        at += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool extend_to(int fd, off_t length) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return false;
    if (sb.st_size >= length) return true;
    note_file_change(fd, sb.st_size, 0);
    return ::ftruncate(fd, length) == 0;
}

bool copy_keeping_holes(int from, int to) {
    struct stat sb;
    if (::fstat(from, &sb) != 0) return false;
    // A file system that shares blocks between files copies at no cost.
    if (!write_fault_armed() && ::ioctl(to, FICLONE, from) == 0) return true;
    constexpr std::size_t kPage = 4096, kChunk = 1 << 16;
    std::vector<char> chunk(kChunk);
    for (off_t at = 0; at < sb.st_size;) {
        const ssize_t r = ::pread(from, chunk.data(), kChunk, at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        // Runs of pages that are not all zero are written; the rest stays
        // a hole of the copy.
        const std::size_t got = static_cast<std::size_t>(r);
        std::size_t start = 0, run = 0;
        for (std::size_t p = 0; p < got; p += kPage) {
            const std::size_t len = std::min(kPage, got - p);
            if (!all_zero(chunk.data() + p, len)) {
                if (run == 0) start = p;
                run += len;
                if (p + len < got) continue;
            }
            if (run > 0 && !write_at(to, chunk.data() + start, run, at + static_cast<off_t>(start))) return false;
            run = 0;
        }
        at += r;
    }
    return extend_to(to, sb.st_size);
}

bool sync_fd(int fd) {
    if (!event_passes(false)) return false;
    if (::fsync(fd) != 0) return false;
    forget_file_changes(fd);
    return true;
}

bool rename_over(const std::string& from, const std::string& to) {
    if (!event_passes(true)) {
        errno = ENOSPC;
        return false;
    }
    NameChange change{to, from, "", {}};
    struct stat sb;
    if (cut_armed() && ::stat(from.c_str(), &sb) == 0) change.file = {sb.st_dev, sb.st_ino};
    if (cut_armed() && file_present(to)) {
        change.saved = to + ".cut-" + std::to_string(++unsynced().saves);
        if (::link(to.c_str(), change.saved.c_str()) != 0) change.saved.clear();
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        const int err = errno;
        if (!change.saved.empty()) ::unlink(change.saved.c_str());
        errno = err;
        return false;
    }
    note_name_change(to, change);
    return true;
}

bool sync_folder(const std::string& path) {
    if (!event_passes(false)) return false;
    const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    if (ok) forget_name_changes(path);
    return ok;
}

ssize_t write_sequential(int fd, const char* data, std::size_t n) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (!event_passes(needs_room(fd, at < 0 ? 0 : at, n))) {
        errno = ENOSPC;
        return -1;
    }
    ssize_t w;
    do w = ::write(fd, data, n);
    while (w < 0 && errno == EINTR);
    return w;
}

int lock_exclusive(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? kLockHeld : kLockFailed;
    }
    return kLocked;
}

int take_exclusive_lock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kLockFailed;
    const int got = lock_exclusive(fd);
    if (got == kLocked) return fd;
    ::close(fd);
    return got;
}

void release_lock(int fd) {
    if (fd >= 0) ::close(fd);  // closing the descriptor gives up its lock
}

bool file_present(const std::string& path) {
    struct stat sb;
    return ::lstat(path.c_str(), &sb) == 0;
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool fd_is_at(int fd, const std::string& path) {
    struct stat sa, sb;
    if (::fstat(fd, &sa) != 0 || ::stat(path.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool same_open_file(int a, int b) {
    struct stat sa, sb;
    if (::fstat(a, &sa) != 0 || ::fstat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_name(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string resolved_path(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    if (::realpath(folder_of(path).c_str(), buf)) return std::string(buf) + "/" + base_name(path);
    return path;
}

}  // namespace zanek
