// %patterson: the map of a heavy-atom structure (one bromine among carbons
// in P 21/c, amplitudes from gemmi in fixtures/patterson_p21c.hkl) shows the
// bromine-bromine vectors; directives, their faults, the Laue classes and
// the map kind left behind.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "fourier/commands/patterson.h"
#include "fourier/fourier_records.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"
#include "platform/fformat.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

class PattersonJob : public InProcessJob {
protected:
    PattersonJob() : InProcessJob("patt") {}
    const std::vector<std::string> data = {"cell 8.3 9.1 10.4 90 101.5 90", "spac p 21/c", "cont br 4 c 24",
                                           "refl data.hkl"};
    void SetUp() override {
        InProcessJob::SetUp();
        std::filesystem::copy_file(source_dir() + "/tests/fourier/fixtures/patterson_p21c.hkl", dir + "/data.hkl");
    }
    int run(const std::vector<std::string>& directives) {
        queue({{CMD_DATA, data}, {CMD_PATTERSON, directives}});
        return run_queue();
    }
};

// Distance in Angstrom between a Patterson peak and a vector, under the
// Patterson symmetry 2/m (x y z, -x y -z and their negatives) and lattice
// translations.
double patterson_distance(const float p[3], const double v[3]) {
    const double a = 8.3, b = 9.1, c = 10.4, beta = 101.5 * M_PI / 180.0;
    const int signs[4][3] = {{1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {1, -1, 1}};
    double best = 1e9;
    for (const auto& s : signs) {
        double d[3];
        for (int k = 0; k < 3; ++k) {
            d[k] = p[k] - s[k] * v[k];
            d[k] -= std::round(d[k]);
        }
        double x = a * d[0] + c * std::cos(beta) * d[2], y = b * d[1], z = c * std::sin(beta) * d[2];
        best = std::min(best, std::sqrt(x * x + y * y + z * z));
    }
    return best;
}

// Rank (1-based) of the first peak within 0.3 A of the vector, 0 if none.
int rank_of(const double v[3]) {
    for (int i = 1; i <= CONST.I(konst::kAtomCount); ++i) {
        const float p[3] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
        if (patterson_distance(p, v) < 0.3) return i;
    }
    return 0;
}

TEST_F(PattersonJob, HeavyAtomVectorsAreTheHighestPeaks) {
    ASSERT_EQ(run({"f**2"}), 0) << listing();
    ASSERT_GE(CONST.I(konst::kAtomCount), 4);
    // Bromine at 0.15 0.20 0.30: the origin, then the Harker line, the
    // Harker section and the general Br-Br vector, before any Br-C vector.
    const double origin[3] = {0, 0, 0}, line[3] = {0, 0.9, 0.5}, section[3] = {0.3, 0.5, 0.1},
                 general[3] = {0.3, 0.4, 0.6};
    EXPECT_EQ(rank_of(origin), 1);
    EXPECT_EQ(rank_of(line), 2);
    EXPECT_EQ(rank_of(section), 3);
    EXPECT_EQ(rank_of(general), 4);
    // The listing: heading, banner, coefficients, Laue class, peak table.
    EXPECT_TRUE(listed(" patterson routine"));
    EXPECT_TRUE(listed("\n" + std::string(40, ' ') + "***   patterson synthesis section    ***\n\n"));
    EXPECT_TRUE(listed("\n\n" + std::string(48, ' ') + " /F/**2 coefficients \n"));
    EXPECT_TRUE(listed(std::string(48, ' ') + " Laue class:  2/m \n\n\n"));
    EXPECT_TRUE(listed("\n  peak  height     x      y      z    occ. \n"));
    // The height is listed as height + 0.5 truncated.
    const std::string row = fformat("(i5,i8,2x,3f7.3,f8.4)", {2, static_cast<int>(atom_coord(2, 4) + 0.5f),
                                                               atom_coord(2, 1), atom_coord(2, 2), atom_coord(2, 3),
                                                               atom_coord(2, 5)})[0];
    EXPECT_TRUE(listed("\n" + row + "\n")) << row;
    // The peaks are list 15 of no phase set; the map kind is Fourier again.
    EXPECT_TRUE(stored(15));
    int n = 0, start = 1, set = -1, bonds = 0;
    SFL15(n, start, set, bonds);
    EXPECT_EQ(set, 0);
    EXPECT_EQ(UREQ1.I(ureq1::kMapKind), 0);
}

TEST_F(PattersonJob, EMapsNeedNormalisedReflections) {
    for (const char* kind : {"e**2", "e*f"}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(run({kind}), -1);
        EXPECT_TRUE(listed("\n *** error ***  reflections must be normalized.\n"));
        EXPECT_EQ(UREQ1.I(ureq1::kMapKind), 0);
    }
    // Without directives the map is |E|^2 too.
    EXPECT_EQ(run({}), -1);
}

TEST_F(PattersonJob, DirectivesAndTheirFaults) {
    queue({{CMD_PATTERSON, {"layz", "f*f", "peak 12", "grid 0.4", "prin 1", "limi 0.5 2 0.25", "map"}}});
    COMDIR.I(comdir::kRunning) = 1;
    int ierr = 0;
    DIRPAT(ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(UREQ1.I(ureq1::kSectionAxis), 3);
    EXPECT_EQ(UREQ1.I(ureq1::kMapKind), PATT_F2);
    EXPECT_EQ(SDIR.I(sdir::kPeaks), 12);
    EXPECT_FLOAT_EQ(CONST.R(konst::kGrid), 0.4f);
    EXPECT_EQ(UREQ.I(ureqw::kPrint), 1);
    EXPECT_FLOAT_EQ(TRAN.R(tran::kFraction), 0.5f);
    EXPECT_FLOAT_EQ(TRAN.R(tran::kFraction + 1), 1.0f);  // at most 1.0
    EXPECT_FLOAT_EQ(TRAN.R(tran::kFraction + 2), 0.25f);
    EXPECT_EQ(TRAN.I(tran::kPrintUnit), kListingUnit);

    struct Bad {
        const char* line;
        const char* message;
    } bad[] = {{"peak", " error in directive : "},       {"grid 1 2", " error in directive : "},
               {"limi 0.5 0.5", " error in directive : "}, {"prin x", " error in directive : "},
               {"fourier", " wrong directive on following line:\n"}};
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.line);
        queue({{CMD_PATTERSON, {b.line, "f*f"}}});
        COMDIR.I(comdir::kRunning) = 1;
        UREQ1.I(ureq1::kMapKind) = 0;
        ierr = 0;
        DIRPAT(ierr);
        EXPECT_EQ(ierr, -1);
        EXPECT_TRUE(listed(std::string(b.message) + (b.message[1] == 'e' ? padded(b.line, 80) : std::string(b.line))));
        EXPECT_EQ(UREQ1.I(ureq1::kMapKind), PATT_E2);  // the line after the fault is not read
        EXPECT_EQ(COMDIR.I(comdir::kCursor), 1);
    }
}

