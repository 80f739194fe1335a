// Reflection input of %data and the list-7 writer.
//
// DATAIN reads the measured reflections (a named file, or the lines of the
// command file after the job's commands), screens them (indices, systematic
// absences, resolution, sigma), reduces each to its standard symmetry
// equivalent and writes them to the direct-access scratch file (unit UNIT
// word 5, 85 six-word records per 512-word block). A presence table over
// the super-index then marks repeated equivalents. PREPL7 drops the repeats,
// numbers the survivors and hands them to SMERGE, which writes list 7.
//
// Scratch record (6 words): h k l (INTEGER, standard equivalent), Fo, sigma
// (REAL), phase word (INTEGER: known phase * 32 + phase restriction code).
// A repeat has Fo < 0; a generated (missing) reflection Fo 0.0, sigma -1.0.
//
// Super-index: S = C1 h + C2 k + l, C2 = 2 lmax + 1, C1 = (2 kmax + 1) C2,
// with kmax, lmax = UREQ words 2, 3. S > 0 for every standard equivalent;
// the largest must not exceed 100000 (the later commands index tables by it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jobcontrol/lists/list07.h"
#include "platform/fread.h"
#include "platform/word.h"

namespace zanek {

constexpr int kScratchRecordWords = 6;
constexpr int kMaxPerRecord = 12;         // reflections one input record may carry
constexpr int kMaxIndex = list7::kMaxIndex;  // largest |h|, |k|, |l| of list 7
constexpr int kMaxSuperIndex = 100000;    // size of the later commands' tables
constexpr int kMaxInputLine = 8192;       // longer input lines are refused
constexpr const char* kDefaultReflectionFormat = "(3i4,2f8.2)";

// One reflection as the input record carries it.
struct InputReflection {
    int32_t h = 0, k = 0, l = 0;
    float fo = 0.0f, sigma = 0.0f, phase = 0.0f;
};

// Reads the records of a reflection file with the user's format: each record
// carries `per_record` reflections (h, k, l, Fo, sigma and, with known
// phases, a phase). The first line is taken as text first and skipped when
// its first non-blank character is ">" (a heading); otherwise it is the
// first line of the first record, however many reflections that record
// carries. Lines longer than kMaxInputLine characters are refused.
class ReflectionReader {
public:
    ReflectionReader(int unit, std::string_view fmt, int per_record, bool phases);

    // Reads the next record into `out` (per_record reflections). Returns
    // FREAD_OK, FREAD_EOF at the end of the file, or a positive error status
    // (format, field or line faults; units' codes for failed reads).
    int next(std::vector<InputReflection>& out);

    // Lines taken from the unit so far (the heading included).
    int lines_read() const { return lines_; }
    // True until the first line has been read.
    bool at_start() const { return !started_; }
    // Reads the unit to its end and counts the lines that hold more than
    // blanks: what follows the end of the data (0 0 0, or a blank line,
    // which reads as 0 0 0) and was not taken as reflections.
    int count_lines_left();
    // What was wrong after an error (for tests and debugging).
    const std::string& message() const { return reader_.message(); }

private:
    int unit_;
    int per_record_;
    int fields_;  // items per reflection: 5, or 6 with phases
    FReader reader_;
    std::vector<FKind> kinds_;
    std::vector<Word> values_;
    bool started_ = false;
    int lines_ = 0;
    FRecordSource source_;

    int read_line(std::string& line);
};

// Reads the reflections for %data. The unit is IMPL word 3: the command
// file's unit (UNIT word 1) when the reflections follow the commands,
// otherwise the file NAME is opened on it (and closed again). fmt: the
// input format; nrec: reflections per record times +1 for amplitudes or
// -1 for intensities (F^2 and sigma(F^2)). nacc := accepted reflections.
// Writes the scratch file, sets RC words 16 and 18, UREQ words 1-3 and UNO,
// counts or generates the missing reflections, and prints its summary.
// ierr := -1 after its message on every failure.
void DATAIN(const std::string& name, const std::string& fmt, int nrec, int& nacc, int& ierr);

// Writes list 7 from the RC word 16 records of the scratch file: repeats
// (Fo < 0) are dropped, the others numbered with decreasing sequence keys
// and merged by SMERGE. iclass: pseudo-translation conditions (list-7 word
// 25); seed: the random seed for word 26, -1 on return. Then checks whether
// the sigmas mean anything and stores UREQ words 8 and 4 with SPB07. The
// lists formed from the reflections it replaces (pseudo-translation,
// relations, phase sets) are deleted.
void PREPL7(int iclass, int& seed, int nacc);

// Writes list 7 from nblk blocks of the scratch file, each holding nrec
// six-word list-7 records in decreasing order of word 2 (a negative key
// after a block's first record ends that block). mode 1: the record with
// the largest key among the blocks comes next (the lowest block on a tie);
// mode 0: the blocks one after the other. ntot: records of the new list.
void SMERGE(int nblk, int nrec, int ntot, int iclass, int seed, int mode);

// A known phase phi of the reflection read, carried to its standard
// equivalent: ((phi + shift) * sign) reduced to 1..360 (0 becomes 360).
int standard_phase(int phi, int shift, int sign);

// Strides of the super-index for the largest |h|, |k|, |l| of UREQ words
// 1-3, and the largest super-index hmax C1 + kmax C2 + lmax.
struct SuperIndex {
    int64_t c1 = 0, c2 = 0, largest = 0;
};
SuperIndex super_index_of_maxima();

// True when the largest super-index fits the later commands' tables
// (kMaxSuperIndex); otherwise prints the advice to lower rhomax below the
// data's largest s^2 and returns false.
bool super_index_fits(int64_t largest, float largest_s2);

// Records per block of the scratch file (BUFFER word 511, 85).
int scratch_records_per_block();

// Opens the direct-access scratch file of the reflections (UNIT word 5) as
// a nameless scratch file; false after the message when it cannot be opened.
bool open_reflection_scratch();

// Accepted reflections written into the direct-access scratch file (UNIT
// word 5) as six-word records, 85 to a block, blocks numbered from 1, as
// the list-7 preparation reads them. A write error stops with its message.
class ScratchWriter {
public:
    void put(int h, int k, int l, float fo, float sigma, int phase_word);
    void close();
    int blocks() const { return block_no_; }  // the blocks written or begun

private:
    static constexpr int kBlockWords = 512;  // one block of the scratch file
    Word block_[kBlockWords] = {};
    int fill_ = 0;
    int block_no_ = 1;
};

}  // namespace zanek
