#include "jobcontrol/zanek.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "graphics/screens.h"
#include "jobcontrol/command_file.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/history.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "crystaldata/special_functions.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/system.h"
#include "platform/units.h"

namespace zanek {

namespace {

// What the spooler notes while it reads one job.
struct JobNotes {
    bool initialize = false;
    bool reflection_file = false;
    std::string reflection_name;
    bool contents_seen = false;
    int last_code = 2;
};

const std::string kRule120Stars = std::string(120, '*');

// The text with each control character shown as ^ and its letter.
std::string printable(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        if (std::iscntrl(u)) out += {'^', static_cast<char>(u == 127 ? '?' : u + '@')};
        else out += ch;
    }
    return out;
}

void clear_queue() {
    for (int k = 1; k <= kQueueCapacity; ++k) comdir::code(k) = comdir::directive_lines(k) = 0;
    COMDIR.I(comdir::kCount) = 0;
    COMDIR.I(comdir::kCursor) = 0;
}

// Reads the next line of the command file: false at the end of the file.
// A carriage return before the line end is dropped, and a line longer than
// 80 characters is cut with a warning.
bool read_command_line(std::string& line) {
    std::string raw;
    if (units().read_line(UNIT.I(unitw::kCommands), raw) != IO_OK) return false;
    bool cut = false;
    line = command_file_line(raw, cut);
    if (cut) lst("(' *** warning *** line longer than 80 characters, cut: ',a)", {line});
    return true;
}

bool queue_code(int code, JobNotes& notes, int& status) {
    int& count = COMDIR.I(comdir::kCount);
    if (count + 1 > COMDIR.I(comdir::kCapacity)) {
        lst("(' more than ',i5,' commands used '/' check input file or submit two jobs ')",
            {COMDIR.I(comdir::kCapacity)});
        status = -2;
        return false;
    }
    count += 1;
    comdir::code(count) = code;
    comdir::directive_lines(count) = 0;
    notes.last_code = code;
    return true;
}

// %continue: the standard sequence that follows the last queued command.
bool queue_continuation(JobNotes& notes, int& status) {
    int s = notes.last_code + 1;
    if (s == 2) s = 3;
    if (s == 24) s = 1;
    for (int code = s; code <= CMD_END; ++code) {
        if (code == CMD_SEMINV) continue;
        if (!queue_code(code, notes, status)) return false;
    }
    return true;
}

bool store_directive(const std::string& line, JobNotes& notes, int& status) {
    if (COMDIR.I(comdir::kCount) == 0) {
        lst("(' no command specified for directive ',a)", {rtrim(line)});
        status = -2;
        return false;
    }
    int& cursor = COMDIR.I(comdir::kCursor);
    if (cursor + 1 > kMaxDirectives) {
        lst("(' more than 100 directives used '/' check for missing  %end or %continue')");
        status = -2;
        return false;
    }
    cursor += 1;
    CHARA.set_line(cursor, line);
    comdir::directive_lines(COMDIR.I(comdir::kCount)) += 1;

    std::string key = line.substr(0, 4);
    LCASE(key);
    if (key == "molp" || key == "scha" || key == "mold") {
        std::string rest = line, word(40, ' ');
        int n, m;
        CUTST(rest, n, word, m);
        if (n > 0) DOTDAT.name[4] = padded(rest, 80);
    }
    std::string rest;
    if (reflection_directive(line, rest)) {
        notes.reflection_file = true;
        // The word examined last is now the one after "refl": a reflection
        // file whose name begins with "cont" asks for the scattering
        // factors check as a contents line does.
        key = rest.substr(0, 4);
        LCASE(key);
        if (reflections_follow(rest)) {
            IMPL.I(implw::kReflectionUnit) = UNIT.I(unitw::kCommands);
            notes.reflection_name = "card reader";
        } else {
            notes.reflection_name = rtrim(rest);
        }
    }
    if (key == "cont") notes.contents_seen = true;
    return true;
}

// Carries out a command line; returns false when the job's input ends
// (end_input) or on error (status -2).
bool command_line(const std::string& line, JobNotes& notes, int& status, bool& end_input) {
    int code = command_code(line);
    if (notes.last_code == CMD_PATTERSON) code = CMD_END;
    if (code == 0) {
        lst("(' error in command ',a)", {rtrim(line)});
        status = -2;
        return false;
    }
    std::string rest = line, word(40, ' ');
    int n = 0, m = 0;
    switch (code) {
    case CMD_WINDOW: {
        CUTST(rest, n, word, m);
        float rnum[40];
        int inum[40], count = 0, iflag = 0;
        GETNUM(rest, rnum, inum, count, iflag);
        if (count == 2) {
            SCREEN.I(screenw::kWidth) = std::max(inum[0], 639);
            SCREEN.I(screenw::kHeight) = std::max(inum[1], 479);
        }
        SCREEN.I(screenw::kMode) = 1;
        return true;
    }
    case CMD_NOWINDOW:
        SCREEN.I(screenw::kMode) = 0;
        return true;
    case CMD_CONTINUE:
        if (!queue_continuation(notes, status)) return false;
        end_input = true;
        return true;
    case CMD_JOB:
        CUTST(rest, n, word, m);
        set_job_title(n > 0 ? rest : std::string());
        return true;
    case CMD_STRUCTURE: {
        std::string name;
        if (!structure_name_of(line, name)) {
            lst("(' No structure name specified ')");
            status = -2;
            return false;
        }
        // A control character would be cut off or taken literally by the
        // file system: the four files could then be one another.
        if (std::any_of(name.begin(), name.end(), [](char ch) { return std::iscntrl(static_cast<unsigned char>(ch)); })) {
            lst_line(" *** error *** the structure name holds a control character: " + printable(rtrim(name)));
            status = -2;
            return false;
        }
        for (int i = 1; i <= 4; ++i) DOTDAT.name[i] = padded(rtrim(name) + DOTDAT.suffix[i], 80);
        return true;
    }
    case CMD_INITIALIZE:
        notes.initialize = true;
        return true;
    default:
        if (!queue_code(code, notes, status)) return false;
        if (code == CMD_END) end_input = true;
        return true;
    }
}

void write_command_table(int& export_flag) {
    lst_line(" Used commands & directives:");
    lst_blank();
    int line_no = 0;
    for (int k = 1; k <= COMDIR.I(comdir::kCount); ++k) {
        int code = comdir::code(k);
        int ndir = comdir::directive_lines(k);
        if (code == CMD_EXPORT) export_flag = 1;
        std::string head = std::string(11, ' ') + CHARAS.command_mark() + CHARAS.keyword(code) + " ";
        lst_blank();
        if (ndir == 0) {
            lst_line(rtrim(head + (code == CMD_END ? "" : "default")));
        } else {
            lst_line(rtrim(head + CHARA.line(++line_no)));
            for (int d = 2; d <= ndir; ++d) lst_line(rtrim(std::string(27, ' ') + CHARA.line(++line_no)));
        }
    }
}

// The release check of the scattering factors file; false when the
// preamble must stop at once.
bool check_form_file(int& status) {
    std::string name = rtrim(CHARA.form_file());
    int unit = IMPL.I(implw::kFormUnit), iostat = 0;
    if (JOPEN(unit, name, 0, 2, 1, iostat)) {
        lst("(' *** error ***  open error, code =',i5,' file is ',a)", {iostat, name});
        status = -2;
        return true;
    }
    std::string first;
    int rs = units().read_line(unit, first);
    if (rs != IO_OK) {
        lst("(' error ',i5,' reading record no. ','  1',' in file ',a)", {rs == IO_EOF ? -1 : rs, name});
        units().close(unit);
        status = -2;
        return false;
    }
    std::string release = padded(first, 5).substr(0, 5);
    lst("(i6,'    scattering factors file          ',a/6x,'    ( Release : ',a,' )')", {unit, name, release});
    units().close(unit);
    if (release != kFormRelease) {
        status = -2;
        form_release_message();
    }
    return true;
}

// The file table; false when the preamble must stop at once (the first
// line of the scattering factors file cannot be read).
bool write_file_table(const JobNotes& notes, int export_flag, int& status) {
    lst_blank(2);
    lst_line(" Files used in zan:");
    lst_blank();
    lst_line("  Channel                                  Name");
    lst("(i6,'    card reader')", {UNIT.I(unitw::kCommands)});
    lst("(i6,'    line printer')", {UNIT.I(unitw::kListing)});
    lst("(i6,'    direct access structure file     ',a)", {IMPL.I(implw::kStructureUnit), rtrim(DOTDAT.name[1])});
    lst("(i6,'    direct access scratch file')", {UNIT.I(unitw::kScratch)});
    lst("(i6,'    sequential scratch file ')", {UNIT.I(unitw::kSequentialScratch)});
    if (notes.reflection_file)
        lst("(i6,'    reflection input file            ',a)", {IMPL.I(implw::kReflectionUnit), notes.reflection_name});
    if (notes.contents_seen && !check_form_file(status)) return false;
    if (export_flag) {
        lst("(i6,'    fourier peaks file               ',a)", {UNIT.I(unitw::kPeaks), rtrim(DOTDAT.name[3])});
        lst("(i6,'    peaks file to be plotted         ',a)", {UNIT.I(unitw::kPlot), rtrim(DOTDAT.name[4])});
        lst("(i6,'    sequential scratch file ')", {UNIT.I(unitw::kIfour)});
        lst_blank(2);
    }
    return true;
}

void write_preamble(const JobNotes& notes, int new_file, int& export_flag, int& status) {
    lst_line(" " + kRule120Stars);
    lst_line(std::string(20, ' ') + job_title());
    lst_blank(2);
    WRHEAD();
    write_command_table(export_flag);
    // A scattering factors file that cannot be opened or has the wrong
    // release fails the run, but the rest of the preamble is still written.
    if (!write_file_table(notes, export_flag, status)) return;
    lst_blank(3);
    if (new_file == 1) {
        lst_line("      Direct access structure file has been initialized");
        lst_blank(2);
    } else {
        lst_line("      Direct access structure file actually contains:");
        lst_blank();
        SUMMAR();
    }
}

}  // namespace

