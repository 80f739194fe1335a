#include "platform/units.h"

#include "platform/durable.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zanek {

Units& units() {
    static Units table;
    return table;
}

Units::~Units() {
    for (int u = 0; u <= kMaxUnit; ++u) close(u);
}

UnitFile* Units::slot(int unit) {
    if (unit < 0 || unit > kMaxUnit) return nullptr;
    return &files_[unit];
}

bool Units::connected(int unit) const {
    if (unit < 0 || unit > kMaxUnit) return false;
    return files_[unit].fp != nullptr;
}

const UnitFile* Units::file(int unit) const {
    return connected(unit) ? &files_[unit] : nullptr;
}

static bool file_exists(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

namespace {

// A sequential file whose buffers go out through the write seam, so that a
// test can fail them as a full disc fails a flush.
ssize_t seam_read(void* cookie, char* buf, size_t n) { return ::read(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), buf, n); }
ssize_t seam_write(void* cookie, const char* buf, size_t n) {
    return write_sequential(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), buf, n);
}
int seam_seek(void* cookie, off64_t* at, int whence) {
    const off_t r = ::lseek(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), *at, whence);
    if (r < 0) return -1;
    *at = r;
    return 0;
}
int seam_close(void* cookie) { return ::close(static_cast<int>(reinterpret_cast<intptr_t>(cookie))); }

FILE* open_through_seam(const std::string& path, const char* mode) {
    const bool reading_only = mode[0] == 'r' && mode[1] != '+' && mode[2] != '+';
    int flags = reading_only ? O_RDONLY : O_RDWR;
    if (mode[0] == 'w') flags |= O_CREAT | O_TRUNC;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    FILE* fp = ::fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), mode,
                             {seam_read, seam_write, seam_seek, seam_close});
    if (!fp) ::close(fd);
    return fp;
}

FILE* open_named(const std::string& path, const char* mode) {
    return write_fault_armed() ? open_through_seam(path, mode) : std::fopen(path.c_str(), mode);
}

}  // namespace

int Units::open_seq(int unit, const std::string& path, OpenStatus st, FileForm form) {
    UnitFile* f = slot(unit);
    if (!f) return IO_OPEN_FAILED;
    close(unit);
    FILE* fp = nullptr;
    if (st == OpenStatus::Scratch) {
        fp = std::tmpfile();
    } else {
        if (st == OpenStatus::Old && !file_exists(path)) return IO_NOT_FOUND;
        if (st == OpenStatus::Old) {
            fp = open_named(path, "r+b");
            if (!fp) fp = open_named(path, "rb");  // a read-only file can still be read
        } else {
            // "unknown"/"new": create when missing; a sequential file opened
            // for output starts empty, as a listing or an export file does.
            fp = open_named(path, "w+b");
        }
    }
    if (!fp) return IO_OPEN_FAILED;
    f->name = path;
    f->fp = fp;
    f->direct = false;
    f->formatted = form == FileForm::Formatted;
    f->console = false;
    return IO_OK;
}

namespace {

// A stream on the open descriptor fd, which it then owns; null (fd
// closed, errno kept) when there is none.
FILE* stream_on(int fd) {
    if (fd < 0) return nullptr;
    FILE* fp = ::fdopen(fd, "r+b");
    if (!fp) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return fp;
}

}  // namespace

int Units::open_direct(int unit, const std::string& path, bool scratch, int recl_words) {
    if (scratch) return connect_direct(unit, std::tmpfile(), path, true, recl_words);
    // Open read-write, create when missing, never truncate. Records are
    // read and written on the descriptor, past the stream's buffer.
    return connect_direct(unit, stream_on(open_rw(path)), path, false, recl_words);
}

int Units::open_direct_on(int unit, int fd, const std::string& path, int recl_words) {
    return connect_direct(unit, stream_on(::fcntl(fd, F_DUPFD_CLOEXEC, 0)), path, false, recl_words);
}

int Units::connect_direct(int unit, FILE* fp, const std::string& path, bool scratch, int recl_words) {
    UnitFile* f = slot(unit);
    if (f) close(unit);
    if (!f || recl_words <= 0 || !fp) {
        if (fp) std::fclose(fp);
        return IO_OPEN_FAILED;
    }
    f->name = path;
    f->fp = fp;
    f->direct = true;
    f->formatted = false;
    f->console = false;
    f->recl_bytes = recl_words * 4;
    f->scratch = scratch;
    return IO_OK;
}

void Units::connect_console(int unit) {
    UnitFile* f = slot(unit);
    if (!f) return;
    close(unit);
    f->name = "con";
    f->console = true;
    f->direct = false;
    f->formatted = true;
    f->fp = unit == 6 || unit == 2 ? stdout : stdin;
}

int Units::close(int unit) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_OK;
    bool failed = std::ferror(f->fp) != 0;
    if (f->console) failed = std::fflush(f->fp) != 0 || failed;
    else failed = std::fclose(f->fp) != 0 || failed;
    *f = UnitFile{};
    return failed ? IO_WRITE_FAILED : IO_OK;
}

