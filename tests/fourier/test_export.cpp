// %export: the main export file in the CRYSTALS, SHELX-92, MolEN and TeXan
// formats, the plot files, the directives and their faults, and the
// insertion of %restart into the running queue when the viewer asked for
// more refinement. The SHELX file of a small model is compared line by line
// with fixtures/export_shelx_expected.ins, which
// fixtures/make_export_reference.py writes from the format rules and reads
// back with cctbx.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fourier/commands/export.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

struct Atom {
    int label;
    float x, y, z, height, occ, b;
};

// The model of the SHELX reference: P 21/c with C, N and O.
const std::vector<Atom> kModel = {
    {101, 0.125f, 0.25f, 0.375f, 900.0f, 1.0f, 3.0f},    // C1
    {202, 0.625f, 0.375f, 0.125f, 700.0f, 1.0f, 2.0f},   // N, serial 2
    {301, 0.75f, 0.125f, 0.875f, 650.0f, 1.0f, 4.0f},    // O1
    {0, 0.375f, 0.125f, 0.625f, 200.0f, 1.0f, 3.0f},     // a peak of no species
    {-100, 0.875f, 0.625f, 0.375f, 180.0f, 1.0f, 5.0f},  // typed, unnumbered
};

class ExportJob : public InProcessJob {
protected:
    ExportJob() : InProcessJob("export") {}

    std::vector<std::string> data = {"cell 7.1 9.3 10.2 90 104.5 90", "spac p 21/c", "cont c 8 n 4 o 4", "refl foll"};

    void SetUp() override {
        InProcessJob::SetUp();
        set_job_title("export test p21/c");
        DOTDAT.name[3] = padded("model.ins", 80);
        DOTDAT.name[4] = padded("model.plt", 80);
        IMPL.I(implw::kMainFormat) = 1;  // the main format at the start of a run: CRYSTALS
    }

    // %data, then the model stored as list 15, then %export with these
    // directive lines; returns the export's status.
    int run_export(const std::vector<std::string>& directives, const std::vector<Atom>& model = kModel,
                   bool store = true) {
        queue({{CMD_DATA, data}, {CMD_EXPORT, directives}},
              hkl(1, 0, 0, 10, 1) + hkl(0, 1, 1, 20, 1) + hkl(1, 1, -2, 15, 1) +
                  // 2 0 2 is allowed by every lattice centring, so %data accepts a reflection in any group
                  hkl(2, 0, 2, 12, 1) + hkl(0, 0, 0, 0, 0));
        EXPECT_EQ(dispatch(1), 0) << listing();
        if (store) store_model(model, cycles_done);
        return dispatch(2);
    }

    static void store_model(const std::vector<Atom>& model, int cycles = 7) {
        ATOMS.clear();
        for (std::size_t k = 0; k < model.size(); ++k) {
            const int i = static_cast<int>(k) + 1;
            const Atom& a = model[k];
            atom_coord(i, 1) = a.x, atom_coord(i, 2) = a.y, atom_coord(i, 3) = a.z;
            atom_coord(i, 4) = a.height, atom_coord(i, 5) = a.occ;
            atom_label(i) = a.label;
            atom_b(i) = a.b;
        }
        EMAP.R(emap::kLastR) = 0.1234f;
        EMAP.I(emap::kCycles) = cycles;
        EMAP.R(emap::kDefaultB) = 3.0f;
        FRM15(static_cast<int>(model.size()), 3, 0);
        ATOMS.clear();  // the export loads the model itself
    }

    int cycles_done = 7;  // recycling cycles stored with the model

    std::vector<std::string> file(const std::string& name) { return split_lines(read_file(dir + "/" + name)); }

