#include "jobcontrol/store/safeguard.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/durable.h"
#include "platform/file_rights.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

// A file beside the structure file under the working-copy name, held
// locked by this run: the copy a command writes, or the file a command
// replaced, kept to become the next command's copy.
struct Beside {
    UnitFile file;           // open on it (a structure file off its unit)
    // Made when the file was created (or held): it holds the lock, and it
    // tells the file whatever name it is reached by, never reopened by name.
    int lock_fd = -1;
    std::set<int> differs;   // records in which it differs from the file at the name
};

struct Hold {
    int lock_fd = -1;               // holds the lock on the structure file
    std::string name;               // the structure file, as the run names it
    std::string real;               // its path, links resolved
    bool command_running = false;
    bool fresh = false;             // the running command starts from nothing
    bool index_loaded = false;      // before the running command
    std::vector<int> deletions;     // that stand when the command fails
    // A change passed on to the next command (a new index), and how to
    // make it again when that command is undone.
    bool passed_on = false;
    std::function<void()> remake;
    std::string work;               // the name of this run's copy beside the file
    // The working copy of the running command, once it has written: it is
    // on the store's unit, and the structure file off it meanwhile.
    bool working = false;
    Beside copy;
    UnitFile original;
    // The file the last command replaced (or the copy a failed command
    // dropped): brought up to date, it becomes the next command's copy, so
    // that a command copies only the records the one before it changed.
    std::optional<Beside> kept;
};

Hold& hold() {
    static Hold h;
    return h;
}

int store_unit() { return XDISU.I(xdisu::kUnit); }
int store_fd() { return fileno(units().file(store_unit())->fp); }
off_t record_bytes() { return static_cast<off_t>(IMPL.I(implw::kRecordLength)) * 4; }

// The name of the structure file open on the store's unit; "" when none.
std::string open_file_name() {
    const UnitFile* f = units().file(store_unit());
    return f && !f->scratch && !f->console ? f->name : std::string();
}

// The start of a name of the program's own beside the file at real path:
// lead, the file's name and tail, to be ended by the process number. It
// must fit in a name of the folder (255 bytes) whatever the file's name: a
// long name is shortened and told apart from others of the same start by a
// digest of the whole.
constexpr std::size_t kNameMax = 255, kNumberRoom = 24;
std::string name_beside(const std::string& real, const std::string& lead, const std::string& tail) {
    const std::string base = base_name(real);
    if (lead.size() + base.size() + tail.size() + kNumberRoom <= kNameMax) return lead + base + tail;
    std::uint32_t digest = 2166136261u;  // FNV-1a
    for (unsigned char c : base) digest = (digest ^ c) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", digest);
    const std::size_t keep = kNameMax - kNumberRoom - tail.size() - lead.size() - 9;
    return lead + base.substr(0, keep) + '~' + hex + tail;
}

// The working copies: a hidden name no one gives a backup.
std::string copy_prefix(const std::string& real) { return name_beside(real, ".", ".zanek-work-"); }
// A file of the user's found at a copy's name: a name outside the copies'
// prefix, which no run removes, as long as a copy's.
std::string found_prefix(const std::string& real) { return name_beside(real, "", ".zanek-found-"); }

std::string reason(int err) { return std::strerror(err); }

[[noreturn]] void no_working_copy(const Hold& h, int err) {
    lst_line(" *** error *** no working copy of " + h.name + " can be made in " + folder_of(h.real) + ": " +
             reason(err));
    lst_line("               the command fails and the structure file is unchanged");
    throw CommandFailed();
}

// The copy would change who may use the structure file: the command must
// not replace it.
[[noreturn]] void rights_not_kept(const Hold& h, const FileRights& file, const std::string& why) {
    lst_line(" *** error *** " + h.name + " belongs to " + user_name(file.owner) + " and group " +
             group_name(file.group) + ", and this run is " + user_name(::geteuid()) + ":");
    lst_line("               " + why + "; the command fails and the structure file is unchanged");
    throw CommandFailed();
}

