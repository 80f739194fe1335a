// The %data directive reader and command routine, run in-process on a fresh
// structure file: the lists stored, the shared records set, the listing
// lines, and every directive fault failing the command with its message.
#include "tests/crystaldata/test_data_command_fixture.h"

#include <cmath>
#include <ostream>

#include "jobcontrol/lists/list01.h"
#include "jobcontrol/records/genob.h"

using namespace zanek;
using namespace zanek::test;

namespace {

// --- Lists and listing of a complete %data without reflections -----------

TEST_F(DataRun, CellGroupAndContentWithoutReflectionsStoreLists123) {
    ASSERT_EQ(run({"cell 10 12 15 90 90 90", "spac p 21 21 21", "cont c 16 o 8"}), 0) << listing();
    EXPECT_TRUE(stored(1));
    EXPECT_TRUE(stored(2));
    EXPECT_TRUE(stored(3));
    EXPECT_FALSE(stored(7));
    EXPECT_FALSE(stored(15));
    EXPECT_EQ(RC.I(rcw::kNref), 0);  // no reflections: no default number to phase
    // s^2 = h^2/(4a^2) + k^2/(4b^2) + l^2/(4c^2) for an orthogonal cell.
    EXPECT_TRUE(listed(" Direct cell         a =  10.000    b =  12.000    c =  15.000    alpha =  90.00    "
                       "beta =  90.00    gamma =  90.00\n"))
        << listing();
    EXPECT_TRUE(listed(" s2 = s**2 = 0.002500 * h**2 + 0.001736 * k**2 + 0.001111 * l**2 +"));
    EXPECT_TRUE(listed(" Crystal family                             :  orthorhombic"));
    EXPECT_TRUE(listed(" Space group (noncentrosymmetric)           :  P 21 21 21"));
    // 24 atoms, 4 equivalent positions, primitive: 6 per asymmetric unit;
    // volume 1800 / 24 atoms; sum nZ^3 / (sum nZ^2)^1.5 = 7552 / 1088^1.5,
    // whose inverse square is 22.6.
    EXPECT_TRUE(listed("\n                                       Number of atoms in asymmetric unit =  6.00\n"
                       "                               Equivalent number of equal atoms in primitive cell =    23\n"
                       "                                              Volume per atom =  75.00\n"))
        << listing();
    EXPECT_NEAR(SYM.R(symw::kSigma3), 7552.0 / std::pow(1088.0, 1.5), 1e-6);
    EXPECT_EQ(SYM.R(symw::kSigma3Prim), SYM.R(symw::kSigma3));
    // The content table: type, count, Z and the nine constants of form.dat.
    EXPECT_TRUE(listed("\n atom    number in cell    atomic number     a(1)     b(1)     a(2)"));
    EXPECT_TRUE(listed("\n  C             16                6     "));
    EXPECT_TRUE(listed("\n  O              8                8     "));
    // The defaults of the directive reader.
    EXPECT_FLOAT_EQ(RC.R(rcw::kRhomax), 1.98f);
    EXPECT_FLOAT_EQ(RC.R(rcw::kELimit), 1.2f);
    EXPECT_FLOAT_EQ(RC.R(rcw::kWeakE), 0.3f);
    EXPECT_EQ(RC.I(rcw::kNzro), 166);
    EXPECT_FLOAT_EQ(C.R(cw::kScale), -99.9f);
    EXPECT_EQ(GENOB.I(genob::kMissing), -1);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 1);
}

TEST_F(DataRun, HeadingIsTheDataRoutinesWithTwoEmptyLines) {
    run(p1_job());
    std::string l = listing();
    EXPECT_EQ(l.find("\n\n\n1" + std::string(120, '+') + "\n\n ZANEK : Data routine"), 0u) << l.substr(0, 300);
    EXPECT_NE(l.find("\n " + std::string(120, '+') + "\n\n\n\n Direct cell"), std::string::npos);
}

// A %data that fails after it has formed some lists leaves none of them:
// the file keeps what it held before the command (here nothing).
TEST_F(DataRun, MissingCellAndContentAreBothReportedAndNoListIsKept) {
    EXPECT_EQ(run({"spac p 21/c"}), -1);
    EXPECT_TRUE(listed("\n *** error *** no cell parameters supplied\n"));
    EXPECT_TRUE(listed("\n *** error *** no cell content supplied\n"));
    EXPECT_FALSE(listed("no space group symbol supplied"));
    EXPECT_FALSE(stored(2));
    EXPECT_FALSE(stored(3));
}

