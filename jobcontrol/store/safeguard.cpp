#include "jobcontrol/store/safeguard.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/durable.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek {

namespace {

struct Hold {
    int lock_fd = -1;               // holds the lock on the structure file
    std::string name;               // the structure file, as the run names it
    std::string real;               // its path, links resolved
    bool command_running = false;
    bool fresh = false;             // the running command starts from nothing
    bool index_loaded = false;      // before the running command
    std::vector<int> deletions;     // that stand when the command fails
    // The working copy of the running command, once it has written.
    bool working = false;
    std::string work;
    int work_lock_fd = -1;          // holds the lock on the copy
    UnitFile original;              // the structure file, off its unit meanwhile
};

Hold& hold() {
    static Hold h;
    return h;
}

int store_unit() { return XDISU.I(xdisu::kUnit); }
int store_fd() { return fileno(units().file(store_unit())->fp); }

// The name of the structure file open on the store's unit; "" when none.
std::string open_file_name() {
    const UnitFile* f = units().file(store_unit());
    return f && !f->scratch && !f->console ? f->name : std::string();
}

// The start of the names of working copies of the file at real path: a
// hidden name no one gives a backup, ended by the process number.
std::string copy_prefix(const std::string& real) { return '.' + base_name(real) + ".zanek-work-"; }

std::string reason(int err) { return std::strerror(err); }

[[noreturn]] void no_working_copy(const Hold& h, int err) {
    lst_line(" *** error *** no working copy of " + h.name + " can be made in " + folder_of(h.real) + ": " +
             reason(err));
    lst_line("               the command fails and the structure file is unchanged");
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

// Makes the working copy of the running command and puts it on the
// store's unit.
void start_working_copy(Hold& h) {
    const int from = store_fd();
    struct stat sb;
    if (::fstat(from, &sb) != 0) no_working_copy(h, errno);
    const mode_t mode = sb.st_mode & 07777;
    h.work = folder_of(h.real) + "/" + copy_prefix(h.real) + std::to_string(::getpid());
    remove_file(h.work);  // a leftover of a process of the same number, long gone
    const int fd = create_new(h.work, mode);
    if (fd < 0) no_working_copy(h, errno);
    (void)!::fchown(fd, sb.st_uid, sb.st_gid);  // kept where the user may
    bool made = lock_exclusive(fd) == kLocked && ::fchmod(fd, mode) == 0;
    if (made && !h.fresh) made = copy_keeping_holes(from, fd);
    const int err = errno;
    if (made) {
        h.original = units().take(store_unit());
        made = units().open_direct(store_unit(), h.work, false, IMPL.I(implw::kRecordLength)) == IO_OK;
        if (!made) units().give(store_unit(), std::exchange(h.original, UnitFile{}));
    }
    if (!made) {
        ::close(fd);
        remove_file(h.work);
        no_working_copy(h, err);
    }
    h.work_lock_fd = fd;
    h.working = true;
}

// The working copy, whole on the disc, becomes the structure file; the
// lock goes with it. False, after saying why, when it cannot.
bool install_working_copy(Hold& h) {
    if (units().sync(store_unit()) != IO_OK || !rename_over(h.work, h.real)) {
        lst_line(" *** error *** the lists of this command could not be stored in " + h.name + ": " + reason(errno));
        lst_line("               the command fails and the structure file is unchanged");
        return false;
    }
    if (!sync_folder(h.real))
        lst_line(" *** warning *** the folder of " + h.name + " could not be flushed to the disc: " + reason(errno));
    release_lock(h.lock_fd);
    h.lock_fd = std::exchange(h.work_lock_fd, -1);
    std::fclose(h.original.fp);  // the file as it was, now without a name
    h.original = UnitFile{};
    units().rename(store_unit(), h.name);
    h.working = false;
    return true;
}

// Every word the running command's lists register is written out, and
// what it changed becomes the structure file.
bool store_changes(Hold& h) {
    try {
        // A command that wrote nothing leaves the file as it found it,
        // registered space and all.
        XDUMP();
        if (h.working) write_registered_space();
    } catch (const CommandFailed&) {
        return false;
    }
    if (h.working && !install_working_copy(h)) return false;
    h.fresh = false;  // later changes start from what is stored now
    h.index_loaded = XFILE.I(xfile::kIndexState) == xfile::kLoaded;
    return true;
}

// Drops what the running command changed: the structure file goes back on
// its unit untouched.
void drop_changes(Hold& h) {
    forget_buffered_blocks();
    if (h.working) {
        units().close(store_unit());
        remove_file(h.work);
        release_lock(std::exchange(h.work_lock_fd, -1));
        units().give(store_unit(), std::exchange(h.original, UnitFile{}));
        h.working = false;
    }
    reload_index(h);
}

bool unlocked_leftover(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool dead = lock_exclusive(fd) == kLocked;
    ::close(fd);
    return dead;
}

}  // namespace

bool hold_structure_file() {
    Hold& h = hold();
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
    release_lock(h.lock_fd);
    h.lock_fd = -1;
    h.name.clear();
    h.real.clear();
}

bool names_structure_file(const std::string& path) {
    const Hold& h = hold();
    return !h.name.empty() && same_file(path, h.name);
}

bool names_working_copy(const std::string& path) {
    const Hold& h = hold();
    if (h.name.empty()) return false;
    if (h.working && same_file(path, h.work)) return true;
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
        lst_line(" *** warning *** " + name + " was left beside " + h.name + " by a run that ended during a command:");
        lst_line("                 it is removed unread; " + h.name + " is as it was before that command");
    }
}

void prepare_store_write() {
    Hold& h = hold();
    if (h.command_running && !h.working && !h.name.empty()) start_working_copy(h);
}

void CommandGuard::begin(bool fresh) {
    Hold& h = hold();
    h.command_running = true;
    h.fresh = fresh;
    h.index_loaded = XFILE.I(xfile::kIndexState) == xfile::kLoaded;
    h.deletions.clear();
}

bool CommandGuard::commit() {
    Hold& h = hold();
    if (!h.command_running) return true;
    if (!store_changes(h)) return false;
    h.command_running = false;
    return true;
}

void CommandGuard::undo() {
    Hold& h = hold();
    if (!h.command_running) return;
    h.command_running = false;  // a stop on the way must not undo twice
    drop_changes(h);
    if (h.deletions.empty() || h.name.empty()) return;
    // The deletions are a change of their own, stored as a command's are.
    // When they cannot be stored (no room for the copy, said already), the
    // file stays as it was before the command.
    const std::vector<int> types = std::exchange(h.deletions, {});
    h.command_running = true;
    h.fresh = false;
    try {
        for (int type : types) CANCELLA(type);
        if (!store_changes(h)) drop_changes(h);
    } catch (const CommandFailed&) {
        drop_changes(h);
    } catch (...) {
        h.command_running = false;
        drop_changes(h);
        throw;
    }
    h.command_running = false;
}

void keep_stored_lists() {
    Hold& h = hold();
    if (!h.command_running) return;
    if (!store_changes(h)) {
        lst_line(" *** warning *** the model could not be stored now: a failure of this command undoes it");
        return;
    }
    h.deletions.clear();
}

void delete_list_for_good(int type) {
    CANCELLA(type);
    if (hold().command_running) hold().deletions.push_back(type);
}

}  // namespace zanek