// The index as the structure file on the unit holds it: a command that
// failed may have changed the resident copy. A file that had no index
// loaded (a command that was to give it one) is left without.
void reload_index(const Hold& h) {
    XFILE.I(xfile::kIndexState) = xfile::kNotLoaded;
    XSAE.I(xsae::kCount) = 0;
    if (!h.index_loaded) return;
    SLDF();
    XFILE.I(xfile::kIndexState) = xfile::kLoaded;
}

// True when path names a plain file that no live run holds: a copy a run
// left, or a file a user put there. Anything else there (a pipe, a device,
// a symbolic link) is the user's and is left alone; it is never opened in
// a way that could wait, as opening a pipe waits for its writer.
bool unlocked_leftover(const std::string& path) {
    struct stat sb;
    if (::lstat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    const bool dead = ::fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode) && lock_exclusive(fd) == kLocked;
    ::close(fd);
    return dead;
}

// Name n of start, start-1, start-2, ...
std::string numbered(const std::string& start, int n) { return n == 0 ? start : start + "-" + std::to_string(n); }

// The first of start, start-1, start-2, ... that can be used.
std::string numbered_name(const std::string& start, const std::function<bool(const std::string&)>& usable) {
    for (int n = 0;; ++n)
        if (usable(numbered(start, n))) return numbered(start, n);
}

// The name of this run's copy: a leftover of a process of the same number,
// long gone, is removed; one that a live run holds (a process of another
// process space), or anything but a plain file, is left alone, and a name
// of its own taken.
std::string copy_name(const Hold& h) {
    return numbered_name(folder_of(h.real) + "/" + copy_prefix(h.real) + std::to_string(::getpid()),
                         [](const std::string& name) {
                             return !file_present(name) || (unlocked_leftover(name) && remove_file(name));
                         });
}

// True when the file open on fd has no name but path: no other link
// leads to it, so writing it in place changes nothing a user can reach.
bool only_name(int fd, const std::string& path) {
    struct stat sb;
    return fd_is_at(fd, path) && ::fstat(fd, &sb) == 0 && sb.st_nlink == 1;
}

// Gives the file at path, a name of this run's copies, a name beside the
// structure file outside the prefix of its copies, which no run removes:
// a second name (the file stays at path too), or path's file moved there.
// A name already taken is passed by, never written over. The name given,
// or "" (errno tells why).
std::string give_found_name(const Hold& h, const std::string& path, bool second_name) {
    const std::string start = folder_of(h.real) + "/" + found_prefix(h.real) + std::to_string(::getpid());
    for (int n = 0;; ++n) {
        const std::string name = numbered(start, n);
        if (second_name ? add_name(path, name) : rename_new(path, name)) return name;
        if (errno != EEXIST) return "";
    }
}

// A file that is not this run's lies at path, a name of this run's
// copies: it is the user's, and is never removed. It is given a name no
// run removes, and the listing says where it is. One that a live run
// holds (its own copy, under a name this run let go), and anything but a
// plain file, is left alone.
void give_found_file_a_name(const Hold& h, const std::string& path) {
    if (!unlocked_leftover(path)) return;
    const std::string found = give_found_name(h, path, false);
    if (!found.empty()) {
        lst_line_to_act_on(" *** warning *** a file put at " + path + " while this run held it is kept as " + found);
        return;
    }
    lst_line_to_act_on(" *** warning *** a file put at " + path + " while this run held it is left there: " +
                       reason(errno));
    lst_line_to_act_on("                 move it away before the next run on " + h.name + ", which removes it");
}

// Lets go of a file beside the structure file: its name is removed (a
// file the user put at that name is never removed) and its room freed off
// the command's path.
void let_go(const Hold& h, Beside& b, const std::string& path) {
    if (fd_is_at(b.lock_fd, path)) remove_file(path);
    else if (!path.empty() && file_present(path)) give_found_file_a_name(h, path);
    if (b.file.fp) std::fclose(b.file.fp);
    close_later(b.lock_fd);
    b = Beside{};
}

// Lets go of the file the last command left beside the structure file.
void let_go_kept(Hold& h) {
    if (!h.kept) return;
    let_go(h, *h.kept, h.work);
    h.kept.reset();
}

