#include "crystaldata/reflections.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <queue>
#include <vector>

#include "crystaldata/equivalents.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/refinput.h"
#include "jobcontrol/records/work.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"

namespace zanek {

namespace {

// Words of the records read in more than one place.
constexpr int kBlockWords = 512;
constexpr int kMergeWorkWords = 240000;  // the merge's share of the work store
constexpr float kEmptySlotKey = -9999.9f;
constexpr float kSmallSigma = 0.001f;

int scratch_unit() { return UNIT.I(unitw::kScratch); }

// --- The direct-access scratch file -------------------------------------

void scratch_fault(const char* what, int status) {
    lst("(' *** error ***  ',a,' on the scratch file, code =',i5)", {what, status});
    zstop(0, "scratch file");
}

void write_block(int block, const Word* words) {
    int st = units().write_direct(scratch_unit(), block, words, kBlockWords);
    if (st != IO_OK) scratch_fault("write error", st);
}

void read_block(int block, Word* words) {
    int st = units().read_direct(scratch_unit(), block, words, kBlockWords);
    if (st == IO_BEYOND_END) {
        std::fill(words, words + kBlockWords, Word{});
        return;
    }
    if (st != IO_OK) scratch_fault("read error", st);
}

// One block image of six-word records.
struct Block {
    Word w[kBlockWords] = {};
    Word* rec(int i) { return w + kScratchRecordWords * i; }  // i = 0..84
};

// --- The reflections' own checks -------------------------------------------

// In a centrosymmetric group a known phase can only be 0 or 180.
float centric_phase(float phase) {
    const float to_radians = 0.017453294f;  // pi/180 as the sine table has it
    return std::cos(phase * to_radians) > 0.0f ? 0.0f : 180.0f;
}

// The whole degrees of a phase, taken modulo 360 first so that any value
// read fits an INTEGER (the result is the truncated phase modulo 360).
int whole_degrees(float phase) { return static_cast<int>(std::fmod(static_cast<double>(phase), 360.0)); }

bool indices_too_large(int32_t h, int32_t k, int32_t l) {
    auto big = [](int32_t v) { return v > kMaxIndex || v < -kMaxIndex; };
    return big(h) || big(k) || big(l);
}

void print_expected() { lst_line("                 reflections expected"); }

// --- Presence of the reflections over the super-index ----------------------

// The presence table: words 1..244000 of the work store, and above them a
// table of our own in memory (the structure needs no file for it).
class PresenceTable final : public MissingReflections {
public:
    PresenceTable(int64_t largest, int nacc) : count_(nacc) {
        std::fill(XDATA.at(1), XDATA.at(1) + kXdataWords, Word{});
        if (largest > kXdataWords) high_.assign(static_cast<size_t>(largest - kXdataWords), 0);
    }

    // True when s was already seen in the input; marks it seen otherwise.
    bool seen_before(int64_t s) {
        if (s < 1) return false;  // not a standard equivalent: cannot occur
        Word* low = s <= kXdataWords ? XDATA.at(static_cast<size_t>(s)) : nullptr;
        int8_t* high = low ? nullptr : slot(s);
        int was = low ? low->i : *high;
        if (was == 1) return true;
        if (low) low->i = 1; else *high = 1;
        return false;
    }

    int presence(int s) override {
        if (s < 1) return 0;
        if (s <= kXdataWords) return XDATA.I(static_cast<size_t>(s));
        int8_t* p = slot(s);
        return p ? *p : 0;
    }
    void mark_generated(int s) override {
        if (s < 1) return;
        if (s <= kXdataWords) {
            XDATA.I(static_cast<size_t>(s)) = -10;
        } else if (int8_t* p = slot(s)) {
            *p = -10;
        }
    }

    // Generated reflections continue the last block of the scratch file.
    void append(int h, int k, int l, int code) override {
        const int per = scratch_records_per_block();
        if (!open_) {
            block_no_ = count_ / per + 1;
            fill_ = count_ % per;
            if (fill_ > 0) read_block(block_no_, block_.w);
            open_ = true;
        }
        Word* r = block_.rec(fill_);
        r[0].i = h;
        r[1].i = k;
        r[2].i = l;
        r[3].r = 0.0f;
        r[4].r = -1.0f;
        r[5].i = code;
        ++count_;
        if (++fill_ == per) {
            write_block(block_no_, block_.w);
            ++block_no_;
            fill_ = 0;
        }
    }
    void finish() override {
        if (open_ && fill_ > 0) write_block(block_no_, block_.w);
    }

private:
    std::vector<int8_t> high_;  // super-indices above the work store
    int count_;                 // records in the scratch file
    bool open_ = false;
    int block_no_ = 0, fill_ = 0;
    Block block_;

