// The %fourier command in-process: its directives and their faults, an
// E-map alone ("rec 0"), the whole recycling run, the start from a fragment
// file, the peak listing with a peak on a special position, and the
// site-symmetry symbols of special positions in groups of every family.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "crystaldata/special.h"
#include "fourier/fourier_records.h"
#include "fourier/maps/fourier.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/text.h"
#include "platform/fformat.h"
#include "tests/support/test_support.h"
#include "tests/fourier/test_fourier_command_fixture.h"

namespace zanek {
namespace {

constexpr int kFourier = 5;

class FourierCommand : public test::MapJob {
protected:
    // Reads the lines as the directives of a %fourier queued after the job.
    int directives(const std::vector<std::string>& lines, int& frag) {
        COMDIR.clear();
        comdir::code(1) = kFourier;
        comdir::directive_lines(1) = static_cast<int>(lines.size());
        COMDIR.I(comdir::kCount) = 1;
        COMDIR.I(comdir::kRunning) = 1;
        for (std::size_t k = 0; k < lines.size(); ++k) CHARA.set_line(static_cast<int>(k) + 1, lines[k]);
        int ierr = 0;
        frag = 0;
        DIRFOU(frag, ierr);
        EXPECT_EQ(COMDIR.I(comdir::kCursor), static_cast<int>(lines.size()));  // every line consumed
        return ierr;
    }
    int directives(const std::vector<std::string>& lines) {
        int frag = 0;
        return directives(lines, frag);
    }

    // Runs %fourier with the given directives as the only command.
    int run_fourier(const std::vector<std::string>& lines) {
        queue({{kFourier, lines}});
        return run_queue();
    }