    // Empties the listing, so that a case sees only its own lines.
    void start_listing_afresh() {
        units().close(kListingUnit);
        ASSERT_EQ(units().open_seq(kListingUnit, lis, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    }
};

std::vector<std::string> expected_shelx() {
    return split_lines(read_file(source_dir() + "/tests/fourier/fixtures/export_shelx_expected.ins"));
}

TEST_F(ExportJob, ShelxFileFollowsTheFormatLineByLine) {
    ASSERT_EQ(run_export({"shel"}), 0) << listing();
    const auto got = file("model.ins");
    const auto want = expected_shelx();
    ASSERT_EQ(got.size(), want.size()) << read_file(dir + "/model.ins");
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_EQ(got[k], want[k]) << "line " << k + 1;
    EXPECT_TRUE(listed("   SHELX-92      model.ins"));
    EXPECT_TRUE(listed("   VYROLA        model.plt"));
    EXPECT_TRUE(listed("   Final R value using   5 atoms is   12.34%  after  7  cycles."));
}

// Recycling may run its whole default limit of 100 cycles: the count is
// printed whole, not as an overflowed field.
TEST_F(ExportJob, HundredCyclesArePrintedWhole) {
    cycles_done = 100;
    ASSERT_EQ(run_export({"shel"}), 0) << listing();
    EXPECT_TRUE(listed("   Final R value using   5 atoms is   12.34%  after 100  cycles.")) << listing();
}

// The Z of ZERR counts every general position of the cell (operators,
// centre and lattice points) and LATT names the lattice, for the groups of
// fixtures/shelx_lattice_reference.txt, which
// fixtures/make_shelx_lattice_reference.py counted with gemmi.
TEST_F(ExportJob, ShelxZAndLatticeOfCentredAndRhombohedralGroups) {
    const auto reference = split_lines(read_file(source_dir() + "/tests/fourier/fixtures/shelx_lattice_reference.txt"));
    ASSERT_GE(reference.size(), 9u);
    for (const std::string& line : reference) {
        if (line.empty()) continue;
        const std::size_t a = line.find(';'), b = line.find(';', a + 1), c = line.find(';', b + 1);
        ASSERT_NE(c, std::string::npos) << line;
        const std::string group = line.substr(0, a);
        SCOPED_TRACE(group);
        data[0] = "cell " + line.substr(a + 1, b - a - 1);
        data[1] = "spac " + group;
        ASSERT_EQ(run_export({"shel"}), 0) << listing();
        const auto f = file("model.ins");
        ASSERT_GE(f.size(), 4u);
        ASSERT_EQ(f[2].substr(0, 6), "ZERR  ");
        EXPECT_EQ(std::stoi(f[2].substr(6, 8)), std::stoi(line.substr(b + 1, c - b - 1)));
        ASSERT_EQ(f[3].substr(0, 5), "LATT ");
        EXPECT_EQ(std::stoi(f[3].substr(5)), std::stoi(line.substr(c + 1)));
    }
}

// The SYMM lines of groups whose operators are pure rotations (no
// translation in any row: the line holds the signed axis letters alone,
// "+" only after another term), and of two with screw axes of a third and
// a sixth of c, against fixtures/shelx_symm_reference.txt, which
// fixtures/make_shelx_symm_reference.py wrote from gemmi's general
// positions. One line per operator other than the identity, 79 wide.
TEST_F(ExportJob, ShelxSymmLinesOfRotationsAndScrewAxes) {
    struct Group {
        std::string symbol, cell;
        std::vector<std::string> symm;
    };
    std::vector<Group> groups;
    for (const std::string& line :
         split_lines(read_file(source_dir() + "/tests/fourier/fixtures/shelx_symm_reference.txt"))) {
        if (line.empty()) continue;
        const std::size_t a = line.find(';'), b = line.find(';', a + 1);
        ASSERT_NE(b, std::string::npos) << line;
        if (groups.empty() || groups.back().symbol != line.substr(0, a))
            groups.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), {}});
        groups.back().symm.push_back(line.substr(b + 1));
    }
    ASSERT_GE(groups.size(), 10u);
    for (Group& g : groups) {
        SCOPED_TRACE(g.symbol);
        data[0] = "cell " + g.cell;
        data[1] = "spac " + g.symbol;
        ASSERT_EQ(run_export({"shel"}), 0) << listing();
        std::vector<std::string> got;
        for (const std::string& l : file("model.ins"))
            if (l.substr(0, 4) == "SYMM") {
                EXPECT_EQ(l.size(), 79u) << l;
                got.push_back(rtrim(l));
            }
        std::sort(got.begin(), got.end());
        std::sort(g.symm.begin(), g.symm.end());
        EXPECT_EQ(got, g.symm);
    }
}