    // Entry of a super-index above the work store; nullptr for one inside it.
    int8_t* slot(int64_t s) {
        if (s <= kXdataWords) return nullptr;
        size_t i = static_cast<size_t>(s - kXdataWords - 1);
        if (i >= high_.size()) high_.resize(i + 1, 0);
        return &high_[i];
    }
};

// Counts of the input, for its summary.
struct InputCounts {
    int big_index = 0;      // an index above 63
    int absent = 0;         // systematically absent
    int beyond_rhomax = 0;  // s^2 above rhomax
    int negative = 0;       // Fo < 0 set to 0
    int independent = 0;
    int repeats = 0;
    float largest_s2 = -99.9f;
};


void print_absent(const InputReflection& r, int count) {
    if (count <= 10) {
        lst("(' Systematically absent :',3i4,'   Fobs =',f10.3,'   Sigma(Fobs) =',f10.3)",
            {r.h, r.k, r.l, r.fo, r.sigma});
    } else if (count == 11) {
        lst("(/' ....  and  so  on ')");
    }
}

void print_read_error(int unit, int status, int line) {
    lst("(' *** error ***   read error on channel ',i2,' code =',i5/'                 line number ',i5/)",
        {unit, status, line});
    print_expected();
}

// The reflections read and those passed over. Each count is right-justified
// in 15 columns (10 blanks and five digits for the usual files), so that a
// file of 100000 reflections or more still shows its counts whole.
void print_input_counts(const InputCounts& c) {
    lst("(/i15,'  input reflections')", {RC.I(rcw::kReflections)});
    if (c.beyond_rhomax)
        lst("(i15,'  rejected reflections with s**2 .gt. ',f6.3)", {c.beyond_rhomax, RC.R(rcw::kRhomax)});
    if (c.big_index) lst("(i15,'  rejected reflections with indices .gt. 63')", {c.big_index});
    if (c.negative) lst("(i15,'  Fo(s) negative set to 0.0                ')", {c.negative});
}

void print_summary(const InputCounts& c, int64_t largest_super) {
    print_input_counts(c);
    lst("(i15,'  independent input reflections'/i15,'  systematically absent reflections rejected'/"
        "i15,'  symmetry equivalent reflections rejected'/3x,3i4,'  maximum  h,k,l  values'/"
        "8x,f7.4,'  maximum s**2 = (sin(theta)/lambda)**2'/5x,i10,'  maximum super-index')",
        {c.independent, c.absent, c.repeats, max_index(1), max_index(2), max_index(3), c.largest_s2,
         static_cast<long long>(largest_super)});
}

// Marks the repeated equivalents in the scratch file: the first occurrence
// in input order is kept, a later one gets Fo := -|Fo| (-99.9 for a zero).
void mark_repeats(PresenceTable& table, int nacc, int blocks, int64_t c1, int64_t c2, InputCounts& c) {
    const int per = scratch_records_per_block();
    int done = 0;
    Block b;
    for (int blk = 1; blk <= blocks && done < nacc; ++blk) {
        read_block(blk, b.w);
        for (int i = 0; i < per && done < nacc; ++i, ++done) {
            Word* r = b.rec(i);
            int64_t s = c1 * r[0].i + c2 * r[1].i + r[2].i;
            if (table.seen_before(s)) {
                float fo = std::fabs(r[3].r);
                r[3].r = fo <= 0.00001f ? -99.9f : -fo;
                ++c.repeats;
            } else {
                ++c.independent;
            }
        }
        write_block(blk, b.w);
    }
}

}  // namespace

bool open_reflection_scratch() {
    int opens = 1, iostat = 0;
    if (!KOPEN(scratch_unit(), "", IMPL.I(implw::kRecordLength), opens, iostat)) return true;
    lst("(' *** error ***  open error, code =',i5,' file is ',a)", {iostat, "scratch"});
    return false;
}

void ScratchWriter::put(int h, int k, int l, float fo, float sigma, int phase_word) {
    Word* r = block_ + kScratchRecordWords * fill_;
    r[0].i = h;
    r[1].i = k;
    r[2].i = l;
    r[3].r = fo;
    r[4].r = sigma;
    r[5].i = phase_word;
    if (++fill_ == scratch_records_per_block()) {
        write_block(block_no_++, block_);
        fill_ = 0;
        std::fill(std::begin(block_), std::end(block_), Word{});
    }
}

// The last block is written also when it holds no record.
void ScratchWriter::close() { write_block(block_no_, block_); }

SuperIndex super_index_of_maxima() {
    SuperIndex s;
    s.c2 = 2LL * max_index(3) + 1;
    s.c1 = (2LL * max_index(2) + 1) * s.c2;
    s.largest = max_index(1) * s.c1 + max_index(2) * s.c2 + max_index(3);
    return s;
}

bool super_index_fits(int64_t largest, float largest_s2) {
    if (largest <= kMaxSuperIndex) return true;
    lst("(//' *** error *** maximum values of h,k,l are too large.'/'               The program cannot manage them'//"
        "' Restart the program using in %DATA the directive '/'                RHOMAX  xx                        '/"
        "' where xx must be less than ',f7.4/' in order to reduce the maximum values of h,k,l.  ')",
        {largest_s2});
    return false;
}

int scratch_records_per_block() {
    int n = BUFFER.I(bufw::kScratchRecordsPerBlock);
    return n >= 1 && n <= kBlockWords / kScratchRecordWords ? n : kBlockWords / kScratchRecordWords;
}

int standard_phase(int phi, int shift, int sign) {
    int p = ((phi + shift) * sign) % 360;
    if (p < 0) p += 360;
    return p == 0 ? 360 : p;
}

// ===========================================================================
// The reader of reflection records
// ===========================================================================

ReflectionReader::ReflectionReader(int unit, std::string_view fmt, int per_record, bool phases)
    : unit_(unit), per_record_(per_record), fields_(phases ? 6 : 5), reader_(fmt) {
    for (int i = 0; i < per_record_; ++i) {
        kinds_.insert(kinds_.end(), {FKind::Int, FKind::Int, FKind::Int, FKind::Real, FKind::Real});
        if (phases) kinds_.push_back(FKind::Real);
    }
    values_.resize(kinds_.size());
    source_ = [this](std::string& line) { return read_line(line); };
}

// One line of the unit, its line end removed; a line longer than the
// limit is a read fault (it is not read any further).
int ReflectionReader::read_line(std::string& line) {
    int st = units().read_line(unit_, line, static_cast<std::size_t>(kMaxInputLine));
    if (st == IO_EOF) return FREAD_EOF;
    if (st != IO_OK) return st;
    ++lines_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return FREAD_OK;
}

int ReflectionReader::count_lines_left() {
    int count = 0;
    bool inside_long_line = false;  // a line longer than the limit comes in pieces
    std::string line;
    for (;;) {
        int st = units().read_line(unit_, line, static_cast<std::size_t>(kMaxInputLine));
        const bool piece = st == IO_READ_FAILED && line.size() >= static_cast<std::size_t>(kMaxInputLine);
        if (st != IO_OK && !piece) return count;
        const bool filled = line.find_first_not_of(" \t\r") != std::string::npos;
        if (filled && !inside_long_line) ++count;
        inside_long_line = piece;
    }
}

int ReflectionReader::next(std::vector<InputReflection>& out) {
    int st;
    if (!started_) {
        started_ = true;
        std::string first;
        if ((st = read_line(first)) != FREAD_OK) return st;
        if ((st = reader_.check(kinds_.data(), kinds_.size())) != FREAD_OK) return st;
        std::size_t p = first.find_first_not_of(' ');
        if (p != std::string::npos && first[p] == '>') {
            st = reader_.read(kinds_.data(), kinds_.size(), values_.data(), source_);
        } else {
            st = reader_.read(first, kinds_.data(), kinds_.size(), values_.data(), source_);
        }
    } else {
        st = reader_.read(kinds_.data(), kinds_.size(), values_.data(), source_);
    }
    if (st != FREAD_OK) return st;
    out.resize(static_cast<size_t>(per_record_));
    for (int i = 0; i < per_record_; ++i) {
        const Word* v = values_.data() + fields_ * i;
        InputReflection& r = out[static_cast<size_t>(i)];
        r.h = v[0].i;
        r.k = v[1].i;
        r.l = v[2].i;
        r.fo = v[3].r;
        r.sigma = v[4].r;
        r.phase = fields_ == 6 ? v[5].r : 0.0f;
    }
    return FREAD_OK;
}

// ===========================================================================
// DATAIN
// ===========================================================================

void DATAIN(const std::string& name, const std::string& fmt, int nrec, int& nacc, int& ierr) {
    UNO.I(uno::kAvailable) = kXdataWords;
    int tlist[24];
    const int nt = translated_operators(tlist);
    const int lm1 = SYM.I(symw::kLattice) - 1;
    const int unit = IMPL.I(implw::kReflectionUnit);
    const bool own_file = unit != UNIT.I(unitw::kCommands);
    const bool known = UREQ.I(ureqw::kKnown) == 1;
    const bool centric = SYM.I(symw::kCentric) == 1;
    const bool intensities = nrec <= 0;
    const int per_record = std::min(std::abs(nrec), kMaxPerRecord);

    if (own_file) {
        int iostat = 0;
        if (JOPEN(unit, rtrim(name), 0, 2, 1, iostat)) {
            lst("(' *** error ***  open error, code =',i5,' file is ',a)", {iostat, rtrim(name)});
            print_expected();
            ierr = -1;
            return;
        }
    }
    auto close_file = [&] {
        if (own_file) units().close(unit);
    };

    RC.I(rcw::kReflections) = 0;
    nacc = 0;
    max_index(1) = max_index(2) = max_index(3) = -100;
    InputCounts counts;
    ScratchWriter out;
    ReflectionReader reader(unit, fmt, per_record, known);
    std::vector<InputReflection> record;

    bool end_of_data = per_record == 0;
    while (!end_of_data) {
        const bool first = reader.at_start();
        int st = reader.next(record);
        if (st == FREAD_EOF && first) {
            lst("(' *** error ***    eof on channel ',i2)", {unit});
            print_expected();
            close_file();
            ierr = -1;
            return;
        }
        if (st == FREAD_EOF) break;
        if (st != FREAD_OK) {
            print_read_error(unit, st, reader.lines_read() + (st == IO_READ_FAILED ? 1 : 0));
            close_file();
            ierr = -1;
            return;
        }
        for (InputReflection& r : record) {
            if (r.sigma < 0.0f) {
                lst("(/' *** error ***  negative value of sigma(F) in input:'//16x,'reflection ',3i4,"
                    "' Fobs =',f10.3,' Sigma(F) =',f10.3)",
                    {r.h, r.k, r.l, r.fo, r.sigma});
                close_file();
                ierr = -1;
                return;
            }
            if (known && centric) r.phase = centric_phase(r.phase);
            const int phase = known ? whole_degrees(r.phase) : 0;
            if (r.fo < 0.0f) {
                r.fo = 0.0f;
                ++counts.negative;
                if (r.sigma < 0.1f) r.sigma = 0.1f;
            }
            if (r.h == 0 && r.k == 0 && r.l == 0) {
                end_of_data = true;
                break;
            }
            RC.I(rcw::kReflections) += 1;
            if (indices_too_large(r.h, r.k, r.l)) {
                ++counts.big_index;
                continue;
            }
            int absent = 0;
            EXTIN(absent, r.h, r.k, r.l, lm1, nt, tlist);
            if (absent) {
                print_absent(r, ++counts.absent);
                continue;
            }
            int h = r.h, k = r.k, l = r.l, shift = 0, code = 1, sign = 1, same = 0;
            float s2 = 0.0f;
            GENEQ(1, h, k, l, shift, code, sign, same, s2);
            if (s2 > RC.R(rcw::kRhomax)) {
                ++counts.beyond_rhomax;
                continue;
            }
            // In hexagonal and trigonal groups the standard equivalent can
            // have an index above 63 although the input has none: it would
            // not fit the compact index of list 7.
            if (indices_too_large(h, k, l)) {
                ++counts.big_index;
                continue;
            }
            counts.largest_s2 = std::max(counts.largest_s2, s2);
            ++nacc;
            const int stored_phase = known ? standard_phase(phase, shift, sign) : 0;
            float fo = r.fo, sigma = r.sigma;
            if (intensities) {
                const float f2 = fo;
                fo = std::sqrt(f2);
                if (f2 < sigma) {
                    sigma = sigma / 2.0f;
                } else if (fo > 0.0f) {
                    sigma = sigma / (2.0f * fo);
                }
            }
            out.put(h, k, l, fo, sigma, stored_phase * 32 + code);
        }
    }
    // A blank line reads as 0 0 0: data after it would be lost unseen.
    if (end_of_data && own_file) {
        const int left = reader.count_lines_left();
        if (left > 0)
            lst("(/' *** warning ***  lines not read after the end of the data (0 0 0 or a blank line) :',i6/)",
                {left});
    }
    out.close();
    // Without a reflection the command would replace a stored list 7 by
    // an empty one.
    if (nacc == 0) {
        print_input_counts(counts);
        lst("(/' *** error ***  no reflection accepted from the input')");
        print_expected();
        RC.I(rcw::kReflections) = 0;
        close_file();
        ierr = -1;
        return;
    }

    const SuperIndex super = super_index_of_maxima();
    const int64_t c1 = super.c1, c2 = super.c2, largest = super.largest;
    UNO.I(uno::kRequired) = static_cast<int32_t>(std::clamp<int64_t>(largest, INT32_MIN, INT32_MAX));
    if (largest > kXdataWords) {
        lst("(' available memory too small, a scratch file'/' on channel ',i3,' will be used temporarely.'/"
            "' required =',i5,'  available =',i5)",
            {UNIT.I(unitw::kSequentialScratch), static_cast<long long>(largest), kXdataWords});
    }
    PresenceTable table(largest, nacc);
    mark_repeats(table, nacc, out.blocks(), c1, c2, counts);
    print_summary(counts, largest);

    RC.I(rcw::kReflections) = nacc;
    RC.R(rcw::kLargestS2) = counts.largest_s2;
    close_file();
    if (!super_index_fits(largest, counts.largest_s2)) {
        ierr = -1;
        return;
    }
    const int strides[2] = {static_cast<int>(c1), static_cast<int>(c2)};
    UNOBS(strides, lm1, nt, tlist, table);
}

// ===========================================================================
// PREPL7 and SMERGE
// ===========================================================================

namespace {

// The lists formed from the reflections of list 7: the pseudo-translation
// found by %normal, the relations of %seminvariants and %invariants (which
// name reflections by their place in list 7) and the phase sets of %phase.
constexpr int kListsOfTheReflections[] = {8, 9, 10, 11, 12, 16, 19, 20, 21, 24, 26, 27};

// New reflections make those lists describe reflections that are no longer
// there: they are deleted, so that a later command asks for them to be
// formed again instead of phasing the new data with the old relations.
void forget_lists_of_old_reflections() {
    for (int type : kListsOfTheReflections) CANCELLA(type);
}

}  // namespace

void PREPL7(int iclass, int& seed, int /*nacc*/) {
    const int per = scratch_records_per_block();
    const int n0 = RC.I(rcw::kReflections);
    const int in_blocks = (n0 + per - 1) / per;

    Block in, outb;
    auto reset_keys = [&] {
        for (int i = 0; i < per; ++i) outb.rec(i)[1].r = kEmptySlotKey;
    };
    reset_keys();
    int kept = 0, fill = 0, out_block = 0;
    double sigma_sum = 0.0, positive_sum = 0.0;
    int positive = 0;
    std::vector<float> sigmas;
    sigmas.reserve(static_cast<size_t>(std::max(n0, 0)));

    int read = 0;
    for (int blk = 1; blk <= in_blocks; ++blk) {
        read_block(blk, in.w);
        for (int i = 0; i < per && read < n0; ++i, ++read) {
            const Word* r = in.rec(i);
            if (!(r[3].r >= 0.0f)) continue;  // a repeated equivalent
            ++kept;
            Word* o = outb.rec(fill);
            o[0].i = compact_index(r[0].i, r[1].i, r[2].i);
            o[1].r = static_cast<float>(n0 - kept + 1);
            o[2].r = r[3].r;
            o[3].r = 0.0f;
            o[4].i = r[5].i;
            float sigma = r[4].r;
            if (std::fabs(sigma) < kSmallSigma) sigma = 0.1f;
            o[5].r = sigma;
            sigma_sum += sigma;
            sigmas.push_back(sigma);
            if (sigma > 0.0f) {
                ++positive;
                positive_sum += sigma;
            }
            if (++fill == per) {
                write_block(++out_block, outb.w);
                reset_keys();
                fill = 0;
            }
        }
    }
    if (fill > 0) write_block(++out_block, outb.w);

    RC.I(rcw::kReflections) = kept;
    SMERGE(out_block, per, kept, iclass, seed, 1);

    // Sigmas all alike, or all 1, carry no information.
    if (UREQ.I(ureqw::kSigma) != 0) {
        const double mean = kept > 0 ? sigma_sum / kept : 0.0;
        double spread = 0.0;
        for (float s : sigmas) spread += std::fabs(mean - s);
        if (kept > 0 && spread / kept < 0.01) UREQ.I(ureqw::kSigma) = 0;
        if (std::lround(positive_sum) == positive) UREQ.I(ureqw::kSigma) = 0;
    }
    if (UREQ.I(ureqw::kSigma) == 0) lst("(/' *** warning ***  sigma(F) values are meaningless'/)");

    UREQ.R(ureqw::kWeakLimit) = 0.0f;
    seed = -1;
    SPB07(seed);
    forget_lists_of_old_reflections();
}

namespace {

// One input block of the merge: its records and the one that is current.
struct MergeBlock {
    std::vector<Word> words;
    int n = 0;    // records in the block
    int pos = 0;  // current record
    float key() const { return words[static_cast<size_t>(kScratchRecordWords * pos + 1)].r; }
    const Word* current() const { return words.data() + kScratchRecordWords * pos; }
};

}  // namespace

void SMERGE(int nblk, int nrec, int ntot, int iclass, int seed, int mode) {
    YSFP07(ntot, iclass, seed);
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
    YSFL07(n, nref, nzro, ipseudo, x);
    UREQ.I(ureqw::kMultiUse) = kMergeWorkWords;

    nrec = std::clamp(nrec, 0, kBlockWords / kScratchRecordWords);
    std::vector<MergeBlock> blocks(static_cast<size_t>(std::max(nblk, 0)));
    Word image[kBlockWords];
    for (int b = 0; b < nblk; ++b) {
        read_block(b + 1, image);
        blocks[static_cast<size_t>(b)].words.assign(image, image + kScratchRecordWords * nrec);
        blocks[static_cast<size_t>(b)].n = nrec;
    }

    // A block offers its current record while it has one: the first record
    // whatever its key (unless the slot is empty), a later one while its
    // key is not negative.
    auto offers = [](const MergeBlock& b) {
        if (b.pos >= b.n) return false;
        float k = b.key();
        return b.pos == 0 ? k > -999.9f : k >= 0.0f;
    };

    int written = 0;
    if (mode == 1) {
        // Largest key first; of equal keys the lowest block.
        auto later = [&](int a, int b) {
            float ka = blocks[static_cast<size_t>(a)].key(), kb = blocks[static_cast<size_t>(b)].key();
            return ka != kb ? ka < kb : a > b;
        };
        std::priority_queue<int, std::vector<int>, decltype(later)> heap(later);
        for (int b = 0; b < nblk; ++b)
            if (offers(blocks[static_cast<size_t>(b)])) heap.push(b);
        while (!heap.empty() && written < ntot) {
            int b = heap.top();
            heap.pop();
            MergeBlock& mb = blocks[static_cast<size_t>(b)];
            XSLW07(mb.current());
            ++written;
            ++mb.pos;
            if (offers(mb)) heap.push(b);
        }
    } else {
        for (auto& mb : blocks)
            while (offers(mb) && written < ntot) {
                XSLW07(mb.current());
                ++written;
                ++mb.pos;
            }
    }
    YSFL07(n, nref, nzro, ipseudo, x);
    XDUMP();
}

}  // namespace zanek