    int atom_count() const { return CONST.I(konst::kAtomCount); }
    // The labelled atoms of ATOMS near an atom of the structure, counted once each.
    int atoms_found(double tolerance = 0.3) {
        std::vector<bool> hit(structure.atoms.size(), false);
        for (int i = 1; i <= atom_count(); ++i) {
            if (atom_label(i) == 0) continue;
            const double p[3] = {atom_coord(i, 1), atom_coord(i, 2), atom_coord(i, 3)};
            int which = -1;
            if (nearest_atom(p, which) < tolerance) hit[static_cast<std::size_t>(which)] = true;
        }
        return static_cast<int>(std::count(hit.begin(), hit.end(), true));
    }
};

TEST_F(FourierCommand, DirectivesSetTheirWords) {
    prepare(test::p212121_structure());
    ASSERT_EQ(directives({}), 0);
    EXPECT_EQ(UREQ1.I(ureq1::kSectionAxis), 1);
    EXPECT_EQ(EMAP.I(emap::kCycleLimit), -100);
    EXPECT_FLOAT_EQ(CONST.R(konst::kGrid), 0.33333334f);
    EXPECT_EQ(TRAN.I(tran::kUnderline), 100);
    EXPECT_EQ(SPEC.I(kSpecReady), -1);
    EXPECT_EQ(INPCL.I(inpcl::kRegroup), 1);
    EXPECT_FLOAT_EQ(INPCL.R(inpcl::kRadius + 1), -1.0f);

    ASSERT_EQ(directives({"layx", "fomi 0.75", "sigm 3", "lsq 4", "peak 250", "prin 2", "dmax 2.5", "proj 3", "noin",
                          "psej", "set 3", "rec 0", "leve 50", "grid 0.25", "limi 0.5 2 0.25", "map"}),
              0);
    EXPECT_EQ(UREQ1.I(ureq1::kSectionAxis), 2);
    EXPECT_FLOAT_EQ(EMAP.R(emap::kFomi), 0.75f);
    EXPECT_FLOAT_EQ(EMAP.R(emap::kSigm), 3.0f);  // the data carry sigmas
    EXPECT_EQ(EMAP.I(emap::kLs), 4);
    EXPECT_EQ(SDIR.I(sdir::kPeaks), 250);
    EXPECT_EQ(UREQ.I(ureqw::kPrint), 2);
    EXPECT_FLOAT_EQ(INPCL.R(inpcl::kDmax), 2.5f);
    EXPECT_EQ(SDIR.I(sdir::kProjections), 3);
    EXPECT_EQ(SDIR.I(sdir::kNoInterpretation), 1);
    EXPECT_EQ(UREQ1.I(ureq1::kNoPsiE), 1);
    EXPECT_EQ(CONST.I(konst::kSetNumber), 3);
    EXPECT_EQ(EMAP.I(emap::kCycleLimit), 0);
    EXPECT_EQ(TRAN.I(tran::kUnderline), 50);
    EXPECT_FLOAT_EQ(CONST.R(konst::kGrid), 0.25f);
    EXPECT_FLOAT_EQ(TRAN.R(tran::kFraction), 0.5f);
    EXPECT_FLOAT_EQ(TRAN.R(tran::kFraction + 1), 1.0f);
    EXPECT_FLOAT_EQ(TRAN.R(tran::kFraction + 2), 0.25f);
    EXPECT_EQ(TRAN.I(tran::kPrintUnit), UNIT.I(unitw::kListing));

    struct Case {
        std::string line;
        int set, cycles, axis;
    };
    for (const Case& c : std::vector<Case>{{"tangent", 1001, -100, 1},
                                           {"known", 1000, -100, 1},
                                           {"rec", 0, -100, 1},       // no number: ignored
                                           {"rec 1 2", 0, -100, 1},   // two numbers: ignored
                                           {"rec 3", 0, -3, 1},
                                           {"layz", 0, -100, 3}}) {
        ASSERT_EQ(directives({c.line}), 0) << c.line;
        EXPECT_EQ(CONST.I(konst::kSetNumber), c.set) << c.line;
        EXPECT_EQ(EMAP.I(emap::kCycleLimit), c.cycles) << c.line;
        EXPECT_EQ(UREQ1.I(ureq1::kSectionAxis), c.axis) << c.line;
    }
}

TEST_F(FourierCommand, RadiiAndCoordinationEntries) {
    prepare(test::p212121_structure());
    ASSERT_EQ(directives({"radi cl 1.05", "coor fe 1.8 2.3 2", "coor o 1.2 1.5"}), 0);
    const int cl = 2;  // species of the content in the order fe, cl, o
    EXPECT_FLOAT_EQ(INPCL.R(inpcl::kRadius + cl), 1.05f);
    EXPECT_EQ(INPCL.I(inpcl::kCount), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&INPCL.W(inpcl::kElement + 1)), 2), "fe");
    EXPECT_FLOAT_EQ(INPCL.R(inpcl::kMin + 1), 1.8f);
    EXPECT_FLOAT_EQ(INPCL.R(inpcl::kMax + 1), 2.3f);
    EXPECT_EQ(INPCL.I(inpcl::kType + 1), 2);
    EXPECT_EQ(INPCL.I(inpcl::kType + 2), 0);
    // A minimum not below the maximum: the entry is dropped with a warning,
    // and a type on that line does not count.
    ASSERT_EQ(directives({"coor fe 0 0 9"}), 0);
    EXPECT_EQ(INPCL.I(inpcl::kCount), 0);
    EXPECT_TRUE(listed(" *** warning ***  minimum and maximum are zero or wrong"));
}