bool open_structure_file(bool initialize, int& new_file, bool with_first_command) {
    // A later job treated as a first job may name another file: the file
    // open until now is flushed and closed, and the new file's index loaded.
    if (units().connected(IMPL.I(implw::kStructureUnit))) {
        settle_structure_file();
        XDUMP();
        units().close(IMPL.I(implw::kStructureUnit));
        XFILE.I(xfile::kIndexState) = xfile::kNotLoaded;
    }
    let_go_structure_file();
    int next = 0;
    XGIV(1, 800, next);
    int count = 0, iostat = 0;
    if (KOPEN(IMPL.I(implw::kStructureUnit), DOTDAT.name[1], IMPL.I(implw::kRecordLength), count, iostat)) {
        lst("(' error ',i5,'  opening file ',a)", {iostat, rtrim(DOTDAT.name[1])});
        return false;
    }
    // One run at a time: the file is read, and what a run that ended during
    // a command left beside it removed, only once this run holds it.
    if (!hold_structure_file()) {
        units().close(IMPL.I(implw::kStructureUnit));
        let_go_structure_file();
        return false;
    }
    remove_leftover_copies();
    return load_or_initialise_index(initialize, new_file, with_first_command);
}

namespace {

// A file that is not empty and holds no valid index may be anything (a
// mistyped name); it is left exactly as it is.
bool refuse_structure_file() {
    lst("(' *** error *** file ',a,' is not empty and holds no valid structure file index'/"
        "'               it is left untouched: check the name given with %structure')",
        {rtrim(DOTDAT.name[1])});
    return false;
}

// Writes a new empty index as one step: a run that ends on the way leaves
// the file as it was, not a file of zero blocks without an index, which
// every later run would refuse. What the file held before is not copied:
// the new index starts a new file.
bool initialise_index(bool with_first_command) {
    CommandGuard guard(true);
    auto write_index = [] {
        static const Word zeros[kStoreBlockWords] = {};
        XSTOR(kIndexHeaderAddress / kStoreBlockWords, zeros, kStoreBlockWords);
        SETFI();
        XFILE.I(xfile::kIndexState) = xfile::kLoaded;
        XSAE.I(xsae::kCount) = 0;
    };
    try {
        write_index();
    } catch (const CommandFailed&) {
        guard.undo();
        return false;
    }
    if (!with_first_command) return guard.commit();
    // Stored with the job's first command: %data on a new file replaces
    // the file once, not twice.
    guard.pass_on(write_index);
    return true;
}

}  // namespace

