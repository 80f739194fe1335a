#include "phasing/phase_command.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "jobcontrol/commands.h"
#include "jobcontrol/history.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "phasing/convergence.h"
#include "phasing/final_table.h"
#include "phasing/multisolution.h"
#include "phasing/phasing_set.h"
#include "platform/listing.h"

namespace zanek {

namespace {

constexpr int kAtomList = 15;

void directive_error(const std::string& line) { lst("(' error in directive : ',a80)", {padded(line, 80)}); }

void wrong_directive(const std::string& line) {
    lst_line(" wrong directive on following line:");
    lst("(1x,a)", {padded(line, 80)});
}

void set_defaults(PhaseSettings& s, PhaseDirectives& d) {
    int n = 0, nref = 0, nzro = 0, ipseudo = 0, seed = 0;
    YSFL07(n, nref, nzro, ipseudo, seed);
    PARAM.I(param::kReflCount) = n;
    PARAM.I(param::kNref) = nref;
    d = PhaseDirectives{};
    d.nzro = nzro;
    d.ipseudo = ipseudo;
    s.seed = seed;
    s.new_seed = 0;
    s.onep = 3;
    s.twop = 0.0f;
    s.trial_output = 0;
    s.const100 = 100;
    s.minf = 0.95f;
    s.max_sets = 10;
    s.weights = kGeneralSymbolWeights;
    s.test = 1;
    s.reject = 1;
    EMAP.R(emap::kMinf) = s.minf;
    CRIS.clear();
    CRIS.I(cris::kRandomCount) = nref / 2;
    CRIS.I(cris::kMaxTrials) = 100;
    CRIS.I(cris::kDumpSet) = -1;
    MAG.I(mag::kLas) = 0;
    for (int w = konst::kAll; w <= konst::kTriaList + kMaxTriaTrials - 1; ++w) CONST.I(w) = 0;
    GIAN.I(gian::kSwitch) = 1;
    PARTIA.R(partia::kGmin) = 4.0f;
    PARTIA.R(partia::kCutm) = 0.05f;
    for (int i = 1; i <= 3; ++i) USE2.I(use2::kOrigValue - 1 + i) = 0;
    SUP.I(sup::kListCount) = 0;
    UREQ.I(ureqw::kPartial) = 0;
    UREQ.I(ureqw::kPrint) = 0;
}

// The outcome of one directive line.
enum class Line { Ok, Error, Unknown };

// What the reader keeps from the lines until all of them have been read.
struct LinesSeen {
    bool seed = false;      // a "seed" line was given
    std::string maxt_line;  // the last "maxt" line, judged once "rand" is known
};

Line act_on_line(const std::string& orig, PhaseSettings& s, PhaseDirectives& d, LinesSeen& seen) {
    const DirectiveLine dl = split_directive(orig);
    const std::string& line = dl.rest;
    const std::string key4 = dl.key(4), key3 = dl.key(3);

    float r[40];
    int iv[40], count = 0, iflag = 0;
    GETNUM(line, r, iv, count, iflag);
    if (iflag == -1) return Line::Error;
    const int nref = PARAM.I(param::kNref);

    if (key4 == "seed") {
        if (count != 1) return Line::Error;
        s.seed = iv[0];
        seen.seed = true;
    } else if (key4 == "nops") {
        GIAN.I(gian::kSwitch) = 0;
    } else if (key4 == "nneg") {
        d.nneg = 1;
    } else if (key4 == "nngq") {
        d.nngq = 1;
    } else if (key4 == "nore") {
        s.reject = 0;
    } else if (key4 == "test") {
        s.test = 0;
    } else if (key3 == "set") {
        if (count != 1) return Line::Error;
        CRIS.I(cris::kDumpSet) = iv[0];
    } else if (key4 == "maxt") {
        // The number matters only to a random start, which may be asked
        // for on a later line: its value is judged after the last line.
        if (count < 1) return Line::Error;
        CRIS.I(cris::kMaxTrials) = iv[0];
        seen.maxt_line = orig;
    } else if (key4 == "rand") {
        if (count > 1) return Line::Error;
        CRIS.I(cris::kRandomStart) = 1;
        if (count == 1 && iv[0] > 0) {
            CRIS.I(cris::kRandomCount) = iv[0];
            if (iv[0] >= nref - 4) CRIS.I(cris::kRandomCount) = std::max(nref - 4, 0);
        }
    } else if (key4 == "orig") {
        // Pairs (rank, origin value); an origin needs at most three.
        if (count < 2 || count % 2 != 0) return Line::Error;
        int kept = 0;
        int rank[kMaxOrigPairs + 1] = {}, value[kMaxOrigPairs + 1] = {};
        for (int i = 0; i < count; i += 2) {
            if (iv[i] < 1 || iv[i] > nref) continue;
            if (kept == kMaxOrigPairs) return Line::Error;
            rank[kept] = iv[i];
            value[kept] = iv[i + 1];
            ++kept;
        }
        d.orig = 1;
        d.norig = kept;
        for (int i = 0; i < kMaxOrigPairs; ++i) {
            d.orig_rank[i] = rank[i];
            USE2.I(use2::kOrigValue + i) = value[i];
        }
    } else if (key4 == "phas") {
        if (count < 3 || count % 3 != 0) return Line::Error;
        if (d.nphas + count / 3 > kMaxPhasTriples) return Line::Error;
        for (int i = 0; i < count; i += 3) {
            ++d.nphas;
            phas_rank(d.nphas) = iv[i];
            phas_phase(d.nphas) = iv[i + 1];
            phas_weight(d.nphas) = r[i + 2];
        }
    } else if (key4 == "perm") {
        d.nperm = count;
        if (count < 1 || count > kMaxSymbols) return Line::Error;
        for (int i = 1; i <= count; ++i) perm_rank(i) = iv[i - 1];
    } else if (key4 == "list") {
        if (count != 1) return Line::Error;
        SUP.I(sup::kListCount) = std::abs(iv[0]);
    } else if (key4 == "symb") {
        if (count != 1 || iv[0] > kMaxSymbols || iv[0] < 0) return Line::Error;
        d.symb = iv[0];
    } else if (key4 == "twop") {
        if (count != 1) return Line::Error;
        s.twop = r[0];
    } else if (key4 == "onep") {
        if (count != 1 || r[0] < 0.0f) return Line::Error;
        s.onep = static_cast<int>(std::trunc(r[0]));
    } else if (key4 == "prin") {
        if (count != 1) return Line::Error;
        UREQ.I(ureqw::kPrint) = iv[0];
    } else if (key4 == "enan") {
        if (count != 1) return Line::Error;
        d.enan = iv[0];
    } else if (key4 == "spec") {
        if (count != 1 || iv[0] > kMaxSymbols || iv[0] < 0) return Line::Error;
        d.spec = iv[0];
    } else if (key4 == "tria") {
        if (count < 1) return Line::Error;
        const int kept = std::min(count, kMaxTriaTrials);
        CONST.I(konst::kTriaCount) = kept;
        for (int i = 0; i < kept; ++i) CONST.I(konst::kTriaList + i) = iv[i];
    } else if (key4 == "minf") {
        if (count < 1) return Line::Error;
        s.minf = r[0];
        EMAP.R(emap::kMinf) = r[0];
        if (count >= 2) s.max_sets = iv[1];
        // A cfom is never negative: a threshold below 0 would end the trials
        // before the first one and leave no phase set.
        if (count > 2 || s.max_sets < 1 || r[0] < 0.0f) return Line::Error;
    } else if (key4 == "gmin") {
        if (count != 1) return Line::Error;
        PARTIA.R(partia::kGmin) = r[0];
    } else if (key4 == "cutm") {
        if (count != 1) return Line::Error;
        PARTIA.R(partia::kCutm) = r[0];
    } else if (key4 == "tabl") {
        if (count != 0) return Line::Error;
        d.tabl = 1;
    } else if (key4 == "part") {
        if (count != 0) return Line::Error;
        UREQ.I(ureqw::kPartial) = 1;
    } else if (key3 == "all") {
        if (count != 0) return Line::Error;
        CONST.I(konst::kAll) = 1;
    } else if (key3 == "las") {
        if (count != 0) return Line::Error;
        MAG.I(mag::kLas) = 1;
    } else {
        return Line::Unknown;
    }
    return Line::Ok;
}

// The directives and the stored relations have been accepted: only now does
// the command change what is stored. The atom list belongs to an earlier
// set of phases (no recycling R for the new ones yet), and a "seed"
// directive gives the reflection list its new seed before the trials.
void replace_stored_state(const PhaseSettings& s) {
    CANCELLA(kAtomList);
    EMAP.R(emap::kLastR) = -1.0f;
    if (s.new_seed > 0) SPB07(s.new_seed);
}

}  // namespace

void DIRPHA(PhaseSettings& s, PhaseDirectives& d) {
    set_defaults(s, d);
    LinesSeen seen;
    for (int k = directive_count(); k > 0; --k) {
        const std::string orig = next_directive_line();
        const Line outcome = act_on_line(orig, s, d, seen);
        if (outcome == Line::Ok) continue;
        if (outcome == Line::Error)
            directive_error(orig);
        else
            wrong_directive(orig);
        s.status = -1;
        // The command fails; its remaining lines are still its own.
        for (--k; k > 0; --k) next_directive_line();
        return;
    }
    s.trial_output = CONST.I(konst::kTriaCount) > 0 ? 1 : 0;
    if (CRIS.I(cris::kRandomStart) == 1) {
        // A random start makes exactly maxt trials: none would leave no
        // phase set at all.
        if (CRIS.I(cris::kMaxTrials) < 1) {
            directive_error(seen.maxt_line);
            s.status = -1;
            return;
        }
        if (UREQ.I(ureqw::kPartial) == 1) {
            lst_line("  *** error *** RANDOM & PARTIAL directives are not compatible.");
            s.status = -1;
            return;
        }
        s.onep = 0;
        d.nphas = 0;
    }
    if (seen.seed && s.seed > 0) s.new_seed = s.seed;
}

void CONTAN(int& status) {
    command_heading(" ZANEK : Phase routine", HeadingEnd::Standard, 85);
    section_banner("***   converge / diverge  section   ***");
    lst_blank();

    PhaseSettings s;
    s.status = status;
    s.trial_output = 15;
    CONVER(s);
    status = s.status;
    if (status < 0) return;
    replace_stored_state(s);

    HISTOR(5, 1, status);
    if (status < 0) return;

    PUNTS1();
    int saved_count = 0;
    if (s.reject == 0) {
        saved_count = UREQ1.I(ureq1::kSeminvCount);
        UREQ1.I(ureq1::kSeminvCount) = 0;
    }
    int unused = s.const100;
    TANGEN(s.pass_through, s.store_length, s.onep, s.twop, s.trial_output, s.test, unused, s.seed, s.minf,
           s.max_sets, status, s.weights);
    if (status < 0) return;
    if (s.reject == 0) UREQ1.I(ureq1::kSeminvCount) = saved_count;
    if (UREQ.I(ureqw::kKnown) > 0) SSFOM(&SUP.I(sup::kKnownMode2));
}

}  // namespace zanek
