#include "jobcontrol/store/safeguard.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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
    int lock_fd = -1;        // holds its lock
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
    bool spare = false;
    Beside kept;
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

// The start of the names of working copies of the file at real path: a
// hidden name no one gives a backup, ended by the process number. It must
// fit in a name of the folder (255 bytes) whatever the file's name: a long
// name is shortened and told apart from others of the same start by a
// digest of the whole.
constexpr std::size_t kNameMax = 255, kNumberRoom = 24;
std::string copy_prefix(const std::string& real) {
    const std::string base = base_name(real), tail = ".zanek-work-";
    if (1 + base.size() + tail.size() + kNumberRoom <= kNameMax) return '.' + base + tail;
    std::uint32_t digest = 2166136261u;  // FNV-1a
    for (unsigned char c : base) digest = (digest ^ c) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", digest);
    const std::size_t keep = kNameMax - kNumberRoom - tail.size() - 1 - 9;
    return '.' + base.substr(0, keep) + '~' + hex + tail;
}

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

bool unlocked_leftover(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool dead = lock_exclusive(fd) == kLocked;
    ::close(fd);
    return dead;
}

// The name of this run's copy: a leftover of a process of the same number,
// long gone, is removed; one that a live run holds (a process of another
// process space) is left alone, and a name of its own taken.
std::string copy_name(const Hold& h) {
    const std::string start = folder_of(h.real) + "/" + copy_prefix(h.real) + std::to_string(::getpid());
    for (int n = 0;; ++n) {
        const std::string name = n == 0 ? start : start + "-" + std::to_string(n);
        if (!file_present(name) || (unlocked_leftover(name) && remove_file(name))) return name;
    }
}

// Lets go of a file beside the structure file: its name is removed, and
// its room freed off the command's path.
void let_go(Beside& b, const std::string& path) {
    remove_file(path);
    if (b.file.fp) std::fclose(b.file.fp);
    close_later(b.lock_fd);
    b = Beside{};
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
        ::close(fd);
        remove_file(h.work);
        throw;
    }
    return fd;
}

// The copy the last command left beside the file, brought up to date and
// given the file's rights; false when it cannot serve (it is let go, and a
// whole copy made instead). A disc that fails on the way fails the command.
bool reuse_spare(Hold& h, int from, const FileRights& file) {
    if (!h.spare) return false;
    h.spare = false;
    const int fd = fileno(h.kept.file.fp);
    FileRights had;
    if (h.fresh || !rights_of(fd, had) || had.owner != file.owner || had.group != file.group) {
        let_go(h.kept, h.work);
        return false;
    }
    if (!bring_up_to_date(h.kept, from)) {
        const int err = errno;
        let_go(h.kept, h.work);
        no_working_copy(h, err);
    }
    std::string why;
    if (!rights_given(from, fd, file.mode, why)) {
        let_go(h.kept, h.work);
        return false;
    }
    h.copy = std::exchange(h.kept, Beside{});
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
    } else if (units().open_direct(store_unit(), h.work, false, IMPL.I(implw::kRecordLength)) != IO_OK) {
        const int err = errno;
        units().give(store_unit(), std::exchange(h.original, UnitFile{}));
        let_go(h.copy, h.work);
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

// Puts the copy at the file's name in one step, if the name still leads to
// the file this run holds: the file it replaces is then at the copy's name.
// A file put at the name meanwhile is never written over.
void put_copy_at_the_name(Hold& h) {
    if (exchange_names(h.work, h.real)) {
        if (fd_is_at(fileno(h.original.fp), h.work)) return;
        if (!take_back_exchange(h.work, h.real)) {
            // The user's file cannot be given its name back: it is left
            // where it is, and never removed as a copy of this run's.
            lst_line(" *** error *** the file put at " + h.name + " is now " + h.work + ": " + reason(errno));
            h.work.clear();
        }
        file_replaced(h);
    }
    // No file at the name, or a file system that cannot swap two names:
    // checked, then renamed over.
    if (errno != EINVAL && errno != ENOENT) not_stored(h, errno);
    if (!fd_is_at(fileno(h.original.fp), h.real)) file_replaced(h);
    if (!rename_over(h.work, h.real)) not_stored(h, errno);
}

// The working copy, whole on the disc, becomes the structure file; the
// lock goes with it. Throws CommandFailed, after saying why, when it
// cannot.
void install_working_copy(Hold& h) {
    if (units().sync(store_unit()) != IO_OK) not_stored(h, errno);
    put_copy_at_the_name(h);
    if (!sync_folder(h.real))
        lst_line(" *** warning *** the folder of " + h.name + " could not be flushed to the disc: " + reason(errno));
    // The file replaced, now at the copy's name, differs from the new one
    // in the records the command wrote; a file replaced by a new start
    // differs in everything.
    Beside replaced{std::exchange(h.original, UnitFile{}), std::exchange(h.lock_fd, h.copy.lock_fd),
                    std::move(h.copy.differs)};
    h.copy = Beside{};
    if (fd_is_at(replaced.lock_fd, h.work) && !h.fresh) {
        h.kept = std::move(replaced);
        h.spare = true;
    } else {
        let_go(replaced, h.work);
    }
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

// Drops what the running command changed: the structure file goes back on
// its unit untouched. The dropped copy differs from it in the records the
// command wrote, and serves the next command.
void drop_changes(Hold& h) {
    forget_buffered_blocks();
    if (h.working) {
        h.copy.file = units().take(store_unit());
        units().give(store_unit(), std::exchange(h.original, UnitFile{}));
        if (h.fresh || h.work.empty()) {
            let_go(h.copy, h.work);
        } else {
            h.kept = std::exchange(h.copy, Beside{});
            h.spare = true;
        }
        h.working = false;
    }
    reload_index(h);
}

void undo_running_command(Hold& h) {
    h.command_running = false;  // a stop on the way must not undo twice
    drop_changes(h);
    if ((h.deletions.empty() && !h.remake) || h.name.empty()) {
        h.remake = nullptr;
        return;
    }
    // What stands is a change of its own, stored as a command's is: a new
    // index taken up by the command, then the deletions it ordered. When it
    // cannot be stored (no room for the copy, said already), the file stays
    // as it was before the command.
    const std::vector<int> types = std::exchange(h.deletions, {});
    const std::function<void()> remake = std::exchange(h.remake, nullptr);
    h.command_running = true;
    h.fresh = static_cast<bool>(remake);
    try {
        if (remake) remake();
        for (int type : types) CANCELLA(type);
        if (!store_changes(h)) drop_changes(h);
    } catch (...) {
        drop_changes(h);
    }
    h.command_running = false;
}

}  // namespace

bool hold_structure_file() {
    Hold& h = hold();
    if (h.lock_fd >= 0 || h.spare) {
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
        let_go(h.copy, h.work);
        h.working = false;
    }
    if (h.spare) let_go(h.kept, h.work);
    h.spare = false;
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
    else if (h.spare) h.kept.differs.insert(record);
}

CommandGuard::CommandGuard(bool fresh) {
    Hold& h = hold();
    h.deletions.clear();
    if (h.passed_on) {
        // The change passed on is this command's too, from where it began.
        h.passed_on = false;
        return;
    }
    h.command_running = true;
    h.fresh = fresh;
    h.index_loaded = XFILE.I(xfile::kIndexState) == xfile::kLoaded;
    h.remake = nullptr;
}

CommandGuard::~CommandGuard() {
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