TEST_F(ExportJob, HeadingOfAnExportThatIsNotTheFirstCommand) {
    ASSERT_EQ(run_export({"shel"}), 0);
    const std::string l = listing();
    const std::string want = "\n\n\n " + std::string(120, '-') + "\n ZANEK : Export routine" + std::string(84, ' ') +
                             "Release  93.02\n\n" + std::string(20, ' ') + padded("export test p21/c", 80) + "\n\n\n";
    EXPECT_NE(l.find(want), std::string::npos) << l;
}

TEST(ShelxNames, SymbolAndNumberInFourColumns) {
    struct Case {
        const char* sym;
        int i;
        const char* name;
    } cases[] = {{"c ", 5, "C005"}, {"cl", 12, "CL12"}, {"c ", 100, "C100"}, {"cl", 100, "C100"},
                 {"q", 12, "Q012"}, {"n ", 2, "N002"},  {"fe", 7, "FE07"}};
    for (const Case& c : cases) EXPECT_EQ(shelx_atom_name(c.sym, c.i), c.name) << c.sym << c.i;
}

TEST_F(ExportJob, CrystalsFileWithAndWithoutTheCompleteHeader) {
    ASSERT_EQ(run_export({}), 0) << listing();
    auto f = file("model.ins");
    ASSERT_GE(f.size(), 11u);
    const std::vector<std::string> head = {"#list 5 ", "read natom = 0", "end", "#edit "};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(f[k], head[k]);
    // U = B / (8 pi^2); species as stored; a peak of no species as q.
    EXPECT_EQ(f[4], "atom c    1         1.0000    0.0380    0.1250    0.2500    0.3750");
    EXPECT_EQ(f[5], "atom n    2         1.0000    0.0253    0.6250    0.3750    0.1250");
    EXPECT_EQ(f[7].substr(0, 16), "atom q    4     ");
    EXPECT_EQ(f[8], "atom c    5         1.0000    0.0633    0.8750    0.6250    0.3750");
    EXPECT_EQ(f[9], "select type ne q  ");
    EXPECT_EQ(f[10], "end ");
    EXPECT_EQ(f[11], "#use last");
    EXPECT_TRUE(listed("   CRYSTALS      model.ins"));

    ASSERT_EQ(run_export({"comp"}), 0) << listing();
    f = file("model.ins");
    EXPECT_EQ(f[0], "#title " + padded("export test p21/c", 80));
    EXPECT_EQ(f[1], "#quickstart ");
    EXPECT_EQ(f[2], "cell    7.100   9.300  10.200   90.00  104.50   90.00");
    EXPECT_EQ(f[3].substr(0, 11), "spacegroup ");
    EXPECT_EQ(rtrim(f[3].substr(11)), "p 21/c");
    EXPECT_EQ(rtrim(f[4]), "content c    8  n    4  o    4");
    EXPECT_EQ(f[6], "format (3f4.0,2f8.2) ");
    EXPECT_EQ(f[7], "end");
    EXPECT_EQ(f[9], "# number of atoms =     5 for set no.     3  final R value =   12.34%");
    EXPECT_EQ(f[11], "#list 28 ");
    const std::vector<std::string> tail = {"select type ne q  ", "end", "#list 12", "block x's  u[iso] ", "end ",
                                           "#use last"};
    for (std::size_t k = 0; k < tail.size(); ++k) EXPECT_EQ(f[f.size() - tail.size() + k], tail[k]);
}

