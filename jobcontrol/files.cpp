#include "jobcontrol/files.h"

#include <sys/stat.h>

#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"
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

void PC386(int& ierr) {
    UNIT.I(unitw::kCommands) = 1;
    UNIT.I(unitw::kListing) = 2;
    set_listing_unit(2);
    std::string first = getarg(1), second = getarg(2);
    if (first[0] == ' ') return;
    int iostat = 0;
    if (is_console_name(first)) {
        units().connect_console(UNIT.I(unitw::kCommands));
    } else if (JOPEN(UNIT.I(unitw::kCommands), rtrim(first), 0, 2, 1, iostat)) {
        ierr = -1;
        report_open_error(iostat, first);
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
        std::string path = padded(name, std::max<std::size_t>(name.size(), 256));
        int n = 0;
        MTRNLG(path, status == 2 ? "OLD" : "UNKNOWN", n);
        path = path.substr(0, n);
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