// What the decision of who may replace the structure file needs to know:
// the file from (with the rights file), the running user, the folder, and
// the group own_group a new file of the running user gets in that folder.
ReplacedFile replaced_file(int from, const FileRights& file) {
    return {file, has_access_list(from), user_in_group(file.owner, file.group)};
}

Replacer replacer(const FileRights& file, gid_t own_group) {
    const uid_t uid = ::geteuid();
    return {uid, uid == 0, runner_in_group(file.group), own_group, user_in_group(file.owner, own_group)};
}

ReplacedFolder replaced_folder(const Hold& h) {
    struct stat folder;
    if (::stat(folder_of(h.real).c_str(), &folder) != 0) return {};
    return {(folder.st_mode & S_ISVTX) != 0, folder.st_uid};
}

// Checks, before anything is copied, that the command may replace the
// structure file at all, and gives the new copy fd the owner and group it
// must have (checking that it got them); returns the permission bits it
// must have. Where the running user cannot keep the owner, the file may be
// replaced only if no one loses or gains access.
mode_t rights_for_copy(const Hold& h, int from, int fd, const FileRights& file) {
    FileRights made;
    if (!rights_of(fd, made)) no_working_copy(h, errno);
    const Replacer runner = replacer(file, made.group);
    const CopyRights copy = copy_rights(replaced_file(from, file), runner, replaced_folder(h));
    if (!copy.allowed) rights_not_kept(h, file, copy.refusal);
    // Root gives the copy the file's owner; anyone else only a group (for
    // one not in the file's group, the one the copy was made with).
    const uid_t owner = runner.root ? copy.rights.owner : static_cast<uid_t>(-1);
    if (::fchown(fd, owner, copy.rights.group) != 0 && runner.root) no_working_copy(h, errno);
    if (!rights_of(fd, made)) no_working_copy(h, errno);
    if (made.owner != copy.rights.owner || made.group != copy.rights.group)
        rights_not_kept(h, file, "its copy cannot be given the owner " + user_name(copy.rights.owner) +
                                     " and group " + group_name(copy.rights.group));
    return copy.rights.mode;
}

// Gives the copy fd the extended attributes of the file from and the
// permission bits mode, and checks that it has them. False, with why,
// when it cannot.
bool rights_given(int from, int fd, mode_t mode, std::string& why) {
    std::string failed;
    if (!copy_attributes(from, fd, failed)) {
        why = "its attribute " + failed + " cannot be kept: " + reason(errno);
        return false;
    }
    FileRights made;
    if (::fchmod(fd, mode) != 0 || !rights_of(fd, made) || made.mode != mode) {
        why = "its permission bits cannot be kept";
        return false;
    }
    return true;
}

// Brings the file the last command replaced up to date with the structure
// file: the records in which they differ, and the length. False, with
// errno, when the disc fails on the way.
bool bring_up_to_date(Beside& b, int from) {
    struct stat sb;
    if (::fstat(from, &sb) != 0) return false;
    const int fd = fileno(b.file.fp);
    if (!set_length(fd, sb.st_size)) return false;
    const off_t rec = record_bytes();
    for (int r : b.differs) {
        const off_t at = static_cast<off_t>(r - 1) * rec;
        if (at >= sb.st_size) break;
        if (!copy_range(from, fd, at, std::min(rec, sb.st_size - at))) return false;
    }
    b.differs.clear();
    return true;
}

// Makes a new working copy of the whole structure file; its descriptor,
// locked, with the file's rights.
int whole_copy(Hold& h, int from, const FileRights& file) {
    h.work = copy_name(h);
    // Made private, and given its rights once it holds the data.
    const int fd = create_new(h.work, 0600);
    if (fd < 0) no_working_copy(h, errno);
    try {
        if (lock_exclusive(fd) != kLocked) no_working_copy(h, errno ? errno : EWOULDBLOCK);
        const mode_t mode = rights_for_copy(h, from, fd, file);
        if (!h.fresh && !copy_file_data(from, fd)) no_working_copy(h, errno);
        std::string why;
        if (!rights_given(from, fd, mode, why)) rights_not_kept(h, file, why);
    } catch (...) {
        if (fd_is_at(fd, h.work)) remove_file(h.work);
        ::close(fd);
        throw;
    }
    return fd;
}