TEST_F(ExportJob, MainFormatLastsForTheRun) {
    ASSERT_EQ(run_export({"shel"}), 0);
    ASSERT_EQ(run_export({}), 0);
    EXPECT_EQ(file("model.ins")[0].substr(0, 4), "TITL");  // still SHELX
    ASSERT_EQ(run_export({"comp"}), 0);
    EXPECT_EQ(file("model.ins")[0].substr(0, 6), "#title");  // comp after shel: CRYSTALS
}

TEST_F(ExportJob, FileNamesFromTheDirectives) {
    ASSERT_EQ(run_export({"shel other.res", "xyz cart.xyz"}), 0) << listing();
    EXPECT_TRUE(file_exists(dir + "/other.res"));
    EXPECT_TRUE(file_exists(dir + "/cart.xyz"));
    EXPECT_TRUE(listed("   Cartesian     cart.xyz"));
}

TEST_F(ExportJob, MolenAndTexanWriteNoPlotFileAndNoTable) {
    ASSERT_EQ(run_export({"mole"}), 0) << listing();
    auto f = file("model.ins");
    EXPECT_EQ(f[0], " ZANOL Release 93.02    5  peaks for set no.     3");
    // Site multiplicity 1 (occupancy 1/1), U, x, y, z, height, nine codes.
    EXPECT_EQ(f[1], " c   1 1.00000 0.03800 0.12500 0.25000 0.37500    900  1  2  3  4  5  6  7  8  9");
    EXPECT_EQ(f.size(), 5u);  // the peak of no species is left out
    EXPECT_FALSE(file_exists(dir + "/model.plt"));
    EXPECT_FALSE(listed("Atoms informations files produced:"));
    EXPECT_TRUE(listed("   MolEN         model.ins"));

    implw::result(1) = 11, implw::result(2) = 22, implw::result(5) = 55;
    ASSERT_EQ(run_export({"texa"}), 0) << listing();
    f = file("model.ins");
    EXPECT_EQ(f[0], " ZANOL Release 93.02    5  peaks for set no.     3   11   22    0    0   55");
    EXPECT_EQ(f[1], "c     1   0.12500   0.25000   0.37500    900");
    EXPECT_TRUE(listed("   TeXan         model.ins"));
    // A later SHELX export is not held back by the outside-program mode.
    ASSERT_EQ(run_export({"shel"}), 0);
    EXPECT_EQ(file("model.ins")[0].substr(0, 4), "TITL");
}

TEST_F(ExportJob, FailuresOfTheCommand) {
    // No list 15.
    EXPECT_EQ(run_export({}, kModel, false), -1);
    EXPECT_TRUE(listed("\n *** error *** No coordinates in direct access file\n\n"));
    // A model without atoms (recycling kept none): no file is written.
    start_listing_afresh();
    EXPECT_EQ(run_export({"shel"}, {}), -1);
    EXPECT_TRUE(listed("\n *** error *** No coordinates in direct access file\n\n")) << listing();
    EXPECT_FALSE(file_exists(dir + "/model.ins"));
    // A bad directive.
    EXPECT_EQ(run_export({"shel", "plot it"}), -1);
    EXPECT_TRUE(listed(" error in directive : " + padded("plot it", 80)));
    // A main file that cannot be opened: message, and the command fails.
    std::filesystem::create_directory(dir + "/sub");
    DOTDAT.name[3] = padded("sub", 80);  // a folder
    EXPECT_EQ(run_export({}), -1);
    EXPECT_TRUE(listed(" *** error ***  open error, code =   30 file is sub\n")) << listing();
    EXPECT_FALSE(listed("Atoms informations files produced:"));
}