TEST_F(FourierCommand, DirectiveFaultsEndTheCommand) {
    prepare(test::p212121_structure());
    struct Case {
        std::vector<std::string> lines;
        const char* message;
    };
    const std::vector<Case> cases = {
        {{"peak"}, " error in directive : peak"},
        {{"peak 1x"}, " error in directive : peak 1x"},
        {{"fomi 1 2"}, " error in directive : fomi 1 2"},
        {{"limi 0.5 0.5"}, " error in directive : limi"},
        {{"grid 0"}, " error in directive : grid 0"},
        {{"rec -2"}, " error in directive : rec -2"},
        {{"radi zz 1.2"}, " Element zz not present in the declared content"},
        {{"radi c 1.2 1.3"}, " Element c  not present in the declared content"},
        {{"radi o 1.2 1.3"}, " error in directive : radi o 1.2 1.3"},
        {{"coor o 1.5 1.8 4"}, " coordination type =     4  not expected"},
        {{"coor n 1.5 1.8", "prin 1"}, " Element n  not present in the declared content"},
        {{"xyz", "prin 3"}, " wrong directive on following line:"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(directives(c.lines), -1) << c.lines[0];
        EXPECT_TRUE(listed(c.message)) << c.message;
    }
    // Eleven coordination entries do not fit the table.
    std::vector<std::string> many(11, "coor o 1.2 1.5");
    EXPECT_EQ(directives(many), -1);
}

TEST_F(FourierCommand, SigmaThresholdWithoutSigmasIsIgnored) {
    structure = test::p212121_structure();
    // The same data without sigmas.
    std::string refl;
    for (const std::string& l : test::split_lines(test::reflection_lines(structure, 0.9))) refl += l.substr(0, 20) + "\n";
    queue({{23, {structure.cell, structure.group, structure.content, "refl foll"}}, {1, {}}}, refl);
    ASSERT_EQ(run_queue(), 0) << listing();
    ASSERT_EQ(directives({"sigm 3"}), 0);
    EXPECT_FLOAT_EQ(EMAP.R(emap::kSigm), -1.0f);
    EXPECT_TRUE(listed(" *** warning ***  no suitable sigma(F) in data"));
    EXPECT_TRUE(listed("                  SIGMA directive ignored"));
}

TEST_F(FourierCommand, EMapAloneFindsTheAtomsAndStoresTheList) {
    prepare(test::p212121_structure());
    make_phase_sets({0.8f});
    ASSERT_EQ(run_fourier({"rec 0"}), 0) << listing();
    EXPECT_FLOAT_EQ(EMAP.R(emap::kR), -1.0f);
    EXPECT_FLOAT_EQ(EMAP.R(emap::kPrevR), -1.0f);
    EXPECT_TRUE(listed("***   E-map interpretation  ***"));
    EXPECT_TRUE(listed("***   Output section  ***"));  // print level 3 without recycling
    EXPECT_FALSE(listed("***   Final interpretation  ***"));
    EXPECT_EQ(atoms_found(), 4);
    int n = 0, start = 1, set = 0, bonds = 0;
    const int count = atom_count();
    SFL15(n, start, set, bonds);
    EXPECT_EQ(n, count);
    EXPECT_EQ(set, 1);
    EXPECT_EQ(bonds, 1);  // with the interpretation's bond table
}

TEST_F(FourierCommand, RecyclingEndsWithTheFinalModel) {
    prepare(test::p21c_structure());
    make_phase_sets({0.8f});
    ASSERT_EQ(run_fourier({"rec 3"}), 0) << listing();
    EXPECT_TRUE(listed("***   Fourier recycling section  ***"));
    EXPECT_TRUE(listed("***   Final interpretation  ***"));
    EXPECT_EQ(atoms_found(), 4);
    EXPECT_GT(EMAP.R(emap::kLastR), 0.0f);
    EXPECT_LT(EMAP.R(emap::kLastR), 0.35f);
    EXPECT_EQ(EMAP.I(emap::kStepB), emap::kFinal);
    // Cycles 2, 3 and 4: the last one ends in the final stop, so at most two
    // recycling maps are listed in the residual table.
    int rows = 0;
    for (const std::string& l : lines())
        if (l.size() > 27 && (l.substr(25, 2) == "A " || l.substr(25, 2) == "B ") && l.find('%') != std::string::npos) ++rows;
    EXPECT_LE(rows, 3);
    EXPECT_GE(rows, 1);
}

TEST_F(FourierCommand, FragmentStartRecyclesFromKnownAtoms) {
    prepare(test::p21c_structure());
    std::ofstream(dir + "/frag.xyz") << "fe 0.137 0.212 0.083\n"
                                     << "cl12 0.381 0.096 0.327 99\n";  // a long name is carbon: not in the content
    ASSERT_EQ(run_fourier({"frag frag.xyz", "rec 3"}), -1);
    EXPECT_TRUE(listed(" *** error ***  check coordinate file "));

    std::ofstream(dir + "/frag.xyz") << "fe 0.137 0.212 0.083\n\ncl 0.381 0.096\n";
    ASSERT_EQ(run_fourier({"frag frag.xyz", "rec 3"}), 0) << listing();
    EXPECT_TRUE(listed(" Fragment : known positions for    2  atoms having multiplicity =  4.0"));
    EXPECT_FALSE(listed("***  fast fourier transform section   ***"));
    EXPECT_FALSE(listed("***   E-map interpretation  ***"));
    EXPECT_EQ(EMAP.I(emap::kCycleLimit), 100);
    EXPECT_GE(atoms_found(), 3);
}

TEST_F(FourierCommand, MissingFragmentFileFails) {
    prepare(test::p21c_structure());
    EXPECT_EQ(run_fourier({"frag nowhere.xyz"}), -1);
    EXPECT_TRUE(listed(" *** error ***  open error - code ="));
    EXPECT_TRUE(listed(".  Fragment file name is nowhere.xyz"));
}

TEST_F(FourierCommand, PeakOnACentreOfSymmetryIsListedWithItsSiteAndMovedOntoIt) {
    test::TestStructure s = test::p21c_structure();
    s.atoms[0].x = 0.0;  // iron on the centre at the origin (2 in the cell)
    s.atoms[0].y = 0.0;
    s.atoms[0].z_ = 0.0;
    s.content = "cont fe 2 cl 4 o 8";
    prepare(s);
    make_phase_sets({0.8f});
    ASSERT_EQ(run_fourier({"rec 0"}), 0) << listing();
    // The iron peak: on the origin (or an equivalent centre), occupancy 1/2.
    int fe = 0;
    for (int i = 1; i <= atom_count() && fe == 0; ++i)
        if (std::abs(atom_coord(i, 5) - 0.5f) < 1e-6f) fe = i;
    ASSERT_GT(fe, 0);
    for (int c = 1; c <= 3; ++c) {
        const float v = atom_coord(fe, c) * 2.0f;
        EXPECT_NEAR(v, std::round(v), 1e-5f) << c;  // 0 or 1/2 exactly
    }
    // Its line: the left columns as the peak list has them, the special
    // position from column 47 on and the site symbol in columns 119-124.
    bool seen = false;
    for (const std::string& l : lines()) {
        if (l.size() != 124 || l.substr(118, 6) != "-1    ") continue;
        seen = true;
        EXPECT_EQ(l.substr(3, 3), fmt_i(fe, 3));
        EXPECT_EQ(l.substr(1, 2), "Fe");
    }
    EXPECT_TRUE(seen) << listing();
    EXPECT_TRUE(listed("   special positions information   "));
}

TEST_F(FourierCommand, ListingColumnsOfThePeaks) {
    prepare(test::p212121_structure());
    make_phase_sets({0.8f});
    ASSERT_EQ(run_fourier({"rec 0"}), 0) << listing();
    const auto all = lines();
    std::size_t at = 0;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].find("***   Output section  ***") != std::string::npos) at = i;
    ASSERT_GT(at, 0u);
    int checked = 0;
    for (std::size_t i = at; i < all.size() && checked < atom_count(); ++i) {
        const std::string& l = all[i];
        if (l.size() != 50 || l[0] != ' ') continue;
        const int n = std::stoi(l.substr(3, 3));
        ASSERT_GE(n, 1);
        ASSERT_LE(n, atom_count());
        // x, y, z in F7.3 from column 15; the height in I6 from column 7.
        EXPECT_EQ(l.substr(14, 7), fmt_f(atom_coord(n, 1), 7, 3));
        EXPECT_EQ(l.substr(21, 7), fmt_f(atom_coord(n, 2), 7, 3));
        EXPECT_EQ(l.substr(28, 7), fmt_f(atom_coord(n, 3), 7, 3));
        EXPECT_EQ(l.substr(6, 6), fmt_i(static_cast<int>(atom_coord(n, 4) + 0.5f), 6));
        const int label = std::abs(atom_label(n));
        if (label != 0) {
            EXPECT_EQ(std::tolower(l[1]), std::string(reinterpret_cast<const char*>(&sf::symbol(label / 100)), 1)[0]);
            EXPECT_EQ(l.substr(35, 7), fmt_f(atom_b(n), 7, 2));
            EXPECT_EQ(l.substr(42, 4), fmt_i(label % 100, 4));
        } else {
            EXPECT_EQ(l.substr(1, 2), "Q ");
        }
        ++checked;
    }
    EXPECT_EQ(checked, atom_count());
}

