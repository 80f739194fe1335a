#include "platform/durable.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <linux/fs.h>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/fault_seam.h"

namespace zanek {

namespace {

// Whether writing n bytes at offset at claims new blocks of the disc: past
// the end of the file, or into a hole. Asked only when the seam fills the
// disc.
bool needs_room(int fd, off_t at, std::size_t n) {
    if (!seam::fills_disc()) return false;
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return true;
    const off_t end = at + static_cast<off_t>(n);
    if (end > sb.st_size) return true;
    const off_t hole = ::lseek(fd, at, SEEK_HOLE);
    return hole < 0 || hole < end;
}

// Copies [at, at + n) of from to to with plain reads and writes, where the
// kernel cannot copy between the two files.
bool copy_by_hand(int from, int to, off_t at, off_t n) {
    std::vector<char> buf(static_cast<std::size_t>(std::min<off_t>(n, 1 << 20)));
    while (n > 0) {
        const ssize_t r = ::pread(from, buf.data(), static_cast<std::size_t>(std::min<off_t>(n, buf.size())), at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (r == 0) errno = EIO;  // the file is shorter than it said
            return false;
        }
        const char* p = buf.data();
        for (ssize_t left = r; left > 0;) {
            const ssize_t w = ::pwrite(to, p, static_cast<std::size_t>(left), at);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            p += w, at += w, left -= w;
        }
        n -= r;
    }
    return true;
}

// The thread that closes descriptors handed over by close_later.
class Closer {
public:
    ~Closer() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ending_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable()) thread_.join();
        for (int fd : waiting_) ::close(fd);
    }
    void hand_over(int fd) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.push_back(fd);
            if (!thread_.joinable()) thread_ = std::thread([this] { close_all(); });
        }
        wake_.notify_one();
    }

private:
    void close_all() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return ending_ || !waiting_.empty(); });
            if (waiting_.empty()) return;
            const int fd = waiting_.front();
            waiting_.pop_front();
            lock.unlock();
            ::close(fd);
            lock.lock();
        }
    }
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<int> waiting_;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace

bool write_fault_armed() { return seam::armed(); }

int create_new(const std::string& path, mode_t mode) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) seam::note_creation(path);
    return fd;
}

int open_rw(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    return create_new(path, 0666);
}

bool write_at(int fd, const void* data, std::size_t n, off_t at) {
    if (!seam::event_passes(needs_room(fd, at, n))) return false;
    seam::note_file_change(fd, at, n);
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

bool read_at(int fd, void* data, std::size_t n, off_t at) {
    if (!seam::read_passes()) return false;
    char* p = static_cast<char*>(data);
    while (n > 0) {
        const ssize_t r = ::pread(fd, p, n, at);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            if (r == 0) errno = EIO;  // the file ends before the bytes asked for
            return false;
        }
        p += r;
        at += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

bool extend_to(int fd, off_t length) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return false;
    if (sb.st_size >= length) return true;
    seam::note_file_change(fd, sb.st_size, 0);
    return ::ftruncate(fd, length) == 0;
}

bool set_length(int fd, off_t length) {
    seam::note_file_change(fd, length, 0);
    return ::ftruncate(fd, length) == 0;
}

bool copy_range(int from, int to, off_t at, off_t n) {
    if (!seam::copy_passes(needs_room(to, at, static_cast<std::size_t>(n)))) return false;
    seam::note_file_change(to, at, static_cast<std::size_t>(n));
    off_t in = at, out = at;
    while (n > 0) {
        const ssize_t w = ::copy_file_range(from, &in, to, &out, static_cast<std::size_t>(n), 0);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP))
            return copy_by_hand(from, to, in, n);
        if (w < 0) return false;
        if (w == 0) {
            errno = EIO;  // the file is shorter than it said
            return false;
        }
        n -= w;
    }
    return true;
}