// The copy the last command left beside the file, brought up to date and
// given the file's rights; false when it cannot serve (it is let go, and a
// whole copy made instead). A disc that fails on the way fails the command.
bool reuse_spare(Hold& h, int from, const FileRights& file) {
    if (!h.kept) return false;
    const int fd = h.kept->lock_fd;
    FileRights had;
    if (h.fresh || !rights_of(fd, had) || had.owner != file.owner || had.group != file.group) {
        let_go_kept(h);
        return false;
    }
    if (!bring_up_to_date(*h.kept, from)) {
        const int err = errno;
        let_go_kept(h);
        no_working_copy(h, err);
    }
    std::string why;
    if (!rights_given(from, fd, file.mode, why)) {
        let_go_kept(h);
        return false;
    }
    h.copy = std::move(*h.kept);
    h.kept.reset();
    return true;
}

// Makes the working copy of the running command and puts it on the
// store's unit.
void start_working_copy(Hold& h) {
    const int from = store_fd();
    FileRights file;
    if (!rights_of(from, file)) no_working_copy(h, errno);
    if (!reuse_spare(h, from, file)) {
        const int fd = whole_copy(h, from, file);
        h.copy.lock_fd = fd;
        h.copy.file = UnitFile{};
    }
    h.original = units().take(store_unit());
    if (h.copy.file.fp) {
        units().give(store_unit(), h.copy.file);
        units().rename(store_unit(), h.work);
    } else if (units().open_direct_on(store_unit(), h.copy.lock_fd, h.work, IMPL.I(implw::kRecordLength)) != IO_OK) {
        const int err = errno;
        units().give(store_unit(), std::exchange(h.original, UnitFile{}));
        let_go(h, h.copy, h.work);
        no_working_copy(h, err);
    }
    h.copy.file = UnitFile{};  // on the unit now
    h.copy.differs.clear();
    h.working = true;
}

[[noreturn]] void not_stored(const Hold& h, int err) {
    lst_line(" *** error *** the lists of this command could not be stored in " + h.name + ": " + reason(err));
    lst_line("               the command fails and the structure file is unchanged");
    throw CommandFailed();
}

[[noreturn]] void file_replaced(const Hold& h) {
    lst_line(" *** error *** " + h.name + " is no longer the file this run opened: it was moved or replaced meanwhile");
    lst_line("               the command fails and the file now at that name is left untouched");
    throw CommandFailed();
}

[[noreturn]] void copy_replaced(const Hold& h) {
    lst_line(" *** error *** the working copy of " + h.name + " was moved or replaced meanwhile");
    lst_line("               the command fails and the structure file is unchanged");
    throw CommandFailed();
}

// The copy's name must still lead to the copy: a file put there meanwhile
// is the user's, and is neither installed nor removed.
void check_copy_at_its_name(const Hold& h) {
    if (fd_is_at(h.copy.lock_fd, h.work)) return;
    if (file_present(h.work)) give_found_file_a_name(h, h.work);
    copy_replaced(h);
}

// What a name of the structure file or of its copy holds, as the listing
// says it; a file the user put there came from other, the other name.
std::string what_lies_at(const Hold& h, const std::string& path, const std::string& other) {
    if (fd_is_at(h.lock_fd, path)) return "the structure file as before this command";
    if (fd_is_at(h.copy.lock_fd, path)) return "what this command stored";
    return "the file put at " + other;
}