// A main or plot file that cannot be opened or written whole fails the
// command, and the listing does not name it among the files produced. The
// other file is written as usual when it comes first.
TEST_F(ExportJob, FilesThatCannotBeWrittenFailTheCommand) {
    std::filesystem::create_directory(dir + "/sub");
    const bool device_full = std::filesystem::exists("/dev/full");
    struct Case {
        const char* directive;  // the file named by its directive
        const char* message;
        const char* produced;   // the listing line that must not appear
        const char* other;      // the other file's line, written first ("" none)
    } cases[] = {
        {"shel sub", " *** error ***  open error, code =   30 file is sub\n", "   SHELX-92      sub", ""},
        {"shel /dev/full", " *** error ***  write error, code =   40 file is /dev/full\n", "   SHELX-92      /dev/full",
         ""},
        {"crys /dev/full", " *** error ***  write error, code =   40 file is /dev/full\n", "   CRYSTALS      /dev/full",
         ""},
        {"mole /dev/full", " *** error ***  write error, code =   40 file is /dev/full\n", "   MolEN         /dev/full",
         ""},
        {"mold sub", " *** error ***  open error, code =   30 file is sub\n", "   MOLDRAW       sub",
         "   CRYSTALS      model.ins\n"},
        {"vyro /dev/full", " *** error ***  write error, code =   40 file is /dev/full\n",
         "   VYROLA        /dev/full", "   CRYSTALS      model.ins\n"},
        {"xyz /dev/full", " *** error ***  write error, code =   40 file is /dev/full\n",
         "   Cartesian     /dev/full", "   CRYSTALS      model.ins\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.directive);
        if (!device_full && std::string(c.directive).find("/dev/full") != std::string::npos) continue;
        DOTDAT.name[3] = padded("model.ins", 80);
        DOTDAT.name[4] = padded("model.plt", 80);
        IMPL.I(implw::kMainFormat) = 1, IMPL.I(implw::kOutsideMode) = 0;
        start_listing_afresh();
        EXPECT_EQ(run_export({c.directive}), -1);
        EXPECT_TRUE(listed(c.message)) << listing();
        EXPECT_FALSE(listed(c.produced));
        if (*c.other) {
            EXPECT_TRUE(listed(c.other));
            EXPECT_GE(file("model.ins").size(), 10u);
        }
    }
}

TEST_F(ExportJob, NoReflectionsIsAnError) {
    data.pop_back();  // no "refl foll": no list 7
    queue({{CMD_DATA, data}, {CMD_EXPORT, {}}});
    ASSERT_EQ(dispatch(1), 0);
    store_model(kModel);
    EXPECT_EQ(dispatch(2), -1);
    EXPECT_TRUE(listed("\n *** error *** No reflections in direct access file\n\n"));
}

TEST_F(ExportJob, UnopenablePlotFileLeavesTheMainFile) {
    std::filesystem::create_directory(dir + "/sub");
    DOTDAT.name[4] = padded("sub", 80);  // a folder
    ASSERT_EQ(run_export({"shel"}), -1);
    EXPECT_EQ(file("model.ins").size(), expected_shelx().size());
    EXPECT_TRUE(listed("   SHELX-92      model.ins"));
    EXPECT_TRUE(listed(" *** error ***  open error, code ="));
    EXPECT_FALSE(listed("   VYROLA        sub"));
}

// --- Plot files ------------------------------------------------------------

TEST_F(ExportJob, MoldrawListsUnlabelledPeaksFirstAndTheSymmetry) {
    ASSERT_EQ(run_export({"mold"}), 0) << listing();
    auto f = file("model.plt");
    EXPECT_EQ(f[0], "TITLE");
    EXPECT_EQ(f[1], padded("export test p21/c", 68));
    EXPECT_EQ(f[2], "CELL");
    EXPECT_EQ(f[3], "     7.100     9.300    10.200    90.000   104.500    90.000");
    EXPECT_EQ(f[4], "COSYMB");
    // Keys: peak 4 (label 0) 4; C1 1001; O1 1003; N2 2002; typed 10005.
    EXPECT_EQ(f[5], "   1  H4        0.375     0.125     0.625");
    EXPECT_EQ(f[6], "   2  C1        0.125     0.250     0.375");
    EXPECT_EQ(f[7], "   3  O3        0.750     0.125     0.875");
    EXPECT_EQ(f[8], "   4  N2        0.625     0.375     0.125");
    EXPECT_EQ(f[9], "   5  H5        0.875     0.625     0.375");
    EXPECT_EQ(f[11], "GROUP");
    EXPECT_EQ(f[12], padded("P21/C", 16));
    EXPECT_EQ(f[13], "SYMNUM");
    // P 21/c: two stored operators, both signs.
    ASSERT_EQ(f.size(), 14u + 4u + 1u);
    // A trailing 4X writes nothing.
    EXPECT_EQ(f[14], "   0.00000   0.00000   0.00000   1   0   0       0   1   0       0   0   1");
    EXPECT_EQ(f[15], "   0.00000   0.50000   0.50000  -1   0   0       0   1   0       0   0  -1");
    EXPECT_EQ(f[16], "   0.00000   0.00000   0.00000  -1   0   0       0  -1   0       0   0  -1");
    EXPECT_EQ(f[17], "   0.00000   0.50000   0.50000   1   0   0       0  -1   0       0   0   1");
    EXPECT_EQ(f[18], "  -1.       -1.       -1.        0   0   0       0   0   0       0   0   0 ");
}

TEST_F(ExportJob, SchakalLeavesOutUnlabelledPeaks) {
    ASSERT_EQ(run_export({"scha"}), 0) << listing();
    auto f = file("model.plt");
    EXPECT_EQ(f[0], "TITLE   " + padded("export test p21/c", 68));
    EXPECT_EQ(f[1], "CELL        7.100     9.300    10.200    90.000   104.500    90.000");
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[2], "ATOM   C1        0.125     0.250     0.375");
    EXPECT_EQ(f[5], "ATOM   H5        0.875     0.625     0.375");
    EXPECT_EQ(f[6], "END");
}

