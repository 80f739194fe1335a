// Small helpers shared by %export, %restart and %patterson.
#pragma once

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/store/store.h"
#include "platform/fformat.h"
#include "platform/units.h"

namespace zanek {

// True when list `type` is stored in the structure file.
inline bool list_stored(int type) {
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

// Writes the records of a formatted line to a file unit.
inline void put(int unit, std::string_view fmt, const std::vector<FItem>& items = {}) {
    for (const std::string& rec : fformat(fmt, items)) units().write_line(unit, rec);
}

inline std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The two characters of the symbol of species t as stored (lower case);
// blanks outside 1..8.
inline std::string stored_symbol(int t) {
    if (t < 1 || t > sf::kMaxSpecies) return "  ";
    const char* p = reinterpret_cast<const char*>(&sf::symbol(t));
    return std::string(p, 2);
}

// pi as the sine table's record holds it.
inline float trig_pi() { return TRIG.R(trig::kPi) > 0.0f ? TRIG.R(trig::kPi) : 3.1415927f; }

// The job title cut to n characters.
inline std::string title_chars(int n) { return job_title().substr(0, n); }

// A file name of DOTDAT without its trailing blanks.
inline std::string dotdat_name(int k) {
    std::string s = DOTDAT.name[k];
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Opens export file DOTDAT name k (3 the main file, 4 the plot file) on
// the unit; on failure the open-error message and false.
bool open_export_file(int unit, int k);

// Closes an export file after its last line; when a line or the close
// could not be written (a full disc, a device that takes nothing) the
// write-error message and false: the file is not whole.
bool close_export_file(int unit, int k);

// Opens the two scratch files of the maps, "jrel" (UNIT word 4) and
// "ifour" (UNIT word 3); on failure the message, ierr := -1 and false.
bool open_map_scratch_files(int& ierr);

}  // namespace zanek