// The swap could not be taken back: each name keeps what the swap brought
// there. What lies at the copy's name keeps (or is given) a name outside
// the copies' prefix, found, and the listing says what lies where.
[[noreturn]] void swap_not_taken_back(const Hold& h, std::string found, int err) {
    const std::string at_name = what_lies_at(h, h.real, h.work), at_copy = what_lies_at(h, h.work, h.name);
    if (found.empty()) found = give_found_name(h, h.work, false);  // a file system without hard links
    else if (same_file(h.work, found)) remove_file(h.work);
    lst_line_to_act_on(" *** error *** the swap of " + h.name + " and its working copy could not be taken back: " +
                       reason(err));
    lst_line_to_act_on("               " + h.name + " holds " + at_name + ";");
    if (!found.empty()) {
        lst_line_to_act_on("               " + at_copy + " is kept as " + found);
    } else {
        lst_line_to_act_on("               " + at_copy + " is now " + h.work + ":");
        lst_line_to_act_on("               move it away before the next run on " + h.name + ", which removes it");
    }
    throw CommandFailed();
}

// The swap brought to the structure file's name a file other than the
// copy, or to the copy's name one other than the file this run holds (a
// file the user put at either name meanwhile). What came to the copy's
// name is given a second name no run removes before anything else, so that
// it never lies under the copy's name alone, and the two names are swapped
// back; the command then fails, saying which name had changed.
void take_back_the_swap(const Hold& h) {
    const std::string found = give_found_name(h, h.work, true);
    if (!take_back_exchange(h.work, h.real)) swap_not_taken_back(h, found, errno);
    if (!found.empty()) remove_file(found);
    if (!fd_is_at(h.copy.lock_fd, h.work) && file_present(h.work)) give_found_file_a_name(h, h.work);
    if (fd_is_at(h.lock_fd, h.real)) copy_replaced(h);
    file_replaced(h);
}

// Puts the copy at the file's name in one step, if the name still leads to
// the file this run holds: the file it replaces is then at the copy's name.
// A file put at either name meanwhile is never written over.
void put_copy_at_the_name(const Hold& h) {
    check_copy_at_its_name(h);
    const int held = fileno(h.original.fp);
    if (exchange_names(h.work, h.real)) {
        if (fd_is_at(held, h.work) && fd_is_at(h.copy.lock_fd, h.real)) return;
        take_back_the_swap(h);
    }
    // No file at the name, or a file system (or a sandbox) that cannot
    // swap two names: checked, then renamed over.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOENT) not_stored(h, errno);
    if (!fd_is_at(held, h.real)) file_replaced(h);
    if (!rename_over(h.work, h.real)) not_stored(h, errno);
}

// The working copy, whole on the disc, becomes the structure file; the
// lock goes with it. Throws CommandFailed, after saying why, when it
// cannot.
void install_working_copy(Hold& h) {
    if (units().sync(store_unit()) != IO_OK) not_stored(h, errno);
    put_copy_at_the_name(h);
    const bool folder_flushed = sync_folder(h.real);
    if (!folder_flushed)
        lst_line(" *** warning *** the folder of " + h.name + " could not be flushed to the disc: " + reason(errno));
    // The file replaced, now at the copy's name, differs from the new one
    // in the records the command wrote; a file replaced by a new start
    // differs in everything.
    Beside replaced{std::exchange(h.original, UnitFile{}), std::exchange(h.lock_fd, h.copy.lock_fd),
                    std::move(h.copy.differs)};
    h.copy = Beside{};
    // It is written in place by the next command only where no one can
    // reach it: not through another link of its own, nor by a power cut
    // that would give it back the file's name, half rewritten, because the
    // swap is not yet on the disc.
    if (!h.fresh && folder_flushed && only_name(replaced.lock_fd, h.work)) h.kept = std::move(replaced);
    else let_go(h, replaced, h.work);
    units().rename(store_unit(), h.name);
    h.working = false;
}

// Every word the running command's lists register is written out, and
// what it changed becomes the structure file.
bool store_changes(Hold& h) {
    try {
        // A command that wrote nothing leaves the file as it found it,
        // registered space and all.
        XDUMP();
        if (h.working) {
            write_registered_space();
            install_working_copy(h);
        }
    } catch (const CommandFailed&) {
        return false;
    }
    h.fresh = false;  // later changes start from what is stored now
    h.index_loaded = XFILE.I(xfile::kIndexState) == xfile::kLoaded;
    return true;
}