TEST_F(ExportJob, VyrolaRadiiColoursSymmetryAndLattice) {
    ASSERT_EQ(run_export({"vyro"}), 0) << listing();
    auto f = file("model.plt");
    EXPECT_EQ(f[0], padded("export test p21/c", 80));
    EXPECT_EQ(f[2], "    5");
    // Carbon: bonding radius 0.77 of form.dat, colour 1 (no hydrogen species).
    EXPECT_EQ(f[3], "C1   ,   0.12500   0.25000   0.37500   1.84000   0.25667   1");
    EXPECT_EQ(f[4], "N2   ,   0.62500   0.37500   0.12500   1.72000   0.23667   2");
    EXPECT_EQ(f[6], "Q4   ,   0.37500   0.12500   0.62500   0.10000   0.10000   7");
    EXPECT_EQ(f[7].substr(0, 6), "C5   ,");
    EXPECT_EQ(f[8], "    4");  // centrosymmetric: 2 x 2 operators
    EXPECT_EQ(f.size(), 9u + 4u + 1u);
    EXPECT_EQ(f.back(), "p");
}

TEST_F(ExportJob, CartesianCoordinatesOfOrthorhombicAndHexagonalCells) {
    data[0] = "cell 5 6 7 90 90 90";
    data[1] = "spac p 21 21 21";
    data[2] = "cont c 16 o 8";
    std::vector<Atom> model = {{101, 0.5f, 0.25f, 0.125f, 100, 1, 3}, {0, 1.0f, 1.0f, 1.0f, 50, 1, 3}};
    ASSERT_EQ(run_export({"xyz"}, model), 0) << listing();
    auto f = file("model.plt");
    EXPECT_EQ(f[0], "    2");
    // (a x, b y, c z); the cell of list 1 is good to a few parts in 10^7.
    auto xyz = [&](int line, int c) { return std::stod(f[line].substr(5 + 15 * c, 15)); };
    const double want[2][3] = {{2.5, 1.5, 0.875}, {5.0, 6.0, 7.0}};
    for (int a = 0; a < 2; ++a) {
        EXPECT_EQ(f[2 + a].substr(0, 5), a == 0 ? "C    " : "Q    ");
        EXPECT_EQ(f[2 + a].size(), 50u);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(xyz(2 + a, c), want[a][c], 5e-6) << a << c;
    }

    data[0] = "cell 4 4 9 90 90 120";
    data[1] = "spac p 63";
    data[2] = "cont c 12";
    model = {{101, 1.0f, 0.0f, 0.0f, 100, 1, 3}, {102, 0.0f, 1.0f, 0.0f, 100, 1, 3}};
    ASSERT_EQ(run_export({"xyz"}, model), 0) << listing();
    f = file("model.plt");
    double p[2][3];
    for (int a = 0; a < 2; ++a)
        for (int c = 0; c < 3; ++c) p[a][c] = std::stod(f[2 + a].substr(5 + 15 * c, 15));
    EXPECT_NEAR(std::hypot(p[0][0], p[0][1], p[0][2]), 4.0, 1e-5);
    EXPECT_NEAR(std::hypot(p[1][0], p[1][1], p[1][2]), 4.0, 1e-5);
    double cosang = (p[0][0] * p[1][0] + p[0][1] * p[1][1] + p[0][2] * p[1][2]) / 16.0;
    EXPECT_NEAR(cosang, -0.5, 1e-5);
    EXPECT_NEAR(p[0][2], 0.0, 1e-6);  // gamma = 120: both in the plane z = 0
}