TEST_F(DataRun, MissingGroupIsReported) {
    EXPECT_EQ(run({"cell 10 10 10 90 90 90", "cont c 4"}), -1);
    EXPECT_TRUE(listed("\n *** error *** no space group symbol supplied\n"));
    EXPECT_FALSE(stored(1));
    EXPECT_FALSE(stored(3));
}

// --- Directive faults and accepted variants ---------------------------------

struct DirectiveCase {
    const char* line;
    int status;           // 0 accepted, -1 the command fails
    const char* message;  // expected listing text ("" none in particular)
};
void PrintTo(const DirectiveCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class DataDirectives : public DataRun, public ::testing::WithParamInterface<DirectiveCase> {};

TEST_P(DataDirectives, FailOrPassWithTheirMessage) {
    const DirectiveCase& c = GetParam();
    EXPECT_EQ(run(with(p1_job(), {c.line})), c.status) << listing();
    if (c.status < 0) {
        std::string bad = std::string(c.message).empty() ? " error in directive : " + padded(c.line, 80)
                                                         : std::string(c.message);
        EXPECT_TRUE(listed(bad)) << listing();
    } else {
        EXPECT_FALSE(listed(" error in directive")) << listing();
        if (*c.message) {
            EXPECT_TRUE(listed(c.message)) << listing();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DataDirectives,
    ::testing::Values(
        DirectiveCase{"rhom 1.0", 0, ""}, DirectiveCase{"rhom 0", 0, ""}, DirectiveCase{"rhom 1.5", -1, ""},
        DirectiveCase{"rhom -0.1", -1, ""}, DirectiveCase{"rhom", -1, ""}, DirectiveCase{"rhom 0.5 0.6", -1, ""},
        DirectiveCase{"shif 12 0 6", 0, "( origin shift = 1/2    0  1/4  )"},
        DirectiveCase{"shif 5 0 0", -1,
                      "\n\n\n origin shift components must be integral multiples of 1/24 \n error in directive : shif 5 0 0"},
        DirectiveCase{"shif -12 0 0", -1, "integral multiples of 1/24"},
        DirectiveCase{"shif 12 0", -1, ""},
        DirectiveCase{"cont c 4 o", -1, ""}, DirectiveCase{"cont c 0", -1, ""}, DirectiveCase{"cont c -3", -1, ""},
        DirectiveCase{"cont c x", -1, ""}, DirectiveCase{"cont", -1, ""},
        DirectiveCase{"cont c 2147483647 o 1", -1, ""}, DirectiveCase{"cont c 1000001", -1, ""},
        DirectiveCase{"cont c 1000000", 0, ""}, DirectiveCase{"cont c 8 o 4 c 2", -1, ""},
        DirectiveCase{"cont cl 2 c 8 ca 1", 0, ""},
        DirectiveCase{"cont c 1 h 2 n 3 o 4 f 5 s 6 cl 7 br 8 i 9", 0, "\n  Br             8               35"},
        DirectiveCase{"reco 0", -1, ""}, DirectiveCase{"reco 13", -1, ""}, DirectiveCase{"reco 12", 0, ""},
        DirectiveCase{"reco 2 3", -1, ""},
        DirectiveCase{"cell -1 10 10 90 90 90", -1, ""}, DirectiveCase{"cell 10 0 10 90 90 90", -1, ""},
        DirectiveCase{"cell 10 10 10 90 90 200", -1, ""}, DirectiveCase{"cell 10 10 10 60 60 150", -1, ""},
        DirectiveCase{"cell 10 10 10 0.9 -0.9 0.9", -1, ""}, DirectiveCase{"cell 10 10 10 0.5 0.5 1.0", -1, ""},
        DirectiveCase{"cell 10 10 10 90 90", -1, ""}, DirectiveCase{"cell 10 10 10 90 90 9x", -1, ""},
        DirectiveCase{"cell 10 10 10 0.0 0.0 -0.5", 0, "gamma = 120.00"},
        DirectiveCase{"cell 10 10 10 1.5 90 90", 0, "alpha =   1.50"},
        DirectiveCase{"know 1", -1, ""}, DirectiveCase{"know", 0, ""}, DirectiveCase{"prin 2", 0, ""},
        DirectiveCase{"form 3i4,2f8.2", -1, ""}, DirectiveCase{"form (3i4,2f8.2", -1, ""},
        DirectiveCase{"form (3I4,3F8.2)", 0, ""},
        DirectiveCase{"spac p 5", -1, ""}, DirectiveCase{"spac p", -1, ""}, DirectiveCase{"spac p 1 d", -1, ""},
        DirectiveCase{"spac P 21/C", 0, "Space group (centrosymmetric)              :  P 21/c"},
        DirectiveCase{"spac p    21    21    21", 0, "Space group (noncentrosymmetric)           :  P 21 21 21      "},
        DirectiveCase{"nosi", 0, ""}, DirectiveCase{"fosq", 0, ""}, DirectiveCase{"gene", 0, ""},
        DirectiveCase{"xyzw 1", -1, " wrong directive on following line:\n xyzw 1"},
        DirectiveCase{"frag c 0.1 0.2", -1, ""}, DirectiveCase{"frag s 0.1 0.2 0.3", -1,
                                                               "  *** error *** s  type not present in the declared content"}),
    [](const ::testing::TestParamInfo<DirectiveCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(DataRun, SwitchDirectivesSetTheirRecords) {
    ASSERT_EQ(run(with(p1_job(), {"prin 2", "know", "nosi", "gene", "rhom 0.5"})), 0);
    EXPECT_EQ(UREQ.I(ureqw::kPrint), 2);
    EXPECT_EQ(UREQ.I(ureqw::kKnown), 1);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 0);
    EXPECT_EQ(GENOB.I(genob::kMissing), 0);
    EXPECT_FLOAT_EQ(RC.R(rcw::kRhomax), 0.5f);
    // The next %data starts from the defaults again.
    ASSERT_EQ(run(p1_job()), 0);
    EXPECT_EQ(UREQ.I(ureqw::kPrint), 0);
    EXPECT_EQ(UREQ.I(ureqw::kKnown), 0);
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 1);
    EXPECT_EQ(GENOB.I(genob::kMissing), -1);
}

TEST_F(DataRun, AFailingDirectiveEndsTheReadingAtOnce) {
    // The bad cell line comes first: neither the group nor the content is
    // read, and none of the final checks runs.
    EXPECT_EQ(run({"cell 10 10 -10 90 90 90", "spac p 1", "cont c 4"}), -1);
    EXPECT_FALSE(listed("no space group symbol supplied"));
    EXPECT_FALSE(stored(2));
}

TEST_F(DataRun, ContentWithNineTypesKeepsEight) {
    ASSERT_EQ(run(with(p1_job(), {"cont c 1 h 2 n 3 o 4 f 5 s 6 cl 7 br 8 i 9"})), 0);
    EXPECT_EQ(sf::species(), 8);
}

// --- Fragments ----------------------------------------------------------------

TEST_F(DataRun, FragmentEndsAtAWordOfThreeLettersWhichIsThenADirective) {
    ASSERT_EQ(run(with(p1_job("p -1"), {"frag", "c 0.1 0.2 0.3", "o 0.2 0.3 0.4 0.7", "nosi", "frag c 0 0 0.5"})),
              0)
        << listing();
    EXPECT_EQ(UREQ.I(ureqw::kSigma), 0);  // the line that ended the fragment was read as a directive
    EXPECT_EQ(ATOMS.I(atomsw::kFragments), 2);
    EXPECT_EQ(atomsw::fragment_type(1), 3);
    EXPECT_EQ(atomsw::fragment_atoms(1), 2);
    EXPECT_EQ(atomsw::fragment_atoms(2), 1);
    EXPECT_TRUE(listed("\n fragment number          =  1\n no. of atoms in fragment =  2\n     type       x         y"
                       "         z       occ.   number in cell\n"));
    EXPECT_TRUE(listed("\n fragment number          =  2\n no. of atoms in fragment =  1\n"));
    ASSERT_TRUE(stored(15));
    int n = 0, start = 1, set = -1, bonds = -1;
    reset_atom_records();
    SFL15(n, start, set, bonds);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(set, 0);
    EXPECT_EQ(bonds, 0);
    // c is species 1 and o species 2 of list 3 (the order of form.dat).
    EXPECT_EQ(atom_label(1), 101);
    EXPECT_EQ(atom_label(2), 201);
    EXPECT_EQ(atom_label(3), 101);
    EXPECT_FLOAT_EQ(atom_coord(1, 1), 0.1f);
    EXPECT_FLOAT_EQ(atom_coord(2, 3), 0.4f);
    EXPECT_FLOAT_EQ(atom_coord(1, 5), 1.0f);  // general position: m = 1
    EXPECT_FLOAT_EQ(atom_coord(2, 5), 0.7f);  // occupancy as given
    EXPECT_FLOAT_EQ(atom_coord(3, 5), 0.5f);  // on a centre of symmetry: m = 2
    EXPECT_FLOAT_EQ(atom_coord(3, 4), 0.5f);
}

// The site multiplicity comes from the symmetry of this %data, not from the
// state the special-position library was left in.
TEST_F(DataRun, SiteOccupancyFollowsTheNewSymmetry) {
    ASSERT_EQ(run(with(p1_job("p -1"), {"frag c 0.5 0.5 0.5"})), 0) << listing();
    EXPECT_FLOAT_EQ(atom_coord(1, 5), 0.5f);
    ASSERT_EQ(run(with(p1_job("p 1"), {"frag c 0.5 0.5 0.5"})), 0) << listing();
    EXPECT_FLOAT_EQ(atom_coord(1, 5), 1.0f);
    ASSERT_EQ(run(with(p1_job("p 1 2 1"), {"frag c 0 0.3 0"})), 0) << listing();
    EXPECT_FLOAT_EQ(atom_coord(1, 5), 0.5f);  // on the two-fold axis along b
}

TEST_F(DataRun, FragmentAtTheLastLineUsesUpTheDirectives) {
    ASSERT_EQ(run(with(p1_job(), {"frag", "c 0.1 0.2 0.3"})), 0);
    EXPECT_EQ(atomsw::fragment_atoms(1), 1);
    EXPECT_TRUE(stored(15));
}

TEST_F(DataRun, ElevenFragmentsAreRefused) {
    std::vector<std::string> lines = p1_job();
    for (int f = 0; f < 11; ++f) lines.push_back("frag c 0.1 0.2 0.3");
    EXPECT_EQ(run(lines), -1);
    EXPECT_TRUE(listed(" error in directive : frag c 0.1 0.2 0.3"));
    EXPECT_EQ(ATOMS.I(atomsw::kFragments), 10);
}

TEST_F(DataRun, AtomTypeNotInTheContentFailsAfterAllDirectives) {
    EXPECT_EQ(run({"frag", "n 0.1 0.2 0.3", "cell 10 10 10 90 90 90", "spac p 1", "cont c 4"}), -1);
    EXPECT_TRUE(listed("  *** error *** n  type not present in the declared content"));
    EXPECT_FALSE(stored(1));
    EXPECT_FALSE(stored(3));
    EXPECT_FALSE(stored(15));
}

// --- Derived numbers ------------------------------------------------------------

TEST(DefaultPhasingReflections, FollowTheAsymmetricUnit) {
    struct Case { double nasym; bool centric, one_op; int nref; };
    const Case cases[] = {
        {10, false, false, 190},  // A = 140, B = 100
        {200, false, false, 499}, // A = 499, B = 0
        {10, true, false, 240},   // A = 190
        {10, true, true, 290},    // A = 240
        {0, false, false, 150},   // A = 100
        {99.9, false, false, 499},// A = 499.5 -> 499
        {85, false, false, 469},  // A = 440, B = 59 -> 440 + 29
    };
    for (const Case& c : cases)
        EXPECT_EQ(default_phasing_reflections(c.nasym, c.centric, c.one_op), c.nref) << c.nasym;
}

TEST(CellIsSound, NeedsPositiveEdgesAndARealVolume) {
    const float good[][6] = {{10, 10, 10, 90, 90, 90}, {5, 6, 7, 80, 100, 120}, {10, 10, 10, 0, 0, -0.5f},
                             {10, 10, 10, 60, 60, 60}};
    const float bad[][6] = {{0, 10, 10, 90, 90, 90},  {10, 10, -1, 90, 90, 90},  {10, 10, 10, 90, 90, 180},
                            {10, 10, 10, 120, 120, 120}, {10, 10, 10, 1.2f, 0, 0}, {10, 10, 10, 60, 60, 120}};
    for (const auto& c : good) EXPECT_TRUE(cell_is_sound(c)) << c[3] << " " << c[4] << " " << c[5];
    for (const auto& c : bad) EXPECT_FALSE(cell_is_sound(c)) << c[0] << " " << c[3] << " " << c[4] << " " << c[5];
}

TEST_F(DataRun, ReflectionsGiveTheDefaultNumberToPhase) {
    // 24 atoms in P 21 21 21: 6 in the asymmetric unit, A = 124, B = 100.
    ASSERT_EQ(run({"cell 10 12 15 90 90 90", "spac p 21 21 21", "cont c 16 o 8", "refl foll"},
                  hkl(1, 2, 3, 10, 1) + hkl(0, 0, 0, 0, 0)),
              0)
        << listing();
    EXPECT_EQ(RC.I(rcw::kNref), 174);
    EXPECT_EQ(IMPL.I(implw::kReflectionUnit), 1);  // the command-file unit was read
}

}  // namespace