// Puts the structure file back on its unit untouched, and forgets what
// the buffers hold of the copy. It reads nothing from the disc, so that it
// serves on the way of a stop too. The dropped copy differs from the file
// in the records the command wrote, and serves the next command.
void put_file_back(Hold& h) {
    if (h.working) {
        let_go_kept(h);
        h.copy.file = units().take(store_unit());
        units().give(store_unit(), std::exchange(h.original, UnitFile{}));
        h.working = false;
        if (!h.fresh && only_name(h.copy.lock_fd, h.work)) h.kept = std::exchange(h.copy, Beside{});
        else let_go(h, h.copy, h.work);
    }
    forget_buffered_blocks();
}

// Drops what the running command changed, and reads the index again as
// the file holds it.
void drop_changes(Hold& h) {
    put_file_back(h);
    reload_index(h);
}

// What stands when the command fails is a change of its own, stored as a
// command's is: a new index taken up by the command, then the deletions it
// ordered. When it cannot be stored (no room for the copy, said already),
// the file stays as it was before the command; a stop met on the way
// leaves it so and goes on.
void store_what_stands(Hold& h) {
    const std::vector<int> types = std::exchange(h.deletions, {});
    const std::function<void()> remake = std::exchange(h.remake, nullptr);
    if ((types.empty() && !remake) || h.name.empty()) return;
    h.command_running = true;
    h.fresh = static_cast<bool>(remake);
    bool stored = false;
    try {
        if (remake) remake();
        for (int type : types) CANCELLA(type);
        stored = store_changes(h);
    } catch (const CommandFailed&) {
    } catch (...) {
        h.command_running = false;
        put_file_back(h);
        throw;
    }
    h.command_running = false;
    if (!stored) drop_changes(h);
}

// Undoes the running command. A stop met on the way (the disc fails
// again) goes on to the caller; the file is then as before the command.
void undo_running_command(Hold& h) {
    h.command_running = false;  // a stop on the way must not undo twice
    drop_changes(h);
    store_what_stands(h);
}

// The undo met a stop while another was on its way: the file goes back on
// its unit as it was before the command, and nothing more is read; the
// index is marked unread, so that nothing uses what the command left of it.
void abandon_running_command(Hold& h) noexcept {
    h.command_running = false;
    h.deletions.clear();
    h.remake = nullptr;
    XFILE.I(xfile::kIndexState) = xfile::kNotLoaded;
    try {
        put_file_back(h);
    } catch (...) {
        // Only what the buffers hold of the copy may remain: it is never
        // written, for the run ends in its stop.
    }
}

// A change passed on (a new index) becomes the beginning command's own.
void take_up_passed_on_change(Hold& h) { h.passed_on = false; }

void begin_command(Hold& h, bool fresh) {
    h.command_running = true;
    h.fresh = fresh;
    h.index_loaded = XFILE.I(xfile::kIndexState) == xfile::kLoaded;
    h.remake = nullptr;
}

}  // namespace

bool hold_structure_file() {
    Hold& h = hold();
    if (h.lock_fd >= 0 || h.kept) {
        // A file held before and not let go: its lock and copies go first.
        const UnitFile open_now = units().take(store_unit());
        let_go_structure_file();
        units().give(store_unit(), open_now);
    }
    const std::string file = open_file_name();
    if (file.empty()) return true;
    // Another run may rename its working copy over the name between the
    // opening and the lock: the lock must be on the file the name has.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = take_exclusive_lock(file);
        if (fd == kLockHeld) {
            lst_line(" *** error *** structure file " + file + " is in use by another run: it is left untouched");
            return false;
        }
        if (fd < 0) break;
        if (fd_is_at(fd, file) && same_open_file(fd, store_fd())) {
            h.lock_fd = fd;
            h.name = file;
            h.real = resolved_path(file);
            return true;
        }
        release_lock(fd);
        if (units().open_direct(store_unit(), file, false, IMPL.I(implw::kRecordLength)) != IO_OK) break;
    }
    lst_line(" *** error *** structure file " + file + " cannot be locked for this run: it is left untouched");
    return false;
}

