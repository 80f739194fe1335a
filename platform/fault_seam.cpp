#include "platform/fault_seam.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <optional>
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
    enum Kind { None, Kill, Cut, Full, Fail, ReadFail, Stop } kind = None;
    long at = 0;      // the event at which it happens (1-based)
    long span = 0;    // full, fail and readfail: events it lasts, 0 for ever
};

// The faults set, on one count of events.
struct Faults {
    std::vector<Fault> list;
    long events = 0;  // counted events so far
    bool any(Fault::Kind kind) const {
        return std::any_of(list.begin(), list.end(), [kind](const Fault& f) { return f.kind == kind; });
    }
};

Fault::Kind kind_named(const std::string& name) {
    if (name == "kill") return Fault::Kill;
    if (name == "cut") return Fault::Cut;
    if (name == "full") return Fault::Full;
    if (name == "fail") return Fault::Fail;
    if (name == "readfail") return Fault::ReadFail;
    if (name == "stop") return Fault::Stop;
    return Fault::None;
}

// One fault as "kind:K" or "kind:K:N"; kind None when it is not one.
Fault fault_named(const std::string& s) {
    Fault f;
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

Faults read_faults() {
    Faults faults;
    const char* v = std::getenv("ZANEK_WRITE_FAULT");
    if (!v) return faults;
    const std::string s(v);
    for (std::size_t at = 0; at <= s.size();) {
        const std::size_t comma = std::min(s.find(',', at), s.size());
        const Fault f = fault_named(s.substr(at, comma - at));
        if (f.kind != Fault::None) faults.list.push_back(f);
        at = comma + 1;
    }
    return faults;
}

Faults& faults() {
    static Faults f = read_faults();
    return f;
}

bool cut_armed() { return faults().any(Fault::Cut); }

// Only a disc that fails reads has reads to count.
bool reads_counted() { return faults().any(Fault::Fail) || faults().any(Fault::ReadFail); }

bool within_span(const Fault& f, long events) { return f.span == 0 || events < f.at + f.span; }

// What an event does to the disc.
struct Access {
    bool writes;
    bool reads;
    bool needs_room;  // the write claims new blocks of the disc
};

// ---------------------------------------------------------------------
// Under a power cut, what is not yet on the disc: for each file, its
// length at its last flush and the old bytes of every write since; for
// each folder (whatever name it is reached by), the names made since its
// last flush.

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

void drop_saved(const std::string& saved) {
    if (!saved.empty()) ::unlink(saved.c_str());
}

void note_name_change(const std::string& path, NameChange change) {
    const std::optional<FileId> folder = file_id(folder_of(path));
    if (cut_armed() && folder) unsynced().folders[*folder].push_back(std::move(change));
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

// The open file or folder fd is on the disc: a power cut keeps what was
// written to it, and the names made in it.
void flushed(int fd) {
    const std::optional<FileId> id = file_id(fd);
    if (!cut_armed() || !id) return;
    if (auto file = unsynced().files.find(*id); file != unsynced().files.end()) {
        ::close(file->second.fd);
        unsynced().files.erase(file);
    }
    if (auto folder = unsynced().folders.find(*id); folder != unsynced().folders.end()) {
        for (const NameChange& c : folder->second) drop_saved(c.saved);
        unsynced().folders.erase(folder);
    }
}

// What one fault does at the event: true when the event passes it.
bool passes_fault(const Fault& f, long events, const Access& a) {
    if (events < f.at) return true;
    switch (f.kind) {
    case Fault::Kill: ::_exit(kSeamExitCode);
    case Fault::Cut:
        lose_what_is_not_on_the_disc();
        ::_exit(kSeamExitCode);
    case Fault::Stop:
        if (events == f.at) ::raise(SIGSTOP);
        return true;
    case Fault::Full:
        if (!within_span(f, events) || !a.needs_room) return true;
        errno = ENOSPC;
        return false;
    case Fault::Fail:
        if (!within_span(f, events)) return true;
        errno = EIO;
        return false;
    case Fault::ReadFail:
        if (!within_span(f, events) || !a.reads) return true;
        errno = EIO;
        return false;
    case Fault::None: break;
    }
    return true;
}

// Counts the event, if it is one, and tells whether it passes every fault.
bool passes(const Access& a) {
    Faults& all = faults();
    if (all.list.empty()) return true;
    if (!a.writes && !reads_counted()) return true;
    all.events += 1;
    for (const Fault& f : all.list)
        if (!passes_fault(f, all.events, a)) return false;
    return true;
}

int exchange_errno() {
    const char* v = std::getenv("ZANEK_NO_EXCHANGE");
    if (!v) return 0;
    const std::string s(v);
    return s == "EINVAL" ? EINVAL : s == "ENOSYS" ? ENOSYS : 0;
}

}  // namespace

bool armed() { return !faults().list.empty(); }

bool fills_disc() { return faults().any(Fault::Full); }

bool event_passes(bool needs_room) { return passes({true, false, needs_room}); }

bool copy_passes(bool needs_room) { return passes({true, true, needs_room}); }

bool read_passes() { return passes({false, true, false}); }

int fsync(int fd) {
    if (!passes({true, false, false})) return -1;
    if (::fsync(fd) != 0) return -1;
    flushed(fd);
    return 0;
}

int exchange_refused() {
    static const int refused = exchange_errno();
    return refused;
}

void note_file_change(int fd, off_t at, std::size_t n) {
    if (!cut_armed()) return;
    struct stat sb;
    if (::fstat(fd, &sb) != 0) return;
    auto [it, fresh] = unsynced().files.try_emplace(file_id(sb));
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

void note_creation(const std::string& path) { note_name_change(path, {path, "", "", {}}); }

RenameNote before_rename(const std::string& from, const std::string& to) {
    RenameNote note{from, to, "", {}};
    if (!cut_armed()) return note;
    note.file = file_id(from).value_or(FileId{});
    if (file_present(to)) {
        note.saved = to + ".cut-" + std::to_string(++unsynced().saves);
        if (::link(to.c_str(), note.saved.c_str()) != 0) note.saved.clear();
    }
    return note;
}

void rename_done(const RenameNote& note, bool ok) {
    if (ok) note_name_change(note.to, {note.to, note.from, note.saved, note.file});
    else drop_saved(note.saved);
}

void exchange_taken_back(const RenameNote& note, bool ok) {
    const std::optional<FileId> folder = file_id(folder_of(note.to));
    if (!ok || !cut_armed() || !folder) return drop_saved(note.saved);
    std::vector<NameChange>& changes = unsynced().folders[*folder];
    const bool exchange_unflushed =
        !changes.empty() && changes.back().made == note.to && changes.back().renamed == note.from;
    if (!exchange_unflushed) return rename_done(note, ok);
    // Neither the exchange nor its taking back reached the disc: after a
    // power cut the names are as they were before both.
    drop_saved(changes.back().saved);
    drop_saved(note.saved);
    changes.pop_back();
}

}  // namespace zanek::seam