bool load_or_initialise_index(bool initialize, int& new_file, bool with_first_command) {
    new_file = 0;
    if (store_file_empty() || initialize) {
        // A new file, or the user asked for one: it gets a new index
        // whatever it held.
        if (!initialise_index(with_first_command)) return false;
        new_file = 1;
    } else {
        // The index block must be whole before it is read: a read beyond
        // the end of the file would write a zero block into it.
        if (!store_block_in_file(kIndexHeaderAddress / kStoreBlockWords)) return refuse_structure_file();
        XDWN(kIndexHeaderAddress, XFILI.at(xfili::kTable), 10);
        if (XFILI.I(xfili::kHeaderMagic) != XFILE.I(xfile::kIndexMagic)) return refuse_structure_file();
        if (JSLDF()) {
            index_corrupted_message();
            return refuse_structure_file();
        } else {
            check_lists_in_file();
        }
    }
    XFILE.I(xfile::kIndexState) = xfile::kLoaded;
    XSAE.I(xsae::kCount) = 0;
    return true;
}

void reset_run_records() {
    reset_job_records();
    reset_store_records();
    reset_crystal_records();
    reset_scatter_records();
    reset_symmetry_list();
    reset_atom_records();
    reset_list_pointers();
    reset_phaseset_records();
    SPEC = initial_spec();
    reset_error_routines();
    SHELL.clear();
    CPSEUD.clear();
    XDISU.I(xdisu::kUnit) = IMPL.I(implw::kStructureUnit);
    BUFFER.I(bufw::kScratchRecordsPerBlock) = IMPL.I(implw::kBlockLength) / 6;
    fill_trig();
}