int Units::rewind(int unit) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (!f->console) std::rewind(f->fp);
    return IO_OK;
}

int Units::read_line(int unit, std::string& line, std::size_t max_len) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (f->direct) return IO_WRONG_KIND;
    line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f->fp)) != EOF) {
        any = true;
        if (c == '\n') return IO_OK;
        if (line.size() >= max_len) return IO_READ_FAILED;
        line.push_back(static_cast<char>(c));
    }
    if (std::ferror(f->fp)) return IO_READ_FAILED;
    return any ? IO_OK : IO_EOF;
}

int Units::write_line(int unit, const std::string& line) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (f->direct) return IO_WRONG_KIND;
    if (std::fwrite(line.data(), 1, line.size(), f->fp) != line.size() || std::fputc('\n', f->fp) == EOF)
        return IO_WRITE_FAILED;
    return IO_OK;
}

int Units::read_record(int unit, std::vector<Word>& rec) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (f->direct) return IO_WRONG_KIND;
    uint32_t n = 0;
    if (std::fread(&n, 4, 1, f->fp) != 1) return std::ferror(f->fp) ? IO_READ_FAILED : IO_EOF;
    rec.resize(n);
    if (n && std::fread(rec.data(), 4, n, f->fp) != n) return IO_READ_FAILED;
    return IO_OK;
}

int Units::write_record(int unit, const std::vector<Word>& rec) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (f->direct) return IO_WRONG_KIND;
    uint32_t n = static_cast<uint32_t>(rec.size());
    if (std::fwrite(&n, 4, 1, f->fp) != 1) return IO_WRITE_FAILED;
    if (n && std::fwrite(rec.data(), 4, n, f->fp) != n) return IO_WRITE_FAILED;
    return IO_OK;
}

int Units::read_direct(int unit, int rec, Word* words, int nwords) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (!f->direct || rec < 1 || nwords * 4 > f->recl_bytes) return IO_WRONG_KIND;
    const int fd = fileno(f->fp);
    const off_t off = static_cast<off_t>(rec - 1) * f->recl_bytes;
    const std::size_t n = static_cast<std::size_t>(nwords) * 4;
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return IO_READ_FAILED;
    if (off + static_cast<off_t>(n) > sb.st_size) return IO_BEYOND_END;
    if (!f->scratch) return read_at(fd, words, n, off) ? IO_OK : IO_READ_FAILED;
    // A scratch file is private to its command: it passes no seam.
    ssize_t r;
    do r = ::pread(fd, words, n, off);
    while (r < 0 && errno == EINTR);
    return r == static_cast<ssize_t>(n) ? IO_OK : IO_READ_FAILED;
}

int Units::write_direct(int unit, int rec, const Word* words, int nwords) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (!f->direct || rec < 1 || nwords * 4 > f->recl_bytes) return IO_WRONG_KIND;
    const int fd = fileno(f->fp);
    const off_t off = static_cast<off_t>(rec - 1) * f->recl_bytes;
    // A record is recl bytes long even where only its first words are
    // used: the file is made long enough first, the unused part a hole, so
    // that a run ended between the two steps leaves whole records only.
    const std::size_t n = static_cast<std::size_t>(nwords) * 4;
    if (f->scratch) {
        // A scratch file is private to its command: it passes no seam.
        struct stat sb;
        if (::fstat(fd, &sb) != 0) return IO_WRITE_FAILED;
        if (sb.st_size < off + f->recl_bytes && ::ftruncate(fd, off + f->recl_bytes) != 0) return IO_WRITE_FAILED;
        return ::pwrite(fd, words, n, off) == static_cast<ssize_t>(n) ? IO_OK : IO_WRITE_FAILED;
    }
    if (!extend_to(fd, off + f->recl_bytes)) return IO_WRITE_FAILED;
    return write_at(fd, words, n, off) ? IO_OK : IO_WRITE_FAILED;
}

int Units::flush(int unit) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    return std::fflush(f->fp) == 0 ? IO_OK : IO_WRITE_FAILED;
}

int Units::sync(int unit) {
    UnitFile* f = slot(unit);
    if (!f || !f->fp) return IO_NOT_CONNECTED;
    if (f->console) return flush(unit);
    if (std::fflush(f->fp) != 0) return IO_WRITE_FAILED;
    return sync_fd(fileno(f->fp)) ? IO_OK : IO_WRITE_FAILED;
}

UnitFile Units::take(int unit) {
    UnitFile* f = slot(unit);
    if (!f) return UnitFile{};
    UnitFile taken = *f;
    *f = UnitFile{};
    return taken;
}

void Units::give(int unit, const UnitFile& file) {
    UnitFile* f = slot(unit);
    if (!f) return;
    close(unit);
    *f = file;
}

void Units::rename(int unit, const std::string& name) {
    UnitFile* f = slot(unit);
    if (f && f->fp) f->name = name;
}

}  // namespace zanek
