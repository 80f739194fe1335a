#include "jobcontrol/files.h"

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

#include "jobcontrol/command_file.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/durable.h"
#include "platform/listing.h"
#include "platform/system.h"
#include "platform/units.h"

namespace zanek {

namespace {

bool exists(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0;
}

void report_open_error(int iostat, const std::string& arg) {
    lst("(' *** error ***  open error, code =',i5,' file is ',a)", {iostat, rtrim(arg)});
}

}  // namespace

bool is_console_name(const std::string& arg) {
    std::string a = rtrim(arg);
    LCASE(a);
    return a == "con";
}

namespace {

// The path JOPEN opens for a name: a logical directory translated as status
// says ("OLD" for a file read, "UNKNOWN" for one written).
std::string opened_path(const std::string& name, const std::string& status) {
    std::string path = padded(name, std::max<std::size_t>(name.size(), 256));
    int n = 0;
    MTRNLG(path, status, n);
    return path.substr(0, n);
}

bool regular_file(const std::string& path) {
    struct stat sb;
    return ::stat(path.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

// True when both paths lead to one file: the same device and inode when
// either exists, so that links and winding paths are caught; for a file
// still to be made, the same name in the same folder.
bool same_place(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (exists(a) || exists(b)) return same_file(a, b);
    return base_name(a) == base_name(b) && same_file(folder_of(a), folder_of(b));
}

// True when the file holds a structure file's index header: word 8 of the
// header carries the index mark, whatever the file is called. Only a
// regular file is read: a pipe or a terminal would lose what is read.
bool holds_structure_index(const std::string& path) {
    if (!regular_file(path)) return false;
    constexpr int kMarkAddress = kIndexHeaderAddress + 7;
    const long long record_bytes = 4LL * IMPL.I(implw::kRecordLength);
    const long long offset = record_bytes * (kMarkAddress / kStoreBlockWords) + 4LL * (kMarkAddress % kStoreBlockWords);
    std::ifstream in(path, std::ios::binary);
    unsigned char b[4];
    if (!in.seekg(offset) || !in.read(reinterpret_cast<char*>(b), 4)) return false;
    const uint32_t word = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    return static_cast<int32_t>(word) == kIndexMagic;
}

// A file the run reads or keeps, and what it is to the run.
struct RunFile {
    std::string path;
    std::string role;
};

// The structure file of a %structure name, opened by that name as it stands.
std::string structure_path(const std::string& name) { return rtrim(name) + DOTDAT.suffix[1]; }

// Notes an input file a directive names, when it names one.
void note_input(const std::string& name, const char* role, std::vector<RunFile>& files) {
    if (!rtrim(name).empty()) files.push_back({opened_path(rtrim(name), "OLD"), role});
}

// The input file a directive line names under its command: the reflection
// file of %data ("reflections follow" has them inline) and the fragment
// file of %fourier.
void note_named_input(int command, const std::string& line, std::vector<RunFile>& files) {
    std::string rest;
    if (command == CMD_DATA && reflection_directive(line, rest) && !reflections_follow(rest))
        note_input(rest, "the reflection file named in the command file", files);
    const DirectiveLine d = split_directive(line);
    if (command == CMD_FOURIER && d.key() == "frag")
        note_input(d.rest, "the fragment file named in the command file", files);
}

// Reads the command file ahead, line by line as the spooler will, for the
// structure files and input files its jobs name. It is read here by its
// path: the spooler reads it from its start on its own unit.
void note_files_named_in(const std::string& command_path, std::vector<RunFile>& files) {
    std::ifstream in(command_path);
    std::string raw;
    int command = 0;
    while (std::getline(in, raw)) {
        bool cut = false;
        std::string line = command_file_line(raw, cut);
        switch (shift_command_line(line)) {
        case CommandLineKind::Skipped: break;
        case CommandLineKind::Directive: note_named_input(command, line, files); break;
        case CommandLineKind::JobEnd: command = 0; break;
        case CommandLineKind::Command: {
            command = command_code(line);
            std::string name;
            if (command == CMD_STRUCTURE && structure_name_of(line, name))
                files.push_back({structure_path(name), "the structure file named in the command file"});
            break;
        }
        }
    }
}

// The files a listing must never be written over: the command file, the
// structure file a job uses when it names none, and the files the command
// file names. A command file that is not a regular file (a pipe) is not
// read ahead: what is read from it would be lost to the spooler.
std::vector<RunFile> files_of_the_run(const std::string& command_path) {
    std::vector<RunFile> files;
    if (!command_path.empty()) files.push_back({command_path, "the command file"});
    files.push_back({structure_path(DOTDAT.name[1]), "the default structure file"});
    if (regular_file(command_path)) note_files_named_in(command_path, files);
    return files;
}

// The listing is written from its start, and so emptied first: a name that
// leads to a file the run reads or keeps is refused, before anything is
// written, on standard error (there is no listing yet). An earlier listing
// is written over as always.
bool listing_name_allowed(const std::string& listing, const std::string& command_path) {
    const std::string path = opened_path(listing, "UNKNOWN");
    std::string role;
    for (const RunFile& f : files_of_the_run(command_path))
        if (role.empty() && same_place(path, f.path)) role = f.role;
    if (role.empty() && holds_structure_index(path)) role = "a structure file";
    if (role.empty()) return true;
    std::cerr << " *** error *** the listing file " << listing << " is " << role << ": it is not written over\n";
    return false;
}

// Connects the command file (the console for "con"); command_path := the
// file opened, "" for the console. False after the message of a failed open.
bool connect_command_file(const std::string& arg, std::string& command_path) {
    if (is_console_name(arg)) {
        units().connect_console(UNIT.I(unitw::kCommands));
        return true;
    }
    int iostat = 0;
    if (JOPEN(UNIT.I(unitw::kCommands), rtrim(arg), 0, 2, 1, iostat)) {
        report_open_error(iostat, arg);
        return false;
    }
    command_path = opened_path(rtrim(arg), "OLD");
    return true;
}

}  // namespace

void PC386(int& ierr) {
    UNIT.I(unitw::kCommands) = 1;
    UNIT.I(unitw::kListing) = 2;
    set_listing_unit(2);
    std::string first = getarg(1), second = getarg(2);
    if (first[0] == ' ') return;
    std::string command_path;
    if (!connect_command_file(first, command_path)) {
        ierr = -1;
        return;
    }
    if (second[0] == ' ') return;
    if (is_console_name(second)) {
        UNIT.I(unitw::kListing) = 6;
        set_listing_unit(6);
        units().connect_console(6);
        SCREEN.I(screenw::kMode) = 0;
        return;
    }
    if (!listing_name_allowed(rtrim(second), command_path)) {
        ierr = -1;
        return;
    }
    int iostat = 0;
    if (JOPEN(UNIT.I(unitw::kListing), rtrim(second), 0, 0, 1, iostat)) {
        ierr = -1;
        report_open_error(iostat, second);
        return;
    }
    SCREEN.I(screenw::kMode) = 1;
}

bool JOPEN(int unit, const std::string& name, int /*recl*/, int status, int form, int& iostat) {
    FileForm ff = form == 2 ? FileForm::Unformatted : FileForm::Formatted;
    if (status == 1) {
        iostat = units().open_seq(unit, "", OpenStatus::Scratch, ff);
    } else {
        const std::string path = opened_path(name, status == 2 ? "OLD" : "UNKNOWN");
        iostat = units().open_seq(unit, path, status == 2 ? OpenStatus::Old : OpenStatus::Unknown, ff);
    }
    if (iostat == IO_OK) units().rewind(unit);
    return iostat > 0;
}

bool KOPEN(int unit, const std::string& name, int recl, int& count, int& iostat) {
    count += 1;
    iostat = units().open_direct(unit, rtrim(name), count == 2, recl);
    return iostat > 0;
}

namespace {

// One level of the translation: a name, the column of its colon, and the
// elements of the environment value of its logical name.
struct Level {
    std::string name;
    std::string translation;
    std::size_t pos = 0;
    bool translated = false;
};

// Next comma-separated element of a level's translation; false when used up.
bool next_element(Level& lv, std::string& element) {
    if (lv.pos > lv.translation.size() || lv.translation.empty()) return false;
    std::size_t comma = lv.translation.find(',', lv.pos);
    if (comma == std::string::npos) {
        element = lv.translation.substr(lv.pos);
        lv.pos = lv.translation.size() + 1;
    } else {
        element = lv.translation.substr(lv.pos, comma - lv.pos);
        lv.pos = comma + 1;
    }
    return true;
}

// Resolves one name; first_only takes the first candidate (NEW, FRESH).
std::string translate(const std::string& name0, bool first_only) {
    std::string name = name0.substr(0, 256);
    std::size_t colon = name.find(':');
    // No logical name: no colon, or a drive letter in column 2.
    if (colon == std::string::npos || colon < 2) return name;
    Level lv;
    std::string logical = name.substr(0, colon);
    std::string upper(logical.size(), ' ');
    XCCUPC(logical, upper);
    lv.name = upper + name.substr(colon);
    lv.translation = rtrim(getenv_str(upper).substr(0, 256));
    std::string element;
    while (next_element(lv, element)) {
        std::string candidate = (element + lv.name.substr(colon + 1)).substr(0, 256);
        if (first_only || exists(candidate)) return candidate;
    }
    return lv.name;
}

}  // namespace

void MTRNLG(std::string& name, const std::string& status, int& n) {
    std::size_t len = name.size();
    std::string base = rtrim(name);
    std::string result;
    if (status == "NEW" || status == "FRESH") {
        result = translate(base, true);
    } else {
        result = translate(base, false);
        // UNKNOWN: when no candidate exists, the first candidate is taken.
        if (status == "UNKNOWN" && !exists(result)) result = translate(base, true);
    }
    name = padded(result, std::max(len, result.size()));
    n = KSTRLN(name);
}

}  // namespace zanek