void SPOOLR(std::string& line, int& new_file, int& job_count, int& export_flag, int& status) {
    static JobNotes notes;
    if (job_count < 0) {
        fill_trig();
        std::string title;
        for (int k = 0; k < 10; ++k) title += " zanek  ";
        set_job_title(title);
        export_flag = 0;
    }
    UREQ.I(ureqw::kMultiUse) = 0;
    status = 0;
    clear_queue();
    notes = JobNotes();
    if (job_count > 0) {
        lst_blank(2);
        lst_line(" Please enter commands and directives ( %% to go, %end to stop )");
    }
    bool end_input = false;
    while (!end_input) {
        if (!read_command_line(line)) {
            lst_line(" no   %end or %continue   command specified");
            status = -2;
            return;
        }
        switch (shift_command_line(line)) {
        case CommandLineKind::Skipped: break;
        case CommandLineKind::Directive:
            if (!store_directive(line, notes, status)) return;
            break;
        case CommandLineKind::JobEnd:
            job_count += 1;
            end_input = true;
            break;
        case CommandLineKind::Command:
            if (!command_line(line, notes, status, end_input)) return;
            break;
        }
    }
    if (job_count > 0) {
        // Only the first job of a run opens the structure file.
        if (notes.initialize)
            lst_line(" *** warning *** %initialize ignored: only the first job of a run can initialize the structure file");
        return;
    }
    job_count += 1;
    if (IMPL.I(implw::kOutsideMode) == 0)
        for (int k = 8; k <= 106; ++k) IMPL.I(k) = 0;
    if (!open_structure_file(notes.initialize, new_file, true)) {
        status = -2;
        return;
    }
    write_preamble(notes, new_file, export_flag, status);
}

namespace {

void record_history(int code) {
    int& count = IMPL.I(implw::kHistoryCount);
    count += 1;
    if (count <= 79) IMPL.I(implw::kHistoryCount + count) = code;
}

}  // namespace

// Opens a new progress line of the phase, Fourier or restart area; a run
// with more such commands than the area has lines keeps counting but
// writes nowhere.
void open_progress_line(int code) {
    int area = code == CMD_PHASE ? 0 : code == CMD_FOURIER ? 1 : code == CMD_RESTART ? 2 : -1;
    if (area < 0) return;
    int n = ++SCMESS.counter[area];
    if (n >= 1 && n <= kProgressLines) SCMESS.area[area][n] = std::string(80, ' ');
}

// Calls the routine of a command code.
void dispatch_command(int code, int new_file, int& job_count, int& status) {
    switch (code) {
    case CMD_NORMAL: NORMAL(status); break;
    case CMD_SEMINV: SEMINV(status); break;
    case CMD_INVAR: INVAR(status); break;
    case CMD_PHASE: CONTAN(status); break;
    case CMD_FOURIER: FOURIE(DOTDAT.name[3], status); break;
    case CMD_EXPORT: EXPORT(status); break;
    case CMD_END:
    case CMD_GO:
        job_count = -1;
        break;
    case CMD_RESTART: RESTAR(status); break;
    case CMD_HISTORY: BEFOR(); break;
    case CMD_PATTERSON: PATTER(status); break;
    case CMD_QUARTETS: break;
    case CMD_VORP: VORPM(status); break;
    case CMD_DATA: DATAZAN(new_file, status); break;
    default:
        lst("(' wrong command code = ',i5,' for ',a14,' command')", {code, CHARAS.keyword(code)});
        status = -1;
        break;
    }
}

