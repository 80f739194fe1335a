// The known-fragment path of %normal (directive `part`), run in-process on
// the computed test jobs: the fragment phases stored in list 7 against the
// true phases of the data and against the fragment's structure factors
// computed independently (gemmi, fixtures/make_fragment_phases.py), the
// bookkeeping of the cell content, the faults, and %phase taking the
// fragment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "crystaldata/fragment.h"
#include "crystaldata/normal.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/normal.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/zanek.h"
#include "platform/fformat.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

using namespace zanek;
using namespace zanek::test;

namespace {

constexpr int kData = 23, kNormal = 1, kSemin = 2, kInvar = 3, kPhase = 4;

using Atom = TrueAtom;

std::string job_dir(const std::string& job) { return jobs_dir() + "/" + job; }

std::vector<Atom> truth(const std::string& job) { return true_atoms(job); }
// The fragment as directive lines of %normal: `part`, then the atoms.
std::vector<std::string> part_lines(const std::vector<Atom>& atoms) { return fragment_directives(atoms); }

// Difference of two phases in degrees, 0..180.
int phase_error(int a, int b) {
    int d = std::abs(a - b) % 360;
    return d > 180 ? 360 - d : d;
}

// Atoms of an element in the cell content (SF), -1 when it is not there.
int count_of(const std::string& element) {
    const Word w = species_word(element);
    for (int t = 1; t <= sf::species(); ++t)
        if (std::memcmp(&sf::symbol(t), &w, 2) == 0) return sf::count(t);
    return -1;
}

int fragment_phase(const List7Record& r) { return r.phase_word / 32768; }
int known_phase(const List7Record& r) { return (r.phase_word % 32768) / 32; }

class Fragment : public InProcessJob {
protected:
    Fragment() : InProcessJob("fragment") {}

    // The %data directives of the job's known-phase command file; its
    // reflection file is copied into the test's folder.
    std::vector<std::string> data_known(const std::string& job) { return data_of(job, "_known"); }
    // The same job without known phases.
    std::vector<std::string> data_plain(const std::string& job) { return data_of(job, ""); }

    std::vector<std::string> data_of(const std::string& job, const std::string& kind) {
        std::filesystem::copy_file(job_dir(job) + "/data" + kind + ".hkl", dir + "/data" + kind + ".hkl",
                                   std::filesystem::copy_options::overwrite_existing);
        return test_job_data_directives(job, kind);
    }

    int run(const std::vector<std::pair<int, std::vector<std::string>>>& cmds) {
        queue(cmds, "");
        return run_queue();
    }