// --- The viewer's request for more refinement -------------------------------

TEST_F(ExportJob, RefineRequestInsertsRestartBeforeTheExport) {
    // data, fourier, export (two directive lines), end; the export runs.
    queue({{CMD_DATA, {"cell 5 6 7 90 90 90"}}, {CMD_FOURIER, {}}, {CMD_EXPORT, {"shel", "mold"}}, {CMD_END, {}}});
    COMDIR.I(comdir::kRunning) = 3;
    COMDIR.I(comdir::kCursor) = 1;
    EMAP.I(emap::kNextAction) = 1;
    ASSERT_TRUE(export_requeue());
    EXPECT_EQ(COMDIR.I(comdir::kCount), 5);
    EXPECT_EQ(COMDIR.I(comdir::kRunning), 2);  // the dispatcher runs number 3 next
    const int codes[5] = {CMD_DATA, CMD_FOURIER, CMD_RESTART, CMD_EXPORT, CMD_END};
    const int lines[5] = {1, 0, 0, 2, 0};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(comdir::code(k + 1), codes[k]) << k;
        EXPECT_EQ(comdir::directive_lines(k + 1), lines[k]) << k;
    }
    EXPECT_EQ(COMDIR.I(comdir::kCursor), 1);  // the export's lines are still unread
    // Without a request nothing changes.
    EMAP.I(emap::kNextAction) = 0;
    EXPECT_FALSE(export_requeue());
    EXPECT_EQ(COMDIR.I(comdir::kCount), 5);
}

TEST_F(ExportJob, BatchRunClearsTheRequestAndExports) {
    // Without a window the viewer does not run: the next-action code is
    // cleared and the model is exported at once.
    queue({{CMD_DATA, data}, {CMD_EXPORT, {"shel"}}}, hkl(1, 0, 0, 10, 1) + hkl(0, 0, 0, 0, 0));
    ASSERT_EQ(dispatch(1), 0);
    store_model(kModel);
    EMAP.I(emap::kNextAction) = 2;
    EXPECT_EQ(dispatch(2), 0);
    EXPECT_EQ(EMAP.I(emap::kNextAction), 0);
    EXPECT_EQ(COMDIR.I(comdir::kCount), 2);
    EXPECT_TRUE(file_exists(dir + "/model.ins"));
}

}  // namespace
}  // namespace zanek::test