TEST(LaueClasses, FromSymbolAndCrystalSystem) {
    struct Case {
        const char* symbol;
        int family;
        const char* cls;
    } cases[] = {{"p -1", 1, " -1  "},      {"p 21/c", 2, " 2/m "},    {"p 21 21 21", 3, " mmm "},
                 {"p 41 21 2", 4, "4/mmm"},  {"i 41/a", 4, " 4/m "},    {"p 63/m", 5, " 6/m "},
                 {"p 63 2 2", 5, "6/mmm"},   {"r -3", 5, "  -3 "},      {"p -3 m 1", 5, " -3m "},
                 {"i a -3", 6, " m-3 "},     {"f m -3 m", 6, " m-3m"},  {"p 2 3", 7, " m-3 "}};
    for (const Case& c : cases) {
        std::string cls = "?????";
        LAUE(padded(c.symbol, 16), c.family, cls);
        EXPECT_EQ(cls, c.cls) << c.symbol;
    }
    std::string cls = "keep ";
    LAUE("p 1", 0, cls);
    EXPECT_EQ(cls, "keep ");
}

TEST_F(PattersonJob, NoReflectionsIsAnError) {
    queue({{CMD_DATA, {"cell 8.3 9.1 10.4 90 101.5 90", "spac p 21/c", "cont br 4 c 24"}}, {CMD_PATTERSON, {"f**2"}}});
    EXPECT_EQ(run_queue(), -1);
    EXPECT_TRUE(listed("\n *** error ***  no reflections in direct access file.\n"));
}

}  // namespace
}  // namespace zanek::test
