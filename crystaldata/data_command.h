// The %data command: cell, space group, cell content, known fragments and
// the description of the reflection input, read from the directive lines;
// lists 1, 2, 3 and 15 stored from them, and list 7 from the reflections.
#pragma once

#include <string>
#include <vector>

namespace zanek {

constexpr int kDataSeed = 67543;     // random seed of phasing stored in list 7
constexpr int kMaxFragments = 10;    // entries of the fragment table of ATOMS
constexpr int kMaxContentTypes = 8;  // atom types of the cell content

// What the directives of one %data say about the reflection input and the
// fragments; lives for the command only.
struct DataDirectives {
    enum class Source { None, CommandFile, NamedFile };
    Source source = Source::None;
    std::string name;    // reflection file, 80 characters
    std::string format;  // input format, 80 characters
    int records = 1;     // reflections per input record (directive reco)
    int sign = 1;        // -1 after fosq: the input holds F^2
    int nrec = 1;        // records * sign, handed to the reflection input
    int shift[3] = {0, 0, 0};  // origin shift in 1/24
    int shift_flag = 0;
    bool cell_read = false, group_read = false, content_read = false;
    int seed = kDataSeed;
    std::string symbol_line;  // the spac line as typed
    // Fragment atoms given without an occupancy: their occupancy is 1/m,
    // m the multiplicity of their site, found once the symmetry is known.
    std::vector<int> site_occupancy_slots;
};

// Runs %data. new_file is not read; status := -1 after the message of a
// failure.
void DATAZAN(int new_file, int& status);

// Reads the command's directive lines, sets the defaults and the shared
// records, and stores lists 1, 2, 3 and 15. ierr := -1 on failure (every
// missing cell, symbol or content is reported before the command fails).
void DIRDAT(DataDirectives& d, int& ierr);

// Parses the cell content from the rest of a cont line (lower case): pairs
// of element symbol and count, at most 8 (more are ignored). Fills SF words
// 73-80 (counts), 100-107 (symbols) and 89 (ntypes). ntypes := -1 on a bad
// line: a symbol without count, a count that is no number or not positive.
void GETCON(std::string& line, int& ntypes);

// Reads the atoms of one fragment; line (its length n as CUTST left it)
// holds the rest of the frag line, or is blank when the atoms start on the
// next directive line. orig: the line as typed; lineno: number of the
// directive line being read, nlines: the command's directive-line count.
// ierr 0: a line that is no atom line was met; it is left in line/orig
// for the directive reader. 1: the directive lines are used up. -1: a bad
// atom line (orig holds it).
void GETFRG(std::string& line, int& n, std::string& orig, int& lineno, int nlines, DataDirectives& d,
            int& ierr);

// Default number of phasing reflections for nasym atoms in the asymmetric
// unit: A = trunc(4 nasym + 100.5) (+50 centrosymmetric, +50 with one
// operator), at most 499; then A + trunc(min(499 - A, 100) / 2).
int default_phasing_reflections(double nasym, bool centric, bool one_operator);

// True when the six cell constants describe a cell: positive edges and
// angles (degrees, or cosines when alpha is below 1.5) of a real volume.
bool cell_is_sound(const float cell[6]);

// Sigma3 / Sigma2^1.5 of the cell content of SF (the cell, not yet the
// primitive cell).
float content_ratio();

}  // namespace zanek
