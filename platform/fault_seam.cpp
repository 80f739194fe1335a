#include "platform/fault_seam.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/durable.h"

namespace zanek::seam {

namespace {

// ---------------------------------------------------------------------
// What happens at which event.

struct Fault {
    enum Kind { None, Kill, Cut, Full, Fail, Stop } kind = None;
    long at = 0;      // the event at which it happens (1-based)
    long span = 0;    // full and fail: events it lasts, 0 for ever
    long events = 0;  // counted events so far
};

Fault::Kind kind_named(const std::string& name) {
    if (name == "kill") return Fault::Kill;
    if (name == "cut") return Fault::Cut;
    if (name == "full") return Fault::Full;
    if (name == "fail") return Fault::Fail;
    if (name == "stop") return Fault::Stop;
    return Fault::None;
}

Fault read_fault() {
    Fault f;
    const char* v = std::getenv("ZANEK_WRITE_FAULT");
    if (!v) return f;
    const std::string s(v);
    const std::size_t colon = s.find(':');
    if (colon == std::string::npos) return f;
    char* rest = nullptr;
    const long at = std::strtol(s.c_str() + colon + 1, &rest, 10);
    if (at < 1) return f;
    f.kind = kind_named(s.substr(0, colon));
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
// each folder (by device and inode, whatever name it is reached by), the
// names made since its last flush.

using FileId = std::pair<dev_t, ino_t>;

struct FileChanges {
    int fd = -1;  // a descriptor of its own, valid whatever the file's name
    off_t length = 0;
    std::vector<std::pair<off_t, std::string>> old_bytes;
};

struct NameChange {
    std::string made;     // the name made (created, or renamed to)
    std::string renamed;  // for a rename: the name it had before
    std::string saved;    // for a rename over a file: that file, kept
    FileId file{};        // for a rename: the file renamed
};

struct Unsynced {
    std::map<FileId, FileChanges> files;
    std::map<FileId, std::vector<NameChange>> folders;
    int saves = 0;
};

Unsynced& unsynced() {
    static Unsynced u;
    return u;
}

bool id_of(int fd, FileId& id) {
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return false;
    id = {sb.st_dev, sb.st_ino};
    return true;
}

bool folder_id(const std::string& path, FileId& id) {
    struct stat sb;
    if (::stat(folder_of(path).c_str(), &sb) != 0) return false;
    id = {sb.st_dev, sb.st_ino};
    return true;
}

void note_name_change(const std::string& path, NameChange change) {
    FileId folder;
    if (cut_armed() && folder_id(path, folder)) unsynced().folders[folder].push_back(std::move(change));
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

bool within_span(const Fault& f) { return f.span == 0 || f.events < f.at + f.span; }

}  // namespace

bool armed() { return fault().kind != Fault::None; }

bool fills_disc() { return fault().kind == Fault::Full; }

bool event_passes(bool needs_room) {
    Fault& f = fault();
    if (f.kind == Fault::None) return true;
    f.events += 1;
    if (f.events < f.at) return true;
    switch (f.kind) {
    case Fault::Kill: ::_exit(kSeamExitCode);
    case Fault::Cut:
        lose_what_is_not_on_the_disc();
        ::_exit(kSeamExitCode);
    case Fault::Stop:
        if (f.events == f.at) ::raise(SIGSTOP);
        return true;
    case Fault::Full:
        if (!within_span(f) || !needs_room) return true;
        errno = ENOSPC;
        return false;
    case Fault::Fail:
        if (!within_span(f)) return true;
        errno = EIO;
        return false;
    case Fault::None: break;
    }
    return true;
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

void file_flushed(int fd) {
    FileId id;
    if (!cut_armed() || !id_of(fd, id)) return;
    auto it = unsynced().files.find(id);
    if (it == unsynced().files.end()) return;
    ::close(it->second.fd);
    unsynced().files.erase(it);
}

void note_creation(const std::string& path) { note_name_change(path, {path, "", "", {}}); }

RenameNote before_rename(const std::string& from, const std::string& to) {
    RenameNote note{from, to, "", 0, 0};
    if (!cut_armed()) return note;
    struct stat sb;
    if (::stat(from.c_str(), &sb) == 0) note.dev = sb.st_dev, note.ino = sb.st_ino;
    if (file_present(to)) {
        note.saved = to + ".cut-" + std::to_string(++unsynced().saves);
        if (::link(to.c_str(), note.saved.c_str()) != 0) note.saved.clear();
    }
    return note;
}

void rename_done(const RenameNote& note, bool ok) {
    if (ok) note_name_change(note.to, {note.to, note.from, note.saved, {note.dev, note.ino}});
    else if (!note.saved.empty()) ::unlink(note.saved.c_str());
}

void exchange_taken_back(const std::string& to) {
    FileId folder;
    if (!cut_armed() || !folder_id(to, folder)) return;
    std::vector<NameChange>& changes = unsynced().folders[folder];
    if (changes.empty() || changes.back().made != to) return;
    if (!changes.back().saved.empty()) ::unlink(changes.back().saved.c_str());
    changes.pop_back();
}

void folder_flushed(int dirfd) {
    FileId id;
    if (!cut_armed() || !id_of(dirfd, id)) return;
    auto it = unsynced().folders.find(id);
    if (it == unsynced().folders.end()) return;
    for (const NameChange& c : it->second)
        if (!c.saved.empty()) ::unlink(c.saved.c_str());
    unsynced().folders.erase(it);
}

}  // namespace zanek::seam