    Word header_word(int w) {
        int n = 0, nref = 0, nzro = 0, ip = 0, x = 0;
        YSFL07(n, nref, nzro, ip, x);
        return DATA.W(XLIMI.I(xlimi::kListBase) + w - 1);
    }
};

// --- The fragment phases of the test jobs ----------------------------------

struct JobCase {
    const char* job;
    int atoms;             // the first atoms of truth.res given as the fragment
    double max_mean_error; // mean phase error of the phasing reflections
};
void PrintTo(const JobCase& c, std::ostream* os) { *os << c.job; }

class FragmentPhases : public Fragment, public ::testing::WithParamInterface<JobCase> {};

TEST_P(FragmentPhases, AgreeWithTheTruePhasesOfTheStrongReflections) {
    const JobCase& c = GetParam();
    std::vector<Atom> atoms = truth(c.job);
    ASSERT_GE(static_cast<int>(atoms.size()), c.atoms);
    // Scattering power of the fragment and of the atoms not located, at s = 0.
    // sigma3/sigma2^1.5 of the whole cell and of the atoms not located
    // (four general positions, primitive lattice, in both groups).
    double known = 0.0, unknown = 0.0, s2 = 0.0, s3 = 0.0, u2 = 0.0, u3 = 0.0;
    for (std::size_t j = 0; j < atoms.size(); ++j) {
        const double z = atoms[j].element == "C" ? 6 : atoms[j].element == "N" ? 7 : 8;
        const bool in_fragment = static_cast<int>(j) < c.atoms;
        (in_fragment ? known : unknown) += z * z;
        s2 += 4 * z * z;
        s3 += 4 * z * z * z;
        if (!in_fragment) u2 += 4 * z * z, u3 += 4 * z * z * z;
    }
    atoms.resize(static_cast<std::size_t>(c.atoms));
    ASSERT_EQ(run({{kData, data_known(c.job)}, {kNormal, part_lines(atoms)}}), 0) << listing();

    auto recs = list7();
    ASSERT_FALSE(recs.empty());
    EXPECT_EQ(header_word(16).r, 1.0f);  // the partial-structure state travels with list 7
    EXPECT_NEAR(header_word(22).r, s3 / std::pow(s2, 1.5), 1e-5);
    EXPECT_NEAR(header_word(23).r, u3 / std::pow(u2, 1.5), 1e-5);
    const int nref = RC.I(rcw::kNref);
    ASSERT_GT(nref, 50);
    double sum = 0.0;
    int agree = 0;
    for (int j = 0; j < nref; ++j) {
        const List7Record& r = recs[static_cast<std::size_t>(j)];
        const int p = fragment_phase(r);
        ASSERT_GE(p, 1);
        ASSERT_LE(p, 360);
        ASSERT_GE(known_phase(r), 1) << "the known phase is kept";
        const int e = phase_error(p, known_phase(r));
        sum += e;
        if (e <= 45) ++agree;
        EXPECT_GT(r.a, 0.0f);  // E' of an observed reflection
    }
    // Random phases would be 90 degrees off on average.
    EXPECT_LT(sum / nref, c.max_mean_error) << "mean phase error of " << nref << " phasing reflections";
    EXPECT_GT(agree, nref / 2);
    // E' is normalised on the atoms not yet located, E'p is the E of the
    // fragment on the same scale: their mean squares differ by about 1,
    // and that of E'p is about the fragment's share.
    double e2 = 0.0, ep2 = 0.0;
    for (const List7Record& r : recs) {
        e2 += r.a * r.a;
        ep2 += r.b * r.b;
    }
    e2 /= recs.size();
    ep2 /= recs.size();
    EXPECT_NEAR(e2 - ep2, 1.0, 0.3);
    EXPECT_GT(ep2, 0.6 * known / unknown);
    EXPECT_LT(ep2, 1.25 * known / unknown);
    // Fo of the first pass is on the absolute scale of the fragment's Fc:
    // half the structure leaves a residual near 50 %.
    const std::string l = listing();
    const std::size_t at = l.find("Resid =");
    ASSERT_NE(at, std::string::npos);
    const double resid = std::stod(l.substr(at + 7, 7));
    EXPECT_GT(resid, 30.0);
    EXPECT_LT(resid, 65.0);
    // The E order of the first pass is kept.
    for (std::size_t j = 1; j < recs.size(); ++j) ASSERT_GE(recs[j - 1].key, recs[j].key);
    // The listing of the known-fragment pass.
    EXPECT_TRUE(listed("***  partial structure section  ***"));
    EXPECT_TRUE(listed(" reflections with largest E values , associated pseudo-normalized E's and partial phases"));
    EXPECT_TRUE(listed(" reflections with weakest E values , associated pseudo-normalized E's and partial phases"));
    EXPECT_TRUE(listed("Resid ="));
    // The first pass lists its statistics only; the amplitude tables and
    // the E listing come once, after the fragment pass.
    auto count = [&](const std::string& text) {
        int n = 0;
        for (std::size_t p = l.find(text); p != std::string::npos; p = l.find(text, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("***   final statistics section   ***"), 1);
    EXPECT_EQ(count("number and percentage of  F's > limit"), 1);
    EXPECT_EQ(count("largest E-values to phase"), 0);
    // With known phases two entries to a line: code, h k l, E', E'p, the
    // fragment phase, E, the known phase, fo/sig.
    const List7Record& r = recs[0];
    const std::string entry = " " + fmt_i(1, 4) + "  " + fmt_i(r.h, 3) + fmt_i(r.k, 3) + fmt_i(r.l, 3) +
                              fmt_f(r.a, 6, 2) + fmt_f(r.b, 6, 2) + fmt_i(fragment_phase(r), 7) + fmt_f(r.key, 6, 2) +
                              fmt_i(known_phase(r), 5);
    EXPECT_TRUE(listed("\n" + entry)) << entry;
    EXPECT_TRUE(listed("\n code    h  k  l   E'    E'p   phip    E   phi  fo/sig.     code    h  k  l   E'    E'p"));
}

INSTANTIATE_TEST_SUITE_P(Jobs, FragmentPhases,
                         ::testing::Values(JobCase{"rand_p212121_c20o4", 12, 40.0},
                                           JobCase{"rand_p21c_c18n2o4", 12, 30.0}),
                         [](const auto& info) { return std::string(info.param.job); });

TEST_F(Fragment, PhasesEqualTheFragmentsIndependentStructureFactors) {
    // Twelve carbon atoms: their phases depend on the positions only.
    std::vector<Atom> atoms;
    for (const Atom& a : truth("rand_p212121_c20o4"))
        if (a.element == "C" && atoms.size() < 12) atoms.push_back(a);
    ASSERT_EQ(run({{kData, data_known("rand_p212121_c20o4")}, {kNormal, part_lines(atoms)}}), 0) << listing();
    auto recs = list7();

    std::ifstream f(source_dir() + "/tests/crystaldata/fixtures/fragment_phases_p212121.txt");
    ASSERT_TRUE(f.good());
    std::string line;
    int compared = 0;
    double largest = 0;
    struct Ref { int h, k, l; double f, phase; };
    std::vector<Ref> refs;
    while (std::getline(f, line)) {
        if (line.empty() || line[0] == '#') continue;
        Ref r;
        std::istringstream(line) >> r.h >> r.k >> r.l >> r.f >> r.phase;
        refs.push_back(r);
        largest = std::max(largest, r.f);
    }
    for (const Ref& ref : refs) {
        const List7Record* r = find(recs, ref.h, ref.k, ref.l);
        ASSERT_NE(r, nullptr) << ref.h << " " << ref.k << " " << ref.l;
        if (ref.f < 0.1 * largest) continue;  // a small sum has an ill-defined phase
        // Each atom's term is taken at a whole degree: the sum's phase is
        // within a degree or two.
        EXPECT_LE(phase_error(fragment_phase(*r), static_cast<int>(std::lround(ref.phase))), 2)
            << ref.h << " " << ref.k << " " << ref.l;
        ++compared;
    }
    EXPECT_GT(compared, 100);
}

TEST_F(Fragment, PhaseRunsWithTheFragment) {
    std::vector<Atom> atoms = truth("rand_p212121_c20o4");
    atoms.resize(12);
    ASSERT_EQ(run({{kData, data_known("rand_p212121_c20o4")},
                   {kNormal, part_lines(atoms)},
                   {kSemin, {}},
                   {kInvar, {}},
                   {kPhase, {"part", "maxt 4"}}}),
              0)
        << listing().substr(listing().size() > 3000 ? listing().size() - 3000 : 0);
    EXPECT_TRUE(listed(" partial structure procedure"));
    EXPECT_TRUE(stored(16));
}

TEST_F(Fragment, ListingWithoutKnownPhasesHasThreeEntriesALine) {
    std::vector<Atom> atoms = truth("rand_pbar1_c14o2");
    atoms.resize(8);
    ASSERT_EQ(run({{kData, data_plain("rand_pbar1_c14o2")}, {kNormal, part_lines(atoms)}}), 0) << listing();
    const auto recs = list7();
    ASSERT_GE(recs.size(), 3u);
    std::string line = " ";
    for (int j = 0; j < 3; ++j) {
        const List7Record& r = recs[static_cast<std::size_t>(j)];
        line += fmt_i(j + 1, 4) + fmt_i(r.h, 3) + fmt_i(r.k, 3) + fmt_i(r.l, 3) + fmt_f(r.a, 5, 2) + fmt_f(r.b, 5, 2) +
                fmt_i(fragment_phase(r), 4) + fmt_f(r.key, 6, 2) +
                fo_sigma_text6(r.fo, r.sigma, UREQ.I(ureqw::kSigma) >= 1) + "   ";
        EXPECT_EQ(known_phase(r), 0);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    EXPECT_TRUE(listed("\n" + line + "\n")) << line;
    const std::string head = "code  h  k  l   E'  E'p phip   E  fo/sig. ";
    EXPECT_TRUE(listed("\n " + head + head + head));
}

// --- Bookkeeping of the cell content ---------------------------------------

TEST_F(Fragment, AtomOnASpecialPositionCountsAsItsShareOfTheCell) {
    // P 21/c: four general positions; an atom on a centre of symmetry
    // given without occupancy has m = 2, occupancy 1/2, and stands for 2
    // atoms of the cell.
    ASSERT_EQ(run({{kData, data_known("rand_p21c_c18n2o4")},
                   {kNormal, {"part", "c 0.0 0.0 0.0", "o 0.2 0.3 0.4", "prin 0"}}}),
              0)
        << listing();
    EXPECT_FLOAT_EQ(atom_coord(1, 5), 0.5f);
    EXPECT_FLOAT_EQ(atom_coord(2, 5), 1.0f);
    EXPECT_EQ(count_of("c"), 72 - 2);  // content c 72 o 16 n 8
    EXPECT_EQ(count_of("o"), 16 - 4);
    EXPECT_EQ(sf::heavy_atoms(), 96 - 2 - 4);
    EXPECT_TRUE(listed("Fragment : known positions for    2  atoms having multiplicity =  4.0\n"));
    const std::string zero = "         0.0000";  // F15.4
    EXPECT_TRUE(listed("\n" + std::string(29, ' ') + "C " + zero + zero + zero + "         0.5000\n"));
    EXPECT_TRUE(listed("\n" + std::string(31, ' ') + "Number of not localized atoms in asymmetric unit = 22.50\n"));
}

TEST_F(Fragment, FragmentOfAllAtomsOfAnElementIsAccepted) {
    // P -1 with c 28 o 4: two oxygen atoms in general positions are all four.
    ASSERT_EQ(run({{kData, data_known("rand_pbar1_c14o2")},
                   {kNormal, {"part", "o 0.1 0.2 0.3", "o 0.3 0.2 0.1"}}}),
              0)
        << listing();
    EXPECT_EQ(count_of("o"), 0);
    EXPECT_EQ(count_of("c"), 28);
}

struct FaultCase {
    const char* name;
    std::vector<std::string> data_content;  // replaces the cont line when given
    std::vector<std::string> normal;
    const char* message;
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FragmentFault : public Fragment, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FragmentFault, MessageAndFailedCommand) {
    const FaultCase& c = GetParam();
    std::vector<std::string> data = data_known("rand_pbar1_c14o2");
    if (!c.data_content.empty())
        for (std::string& l : data)
            if (l.rfind("cont", 0) == 0) l = c.data_content[0];
    queue({{kData, data}, {kNormal, c.normal}}, "");
    ASSERT_EQ(dispatch(1), 0) << listing();
    EXPECT_EQ(dispatch(2), -1);
    EXPECT_TRUE(listed(c.message)) << listing().substr(listing().size() > 2500 ? listing().size() - 2500 : 0);
}

const FaultCase kFaults[] = {
    {"element_not_in_content", {}, {"part", "n 0.1 0.2 0.3"}, "\n error :n  type not present in the declared content\n"},
    {"more_atoms_than_the_content",
     {},
     {"part", "o 0.1 0.2 0.3", "o 0.3 0.2 0.1", "o 0.4 0.4 0.1"},
     "\n  *** error *** the number of atoms in the fragment \n"
     "                exceedes the cell content\n"
     "                type of atom O  max =        4\n\n\n"},
    {"no_atom_left", {"cont c 2 o 2"}, {"part", "c 0.1 0.2 0.3", "o 0.3 0.2 0.1"},
     "\n *** error *** known fragment too big.\n"},
    {"bfac_on_data_not_normalised", {}, {"part", "c 0.1 0.2 0.3", "bfac 3.0"},
     "\n  *** error *** BFAC & PARTIAL directives are not compatible.\n"},
};

INSTANTIATE_TEST_SUITE_P(Faults, FragmentFault, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Fragment, GeneratedReflectionsRefuseAFragment) {
    std::vector<std::string> data = data_known("rand_pbar1_c14o2");
    data.push_back("gene");
    // Every tenth reflection left out of the data, to be generated.
    std::istringstream all(read_file(dir + "/data_known.hkl"));
    std::string kept, l;
    for (int i = 0; std::getline(all, l); ++i)
        if (i % 10 != 5) kept += l + "\n";
    write_file(dir + "/data_known.hkl", kept);
    queue({{kData, data}, {kNormal, {"part", "c 0.1 0.2 0.3"}}}, "");
    ASSERT_EQ(dispatch(1), 0);
    ASSERT_TRUE(listed("reflections (not in input data) have been added")) << "the test needs generated ones";
    EXPECT_EQ(dispatch(2), -1);
    EXPECT_TRUE(listed("\n\n *** error *** Partial directive not allowed if \n"
                       "               reflections have been generated.\n"));
}

TEST_F(Fragment, PseudoRequestIsIgnoredWithAWarning) {
    ASSERT_EQ(run({{kData, data_known("rand_pbar1_c14o2")}, {kNormal, {"pseu", "part", "c 0.97905 0.45630 0.71885"}}}),
              0)
        << listing();
    EXPECT_TRUE(listed("\n  *** warning *** PSEUDO & PARTIAL directives are not compatible. PSEUDO ignored.\n"));
    EXPECT_EQ(CPSEUD.I(cpseud::kClass), -1);
}

TEST_F(Fragment, ANormalisedListTakesTheFragmentInOnePass) {
    std::vector<Atom> atoms = truth("rand_pbar1_c14o2");
    atoms.resize(8);
    std::vector<std::string> normal = part_lines(atoms);
    normal.push_back("bfac 2.5");  // accepted: the data were normalised before
    ASSERT_EQ(run({{kData, data_known("rand_pbar1_c14o2")}, {kNormal, {}}}), 0) << listing();
    const auto before = list7();
    const std::size_t mark = listing().size();
    queue({{kNormal, normal}}, "");
    ASSERT_EQ(dispatch(1), 0) << listing().substr(mark);
    const std::string tail = listing().substr(mark);
    // One pass: one section, no statistics of the whole content.
    EXPECT_NE(tail.find("***  partial structure section  ***"), std::string::npos);
    EXPECT_EQ(tail.find("***   final statistics section   ***"), std::string::npos);
    EXPECT_NE(tail.find("Previous temperature factor (b) =  2.50000"), std::string::npos);
    const auto after = list7();
    ASSERT_EQ(after.size(), before.size());
    int agree = 0;
    // Fo and sigma are brought to the absolute scale of the fragment's Fc
    // by one factor for all reflections.
    ASSERT_GT(before[0].fo, 0.0f);
    const double factor = after[0].fo / before[0].fo;
    for (std::size_t j = 0; j < after.size(); ++j) {
        EXPECT_EQ(after[j].key, before[j].key);  // the E of the earlier run
        EXPECT_NEAR(after[j].fo, factor * before[j].fo, 1e-5 * after[j].fo + 1e-4);
        EXPECT_NEAR(after[j].sigma, factor * before[j].sigma, 1e-5 * after[j].sigma + 1e-4);
        if (j < 100 && phase_error(fragment_phase(after[j]), known_phase(after[j])) == 0) ++agree;
    }
    EXPECT_GT(agree, 85);  // centric: 0 or 180, mostly right with half the atoms
    // A later %normal on this list refuses to run.
    queue({{kNormal, {}}}, "");
    EXPECT_EQ(dispatch(1), -1);
    EXPECT_TRUE(listed(" *** error ***  PARTIAL or PSEUDO have been used"));
}

// The residual "Resid =" of the fragment pass listed after position `from`.
double listed_residual(const std::string& listing, std::size_t from = 0) {
    const std::size_t at = listing.find("Resid =", from);
    return at == std::string::npos ? -1.0 : std::stod(listing.substr(at + 7, 7));
}

TEST_F(Fragment, OnePassOnNormalisedDataAgreesWithTwoPasses) {
    // The same fragment on the same data: once in the two passes of one
    // %normal, once in the single pass of a %normal after a complete one.
    // Both compare Fc with Fo on the absolute scale of the first Wilson plot.
    std::vector<Atom> atoms = truth("rand_pbar1_c14o2");
    atoms.resize(8);
    const std::vector<std::string> data = data_known("rand_pbar1_c14o2");
    ASSERT_EQ(run({{kData, data}, {kNormal, part_lines(atoms)}}), 0) << listing();
    const auto two = list7();
    const double resid_two = listed_residual(listing());
    ASSERT_GT(resid_two, 30.0);  // half the structure: near 50 %
    ASSERT_LT(resid_two, 65.0);

    const std::size_t mark = listing().size();
    queue({{kData, data}, {kNormal, {}}, {kNormal, part_lines(atoms)}}, "");
    for (int c = 1; c <= 3; ++c) ASSERT_EQ(dispatch(c), 0) << listing().substr(mark);
    const auto one = list7();
    EXPECT_NEAR(listed_residual(listing(), mark), resid_two, 0.02);
    ASSERT_EQ(one.size(), two.size());
    int strong_fragment = 0;
    for (const List7Record& r : one) {
        const List7Record* t = find(two, r.h, r.k, r.l);
        ASSERT_NE(t, nullptr) << r.h << " " << r.k << " " << r.l;
        // Fo and sigma on one absolute scale, E' and E'p, the fragment phase.
        EXPECT_NEAR(r.fo, t->fo, 1e-4 * t->fo + 1e-3) << r.h << " " << r.k << " " << r.l;
        EXPECT_NEAR(r.sigma, t->sigma, 1e-4 * t->sigma + 1e-3) << r.h << " " << r.k << " " << r.l;
        EXPECT_NEAR(r.a, t->a, 0.002) << r.h << " " << r.k << " " << r.l;
        EXPECT_NEAR(r.b, t->b, 0.002) << r.h << " " << r.k << " " << r.l;
        EXPECT_EQ(fragment_phase(r), fragment_phase(*t));
        if (t->b > 1.0f) ++strong_fragment;
    }
    EXPECT_GT(strong_fragment, 20);  // the comparison covers large E'p
}

TEST_F(Fragment, HydrogenAtomsAreNotTakenFromTheHeavierAtoms) {
    // SF word 90 counts the atoms heavier than hydrogen: a known hydrogen
    // atom is taken from the hydrogen count only.
    std::vector<std::string> data = data_known("rand_pbar1_c14o2");
    for (std::string& l : data)
        if (l.rfind("cont", 0) == 0) l = "cont c 28 o 4 h 20";
    ASSERT_EQ(run({{kData, data},
                   {kNormal, {}},
                   {kNormal, {"part", "c 0.97905 0.45630 0.71885", "h 0.1 0.2 0.3", "h 0.3 0.2 0.1"}}}),
              0)
        << listing();
    EXPECT_EQ(count_of("h"), 20 - 4);  // P -1: two general positions
    EXPECT_EQ(count_of("c"), 28 - 2);
    EXPECT_EQ(sf::heavy_atoms(), 32 - 2);
    // 30 atoms left in two general positions.
    EXPECT_TRUE(listed("\n" + std::string(31, ' ') + "Number of not localized atoms in asymmetric unit = 15.00\n"));
}

// --- Structure factors of the fragment -------------------------------------

class FragmentFactors : public ::testing::Test {
protected:
    void SetUp() override {
        reset_run_records();
        reset_crystal_records();
        ATOMS.clear();
        SF.clear();
        FRGMT.clear();
        // One carbon-like species of constant form factor 6 (c only).
        sf::species() = 1;
        sf::c(1) = 6.0f;
        // P 1: the identity.
        SYM.I(symw::kOps) = 1;
        sym_row_code(1, 1, 1) = 1;
        sym_row_code(1, 2, 1) = 2;
        sym_row_code(1, 3, 1) = 3;
        SYM.R(symw::kLatticePoints) = 1.0f;
        ATOMS.I(atomsw::kFragments) = 1;
        atomsw::fragment_type(1) = 1;
        atomsw::fragment_atoms(1) = 1;
        atom_label(1) = 1;
    }
    void atom(float x, float y, float z, float occ) {
        atom_coord(1, 1) = x;
        atom_coord(1, 2) = y;
        atom_coord(1, 3) = z;
        atom_coord(1, 4) = occ;
        atom_coord(1, 5) = occ;
    }
};

TEST_F(FragmentFactors, SfacTakesEachTermAtAWholeDegree) {
    struct Case {
        int hp[3];
        float x, y, z;
        double degrees;  // 360 frac(h.x)
    };
    const Case cases[] = {
        {{1, 0, 0}, 0.1f, 0.2f, 0.3f, 36.0},
        {{-1, 0, 0}, 0.1f, 0.2f, 0.3f, 324.0},        // a negative product
        {{1, 2, 3}, 0.1f, 0.2f, 0.3f, 144.0},         // 1.4 cycles
        {{2, 0, 0}, -3000.25f, 0.0f, 0.0f, 180.0},    // far outside the cell
    };
    for (const Case& c : cases) {
        atom(c.x, c.y, c.z, 0.5f);
        const double expected = c.degrees;
        float a = 0, b = 0;
        int done = 0;
        SFAC(1, 1, c.hp, 1000.0f, 0.0f, a, b, done);
        EXPECT_EQ(done, 1);
        EXPECT_NEAR(a, 3.0 * std::cos(expected * M_PI / 180.0), 1e-5) << c.hp[0] << c.hp[1] << c.hp[2];
        EXPECT_NEAR(b, 3.0 * std::sin(expected * M_PI / 180.0), 1e-5) << c.hp[0] << c.hp[1] << c.hp[2];
    }
}

TEST_F(FragmentFactors, EmptySumGivesNoAmplitudeAndPhase360) {
    atom(0.1f, 0.2f, 0.3f, 0.0f);
    WorkRecord r;
    r.h = 1;
    r.fo = 5.0f;
    float fc = -1.0f;
    int p = 0;
    fragment_structure_factor(r, fc, p);
    EXPECT_EQ(fc, 0.0f);
    EXPECT_EQ(p, 360);
    EXPECT_FLOAT_EQ(FRGMT.R(frgmt::kResidual), 5.0f);  // |Fc - Fo|
    EXPECT_FLOAT_EQ(FRGMT.R(frgmt::kFoSum), 5.0f);
    atom(0.25f, 0.0f, 0.0f, 1.0f);  // phase 90 degrees
    fragment_structure_factor(r, fc, p);
    EXPECT_NEAR(fc, 6.0f, 1e-5);
    EXPECT_EQ(p, 90);
}

TEST(FragmentListing, RatioTextOfSixCharacters) {
    EXPECT_EQ(fo_sigma_text6(12.0f, 2.0f, true), "  6.00");
    EXPECT_EQ(fo_sigma_text6(12.1f, 2.0f, true), "    >6");
    EXPECT_EQ(fo_sigma_text6(0.0f, -0.3f, true), " gen. ");
    EXPECT_EQ(fo_sigma_text6(12.0f, 2.0f, false), "      ");
}

}  // namespace