void let_go_structure_file() {
    Hold& h = hold();
    // Whatever a caller that closed the unit left unstored is dropped: the
    // file itself is as the last command stored it.
    if (h.working) {
        if (h.original.fp) std::fclose(h.original.fp);
        h.original = UnitFile{};
        let_go(h, h.copy, h.work);
        h.working = false;
    }
    let_go_kept(h);
    h.command_running = h.passed_on = false;
    h.remake = nullptr;
    h.deletions.clear();
    release_lock(h.lock_fd);
    h.lock_fd = -1;
    h.name.clear();
    h.real.clear();
    h.work.clear();
}

bool names_structure_file(const std::string& path) {
    const Hold& h = hold();
    return !h.name.empty() && same_file(path, h.name);
}

bool names_working_copy(const std::string& path) {
    const Hold& h = hold();
    if (h.name.empty()) return false;
    if (!h.work.empty() && same_file(path, h.work)) return true;
    const std::string r = resolved_path(path);
    return folder_of(r) == folder_of(h.real) && base_name(r).rfind(copy_prefix(h.real), 0) == 0;
}

void remove_leftover_copies() {
    const Hold& h = hold();
    if (h.real.empty()) return;
    const std::string folder = folder_of(h.real), prefix = copy_prefix(h.real);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> found;
    while (const dirent* e = ::readdir(dir))
        if (std::string(e->d_name).rfind(prefix, 0) == 0) found.push_back(e->d_name);
    ::closedir(dir);
    for (const std::string& name : found) {
        // A copy whose run still holds it belongs to a live run (of a file
        // that had this name); one that nobody holds is never read.
        const std::string path = folder + "/" + name;
        if (!unlocked_leftover(path) || !remove_file(path)) continue;
        lst_line(" *** warning *** " + name + " was left beside " + h.name + " by a run that did not end normally:");
        lst_line("                 it is removed unread; " + h.name + " is as the last command that ended ok left it");
    }
}

void prepare_store_write(int record) {
    Hold& h = hold();
    if (h.command_running && !h.working && !h.name.empty()) start_working_copy(h);
    // Whatever is written, the copy beside the file differs from it there.
    if (h.working) h.copy.differs.insert(record);
    else if (h.kept) h.kept->differs.insert(record);
}

CommandGuard::CommandGuard(bool fresh) {
    Hold& h = hold();
    h.deletions.clear();
    // The change passed on is this command's too, from where it began.
    if (h.passed_on) take_up_passed_on_change(h);
    else begin_command(h, fresh);
}

CommandGuard::~CommandGuard() {
    Hold& h = hold();
    if (!h.command_running || h.passed_on) return;
    // Nothing may leave a destructor: it runs while a stop may already be
    // on its way, and a disc that failed once may fail the undo again.
    try {
        undo_running_command(h);
    } catch (...) {
        abandon_running_command(h);
    }
}

void CommandGuard::undo() {
    Hold& h = hold();
    if (h.command_running && !h.passed_on) undo_running_command(h);
}

bool CommandGuard::commit() {
    Hold& h = hold();
    if (!h.command_running) return true;
    if (!store_changes(h)) {
        undo_running_command(h);
        return false;
    }
    h.command_running = false;
    h.remake = nullptr;
    return true;
}

void CommandGuard::pass_on(std::function<void()> remake) {
    Hold& h = hold();
    if (!h.command_running) return;
    h.passed_on = true;
    h.remake = std::move(remake);
}

void settle_structure_file() {
    Hold& h = hold();
    if (!h.passed_on) return;
    CommandGuard taken_up;
    taken_up.commit();
}

void keep_stored_lists() {
    Hold& h = hold();
    if (!h.command_running) return;
    if (!store_changes(h)) {
        lst_line(" *** warning *** the model could not be stored now: a failure of this command undoes it");
        return;
    }
    // What is stored now stands: nothing is to be made again.
    h.deletions.clear();
    h.remake = nullptr;
}

void delete_list_for_good(int type) {
    CANCELLA(type);
    if (hold().command_running) hold().deletions.push_back(type);
}

}  // namespace zanek