// Runs one command: when it fails or stops, every stored list is as it was
// before it; when it ends ok, its lists are on the disc.
void run_command(int code, int new_file, int& job_count, int& status) {
    CommandGuard guard;
    try {
        dispatch_command(code, new_file, job_count, status);
    } catch (const CommandFailed&) {
        status = -1;
    }
    if (status >= 0 && !guard.commit()) status = -1;
    if (status < 0) guard.undo();
}

void ZANCOM(int new_file, int& job_count, int& status) {
    COMDIR.I(comdir::kCursor) = 0;
    COMDIR.I(comdir::kRunning) = 0;
    status = 0;
    for (;;) {
        int& running = COMDIR.I(comdir::kRunning);
        running += 1;
        XLIMI.I(xlimi::kListBase) = 1;
        int code = running <= kQueueCapacity ? comdir::code(running) : 0;
        if (code == 0) return;
        record_history(code);
        open_progress_line(code);
        SCR2();
        run_command(code, new_file, job_count, status);
        if (code == CMD_END || code == CMD_GO) return;
        if (status < 0) return;
    }
}

int ZANEK() {
    int status = 0;
    PC386(status);
    if (status >= 0) {
        if (!units().connected(UNIT.I(unitw::kCommands))) units().connect_console(UNIT.I(unitw::kCommands));
        int job_count = -1, new_file = 0, export_flag = 0;
        for (int i = 1; i <= 4; ++i) {
            std::string name = DOTDAT.name[i].substr(0, 30) + DOTDAT.suffix[i];
            int n;
            XCMPRP(name, n);
            DOTDAT.name[i] = padded(name, 80);
        }
        std::string line(80, ' ');
        for (;;) {
            SPOOLR(line, new_file, job_count, export_flag, status);
            if (status < 0) break;
            SCR1();
            ZANCOM(new_file, job_count, status);
            if (status < 0 || job_count < 0) break;
        }
    }
    std::string message = status >= 0 ? " == ZANEK ends ok      " : " == ZANEK ends in error";
    int n = 23;
    if (status != -2) SCREND(message, n);
    settle_structure_file();
    units().close(IMPL.I(implw::kStructureUnit));
    lst_blank(2);
    lst("(1x,a)", {message.substr(0, n)});
    XWIN(nullptr, nullptr, 0, 17, "    ", 0);
    return status;
}

namespace {

// A stop ends the listing and is said on standard error; the run's exit
// code is 2.
void say_stop(const ZanekStop& stop) {
    const std::string text = stop.text.empty() ? (stop.code ? " STOP " + std::to_string(stop.code) : " STOP")
                                               : " STOP " + stop.text;
    lst_line(text);
    std::cerr << text << "\n";
}

}  // namespace

int run_program(int argc, char** argv) {
    set_args(argc, argv);
    reset_run_records();
    int exit_code = 0;
    try {
        exit_code = ZANEK() >= 0 ? 0 : 1;
    } catch (const ZanekStop& stop) {
        say_stop(stop);
        exit_code = 2;
    }
    // A new index that no command took up is stored now; a stop met there
    // ends the run as any other (after a stop, only that one is said).
    try {
        settle_structure_file();
    } catch (const ZanekStop& stop) {
        if (exit_code != 2) say_stop(stop);
        exit_code = 2;
    }
    lst_flush();
    units().close(IMPL.I(implw::kStructureUnit));
    let_go_structure_file();
    // A listing that did not reach its file leaves the user no record of
    // the run: that is a failed run, said where it can still be seen.
    const std::string listing = listing_name();
    if (!close_listing()) {
        std::cerr << " *** error *** the listing file " << listing << " could not be written\n";
        for (const std::string& line : lines_to_act_on()) std::cerr << line << "\n";
        exit_code = std::max(exit_code, 1);
    }
    std::fflush(stdout);
    return exit_code;
}

}  // namespace zanek