// Site symbols of special positions in groups of every crystal family.
class SiteSymbols : public test::InProcessJob {
protected:
    SiteSymbols() : InProcessJob("sites") {}
    void group(const std::string& cell, const std::string& spac) {
        // 2 0 2 is present in every group below (1 0 0 is absent in F and R).
        queue({{23, {cell, spac, "cont c 8", "refl foll"}}},
              test::hkl(1, 0, 0, 10, 1) + test::hkl(2, 0, 2, 10, 1) + test::hkl(0, 0, 0, 0, 0));
        ASSERT_EQ(run_queue(), 0) << listing();
        SPEC.I(kSpecReady) = -1;
        XSPINB();
    }
    std::string symbol_at(float x, float y, float z, int& result) {
        SiteWork work;
        const float p[11] = {x, y, z};
        float pnew[11];
        int kode[10];
        KSPECB(work, p, pnew, kode, 0, 0, 0, 2);
        ATPOS.assign(124, ' ');
        SITE(work, kode, 1, result);
        return rtrim(ATPOS.substr(118, 6));
    }
};

TEST_F(SiteSymbols, OrientedSymbolsOfCommonSites) {
    struct Case {
        const char* cell;
        const char* spac;
        float x, y, z;
        const char* symbol;
    };
    const std::vector<Case> cases = {
        {"cell 7 8 9 90 104 90", "spac p 1 21/c 1", 0, 0, 0, "-1"},
        {"cell 7 8 9 80 100 110", "spac p -1", 0.5f, 0, 0.5f, "-1"},
        {"cell 7 8 9 90 104 90", "spac p 1 2 1", 0, 0.3f, 0, ".2."},
        {"cell 7 8 9 90 104 90", "spac p 1 m 1", 0.2f, 0, 0.3f, ".m."},
        {"cell 7 8 9 90 104 90", "spac p 1 2/m 1", 0, 0, 0, ".2/m."},
        {"cell 7 8 9 90 90 90", "spac p 2 2 2", 0, 0, 0, "222"},
        {"cell 7 8 9 90 90 90", "spac p m m m", 0, 0, 0, "mmm"},
        {"cell 7 8 9 90 90 90", "spac p m m 2", 0, 0, 0.3f, "mm2"},
        {"cell 7 8 9 90 90 90", "spac p 2 2 2", 0.3f, 0, 0, "2.."},
        {"cell 7 7 9 90 90 90", "spac p 4/m m m", 0, 0, 0, "4/mmm"},
        {"cell 7 7 9 90 90 90", "spac p 4", 0, 0, 0.3f, "4.."},
        {"cell 7 7 9 90 90 120", "spac p 6/m m m", 0, 0, 0, "6/mmm"},
        {"cell 7 7 9 90 90 120", "spac p -3 m 1", 0, 0, 0, "-3m."},
        {"cell 7 7 9 90 90 120", "spac r -3 c", 0, 0, 0, "-3."},
        {"cell 7 7 9 90 90 120", "spac r -3 c", 0, 0, 0.25f, "32"},
        {"cell 9 9 9 90 90 90", "spac f m -3 m", 0, 0, 0, "m-3m"},
        {"cell 9 9 9 90 90 90", "spac p m -3", 0, 0, 0, "m-3."},
        {"cell 9 9 9 90 90 90", "spac p m -3", 0, 0, 0.5f, "mmm.."},
        {"cell 9 9 9 90 90 90", "spac p m -3 m", 0, 0.5f, 0.5f, "4/mm.m"},
        {"cell 7 7 9 90 90 90", "spac p 4/m m m", 0, 0.5f, 0, "mmm."},
        {"cell 7 7 9 90 90 90", "spac p 4/m m m", 0, 0.5f, 0.3f, "2mm."},
        {"cell 9 9 9 90 90 90", "spac f m -3 m", 0, 0.25f, 0.25f, "m.mm"},
    };
    for (const Case& c : cases) {
        group(c.cell, c.spac);
        int result = 0;
        EXPECT_EQ(symbol_at(c.x, c.y, c.z, result), c.symbol) << c.spac;
        EXPECT_GT(result, 0) << c.spac;
        TearDown();
        SetUp();
    }
}

TEST_F(SiteSymbols, ImagesThatOnlyNearlyCoincideHaveNoSymbol) {
    // Within the coincidence distance of two mirror images that do not make
    // a group with it.
    group("cell 7 7 9 90 90 120", "spac p -3 m 1");
    int result = 0;
    EXPECT_EQ(symbol_at(0.25f, 0.666667f, 0, result), "h.y.s.");
    EXPECT_EQ(result, -1);
}

TEST_F(SiteSymbols, TwoFoldAlongBOfAMonoclinicGroupHasItsSiteCode) {
    group("cell 7 8 9 90 104 90", "spac p 1 2 1");
    int result = 0;
    EXPECT_EQ(symbol_at(0, 0.3f, 0, result), ".2.");
    // order 2, coordinates (0, y, 0), displacements with U13 free.
    EXPECT_EQ(result, 20201);
}

}  // namespace
}  // namespace zanek
