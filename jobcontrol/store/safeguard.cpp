#include "jobcontrol/store/safeguard.h"

#include <vector>

#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/durable.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"

namespace zanek {

namespace {

struct Hold {
    int lock_fd = -1;
    bool command_running = false;  // a copy lies beside the file
    std::string file, copy;        // of the running command
    std::vector<int> deletions;    // that stand when the command fails
};

Hold& hold() {
    static Hold h;
    return h;
}

int store_unit() { return XDISU.I(xdisu::kUnit); }

// The name of the structure file open on the store's unit; "" when none.
std::string open_file_name() {
    const UnitFile* f = units().file(store_unit());
    return f && !f->scratch && !f->console ? f->name : std::string();
}

// The file as the command left it is on the disc, every word a list
// registered included.
void flush_to_disc() {
    write_registered_space();
    if (units().sync(store_unit()) != IO_OK) {
        lst("(' xstor: ',i5,' error')", {static_cast<int>(IO_WRITE_FAILED)});
        zstop(200);
    }
}

void copy_not_put_back(const std::string& file, const std::string& copy) {
    lst_line(" *** error *** " + file + " could not be put back from " + copy + ": the next run puts it back");
}

// The store's unit on the file again, with its index read afresh.
void reopen_and_reload(const std::string& file) {
    units().open_direct(store_unit(), file, false, IMPL.I(implw::kRecordLength));
    XFILE.I(xfile::kIndexState) = xfile::kNotLoaded;
    XSAE.I(xsae::kCount) = 0;
    SLDF();
    XFILE.I(xfile::kIndexState) = xfile::kLoaded;
}

}  // namespace

std::string structure_copy_name(const std::string& structure_file) { return structure_file + ".bak"; }

bool hold_structure_file() {
    const std::string file = open_file_name();
    if (file.empty()) return true;
    const int fd = take_exclusive_lock(file);
    if (fd >= 0) {
        hold().lock_fd = fd;
        return true;
    }
    lst_line(" *** error *** structure file " + file +
             (fd == kLockHeld ? " is in use by another run" : " cannot be locked for this run") +
             ": it is left untouched");
    return false;
}

void let_go_structure_file() {
    release_lock(hold().lock_fd);
    hold().lock_fd = -1;
}

bool names_structure_file(const std::string& path) {
    const std::string file = open_file_name();
    if (file.empty()) return false;
    return same_file(path, file) || same_file(path, structure_copy_name(file));
}

bool recover_interrupted_command() {
    const std::string file = open_file_name();
    if (file.empty()) return true;
    const std::string copy = structure_copy_name(file);
    // A copy that was still being written when its run ended: the file
    // itself was not yet touched by that command.
    remove_file(unfinished_copy_name(copy));
    if (!file_present(copy)) return true;
    if (!put_back(copy, file)) {
        copy_not_put_back(file, copy);
        return false;
    }
    remove_file(copy);
    lst_line(" *** warning *** " + file + " was left by a run that ended during a command:");
    lst_line("                 it has been put back as it was before that command");
    return true;
}

bool CommandGuard::begin() {
    Hold& h = hold();
    h.command_running = false;
    h.deletions.clear();
    h.file = open_file_name();
    if (h.file.empty()) return true;
    h.copy = structure_copy_name(h.file);
    XDUMP();
    if (units().flush(store_unit()) != IO_OK || !copy_whole(h.file, h.copy)) {
        lst_line(" *** error *** no copy of " + h.file + " could be written to " + h.copy + ", the disc may be full:");
        lst_line("               the command is not run and the structure file is unchanged");
        return false;
    }
    h.command_running = true;
    return true;
}

void CommandGuard::commit() {
    Hold& h = hold();
    if (!h.command_running) return;
    flush_to_disc();
    h.command_running = false;
    remove_file(h.copy);
}

void CommandGuard::undo() {
    Hold& h = hold();
    if (!h.command_running) return;
    h.command_running = false;  // a stop on the way must not undo twice
    // What the pool and the run-time still hold belongs to the failed
    // command: it is dropped, not written.
    forget_buffered_blocks();
    units().close(store_unit());
    if (!put_back(h.copy, h.file)) {
        // The copy stays for the next run; this run ends without the file.
        copy_not_put_back(h.file, h.copy);
        XFILE.I(xfile::kIndexState) = xfile::kNotLoaded;
        return;
    }
    reopen_and_reload(h.file);
    for (int type : h.deletions) CANCELLA(type);
    if (units().sync(store_unit()) != IO_OK) {
        copy_not_put_back(h.file, h.copy);
        return;
    }
    remove_file(h.copy);
}

void keep_stored_lists() {
    Hold& h = hold();
    if (!h.command_running) return;
    flush_to_disc();
    if (!copy_whole(h.file, h.copy)) {
        lst_line(" *** warning *** " + h.copy + " could not be written: a failure of this command undoes the model stored");
        return;
    }
    h.deletions.clear();
}

void delete_list_for_good(int type) {
    CANCELLA(type);
    if (hold().command_running) hold().deletions.push_back(type);
}

}  // namespace zanek
