#include "platform/durable.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zanek {

namespace {

// The test seam: what to do at which write.
struct Fault {
    enum Kind { None, Kill, Full } kind = None;
    long at = 0;       // the counted write at which it happens (1-based)
    long written = 0;  // counted writes so far
};

Fault read_fault() {
    Fault f;
    const char* v = std::getenv("ZANEK_WRITE_FAULT");
    if (!v) return f;
    std::string s(v);
    const std::size_t colon = s.find(':');
    if (colon == std::string::npos) return f;
    const std::string kind = s.substr(0, colon);
    const long at = std::strtol(s.c_str() + colon + 1, nullptr, 10);
    if (at < 1) return f;
    if (kind == "kill") f.kind = Fault::Kill;
    else if (kind == "full") f.kind = Fault::Full;
    f.at = at;
    return f;
}

Fault& fault() {
    static Fault f = read_fault();
    return f;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A rename or a new name is on the disc only once its folder is.
bool sync_folder(const std::string& path) {
    const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool write_all(int fd, const char* data, std::size_t n, off_t at, bool grows) {
    while (n > 0) {
        if (!write_permitted(grows)) {
            errno = ENOSPC;
            return false;
        }
        const ssize_t w = ::pwrite(fd, data, n, at);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        at += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Copies the whole of file descriptor in to out from offset 0; grows tells
// whether the writes lengthen out.
bool copy_contents(int in, int out, off_t& length, bool grows_out) {
    std::vector<char> chunk(1 << 16);
    length = 0;
    for (;;) {
        const ssize_t r = ::pread(in, chunk.data(), chunk.size(), length);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return true;
        if (!write_all(out, chunk.data(), static_cast<std::size_t>(r), length, grows_out)) return false;
        length += r;
    }
}

}  // namespace

bool write_permitted(bool grows) {
    Fault& f = fault();
    if (f.kind == Fault::None) return true;
    f.written += 1;
    if (f.written < f.at) return true;
    if (f.kind == Fault::Kill) ::_exit(137);  // as a kill: nothing buffered reaches the file
    return !grows;
}

bool write_fault_armed() { return fault().kind != Fault::None; }

int take_exclusive_lock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kLockFailed;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? kLockHeld : kLockFailed;
    }
    return fd;
}

void release_lock(int fd) {
    if (fd >= 0) ::close(fd);  // closing the descriptor gives up its lock
}

bool sync_stream(FILE* fp) {
    if (!fp) return false;
    if (std::fflush(fp) != 0) return false;
    return ::fsync(fileno(fp)) == 0;
}

std::string unfinished_copy_name(const std::string& to) { return to + ".new"; }

bool copy_whole(const std::string& from, const std::string& to) {
    const std::string temp = unfinished_copy_name(to);
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    off_t length = 0;
    bool ok = copy_contents(in, out, length, true) && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    if (ok) ok = ::rename(temp.c_str(), to.c_str()) == 0 && sync_folder(to);
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool put_back(const std::string& copy, const std::string& target) {
    const int in = ::open(copy.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        return false;
    }
    // The target is never shorter than the copy of itself taken earlier,
    // so these writes need no new room on the disc.
    off_t length = 0;
    bool ok = copy_contents(in, out, length, false) && ::ftruncate(out, length) == 0 && ::fsync(out) == 0;
    ok = ::close(out) == 0 && ok;
    ::close(in);
    return ok;
}

bool file_present(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0;
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace zanek