bool copy_file_data(int from, int to) {
    struct stat sb;
    if (::fstat(from, &sb) != 0) return false;
    // A file system that shares blocks between files copies at no cost.
    if (!seam::armed() && ::ioctl(to, FICLONE, from) == 0) return true;
    if (!set_length(to, sb.st_size)) return false;
    // Only the data extents are copied: the holes of the file stay holes.
    off_t at = ::lseek(from, 0, SEEK_DATA);
    while (at >= 0 && at < sb.st_size) {
        off_t end = ::lseek(from, at, SEEK_HOLE);
        if (end < 0 || end > sb.st_size) end = sb.st_size;
        if (!copy_range(from, to, at, end - at)) return false;
        at = end < sb.st_size ? ::lseek(from, end, SEEK_DATA) : sb.st_size;
    }
    // Past the last extent there is no more data to find (ENXIO).
    return at >= 0 || errno == ENXIO;
}

bool sync_fd(int fd) { return seam::fsync(fd) == 0; }

namespace {

enum class Rename { Over, New, Exchange, TakeBack };

unsigned rename_flags(Rename how) {
    if (how == Rename::Over) return 0;
    return how == Rename::New ? RENAME_NOREPLACE : RENAME_EXCHANGE;
}

bool seam_rename(const std::string& from, const std::string& to, Rename how) {
    if (!seam::event_passes(true)) return false;
    const seam::RenameNote note = seam::before_rename(from, to);
    const bool ok = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), rename_flags(how)) == 0;
    const int err = errno;
    if (how == Rename::TakeBack) seam::exchange_taken_back(note, ok);
    else seam::rename_done(note, ok);
    errno = err;
    return ok;
}

// A rename to a new name made of a second name and the removal of the
// first: to a power cut it is one rename, lost unless its folder is
// flushed.
bool rename_by_second_name(const std::string& from, const std::string& to) {
    const seam::RenameNote note = seam::before_rename(from, to);
    const bool ok = ::link(from.c_str(), to.c_str()) == 0;
    const int err = errno;
    if (ok) ::unlink(from.c_str());
    seam::rename_done(note, ok);
    errno = err;
    return ok;
}

}  // namespace

bool rename_over(const std::string& from, const std::string& to) { return seam_rename(from, to, Rename::Over); }

bool rename_new(const std::string& from, const std::string& to) {
    if (seam::exchange_refused()) {
        if (!seam::event_passes(true)) return false;
        return rename_by_second_name(from, to);
    }
    if (seam_rename(from, to, Rename::New)) return true;
    return (errno == EINVAL || errno == ENOSYS) && rename_by_second_name(from, to);
}

bool exchange_names(const std::string& from, const std::string& to) {
    if (const int refused = seam::exchange_refused()) {
        errno = refused;
        return false;
    }
    return seam_rename(from, to, Rename::Exchange);
}

bool take_back_exchange(const std::string& from, const std::string& to) {
    return seam_rename(from, to, Rename::TakeBack);
}

bool add_name(const std::string& existing, const std::string& new_name) {
    if (::link(existing.c_str(), new_name.c_str()) != 0) return false;
    seam::note_creation(new_name);
    return true;
}

bool sync_folder(const std::string& path) {
    const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = seam::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

ssize_t write_sequential(int fd, const char* data, std::size_t n) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (!seam::event_passes(needs_room(fd, at < 0 ? 0 : at, n))) return -1;
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
    // A pipe put at the name must not make the run wait for its writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return kLockFailed;
    const int got = lock_exclusive(fd);
    if (got == kLocked) return fd;
    ::close(fd);
    return got;
}

void release_lock(int fd) {
    if (fd >= 0) ::close(fd);  // closing the descriptor gives up its lock
}

void close_later(int fd) {
    static Closer closer;
    if (fd >= 0) closer.hand_over(fd);
}

bool file_present(const std::string& path) {
    struct stat sb;
    return ::lstat(path.c_str(), &sb) == 0;
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

std::optional<FileId> file_id(int fd) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return std::nullopt;
    return file_id(sb);
}

std::optional<FileId> file_id(const std::string& path) {
    struct stat sb;
    if (::stat(path.c_str(), &sb) != 0) return std::nullopt;
    return file_id(sb);
}

namespace {

bool one_file(const std::optional<FileId>& a, const std::optional<FileId>& b) { return a && b && *a == *b; }

}  // namespace

bool same_file(const std::string& a, const std::string& b) { return one_file(file_id(a), file_id(b)); }

bool fd_is_at(int fd, const std::string& path) { return one_file(file_id(fd), file_id(path)); }

bool same_open_file(int a, int b) { return one_file(file_id(a), file_id(b)); }

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
