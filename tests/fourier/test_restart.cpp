// %restart: atom names, the edits of its directives (delete, rename) and
// their messages, the stored lists 15 and 30, directive faults, and whole
// restarts of the recycling from a stored model (plain, "com", and as
// inserted by %export with the viewer's next-action code).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fourier/commands/restart.h"
#include "fourier/fourier_records.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/units.h"
#include "tests/support/test_support.h"
#include "test_recycling_fixture.h"

namespace zanek::test {
namespace {

struct Slot {
    int label;
    float x, y, z, b;
};

class RestartJob : public InProcessJob {
protected:
    RestartJob() : InProcessJob("restart") {}

    RefModel model = reference_models()[1];  // P 21 21 21: c, c, n, o

    // %data (with the reference reflections) and %normal.
    void crystal(bool normal = true) {
        std::string refl;
        for (const RefReflection& r : model.refl) refl += hkl(r.h, r.k, r.l, r.f, 0.5);
        refl += hkl(0, 0, 0, 0, 0);
        queue({{CMD_DATA, {model.cell, "spac " + model.group, model.cont, "refl foll"}}, {CMD_NORMAL, {}}}, refl);
        ASSERT_EQ(dispatch(1), 0) << listing();
        if (normal) { ASSERT_EQ(dispatch(2), 0) << listing(); }
    }

    // A finished recycling: the model stored as lists 15 and 30.
    static void store(const std::vector<Slot>& slots, int next_action = 0) {
        ATOMS.clear();
        for (std::size_t k = 0; k < slots.size(); ++k) {
            const int i = static_cast<int>(k) + 1;
            atom_coord(i, 1) = slots[k].x, atom_coord(i, 2) = slots[k].y, atom_coord(i, 3) = slots[k].z;
            atom_coord(i, 4) = 1000.0f - 10.0f * i;
            atom_coord(i, 5) = 1.0f;
            atom_label(i) = slots[k].label;
            atom_b(i) = slots[k].b;
        }
        EMAP.R(emap::kDefaultB) = 3.0f;
        EMAP.R(emap::kLastR) = 0.2f;
        EMAP.I(emap::kCycles) = 5;
        EMAP.I(emap::kNextAction) = next_action;
        EMAP.R(emap::kInvScale) = 1.0f;
        bond_count() = 0.0f;
        FRM15(static_cast<int>(slots.size()), 1, 0);
        CP1530();
        ATOMS.clear();
    }

    // The reference model with its species as label codes.
    std::vector<Slot> true_model() const {
        std::vector<Slot> v;
        int serial = 0;
        for (const RefAtom& a : model.atoms)
            v.push_back({100 * RecyclingSpecies(a.el) + (++serial), a.x, a.y, a.z, a.b});
        return v;
    }
    static int RecyclingSpecies(const std::string& el) {
        for (int t = 1; t <= sf::species(); ++t)
            if (std::string(reinterpret_cast<const char*>(&sf::symbol(t)), 2) == (el + " ").substr(0, 2)) return t;
        return 0;
    }

    int restart(const std::vector<std::string>& directives) {
        queue({{CMD_RESTART, directives}});
        return dispatch(1);
    }

    std::vector<int> stored_labels(int type) {
        int n = 0, start = 1, set = 0, bonds = 0;
        if (type == 15)
            SFL15(n, start, set, bonds);
        else
            SFL30(n, start, set, bonds);
        std::vector<int> v;
        for (int i = 1; i <= n; ++i) v.push_back(type == 15 ? atom_label(i) : old_atom_label(i));
        return v;
    }
};

TEST_F(RestartJob, AtomNamesGiveSpeciesCodeAndNumber) {
    crystal(false);
    const int c = RecyclingSpecies("c"), n = RecyclingSpecies("n");
    struct Case {
        const char* line;
        int flag, ierr, code, atom;
    } cases[] = {{"c12", 0, 0, c, 12},   {"C12 more", 0, 0, c, 12}, {"q7", 0, 0, kNoSpeciesCode, 7},
                 {"n", 1, 0, n, -5},     {"q", 1, 0, kNoSpeciesCode, -5}, {"n3", 0, 0, n, 3},
                 {"x5", 0, -1, 0, -5},   {"cl3", 0, -1, 0, -5},    {"c", 0, -1, c, -5},
                 {"c0", 0, -1, c, -5},   {"c201", 0, -1, c, -5},   {"c200", 0, 0, c, 200},
                 {"c1.5", 0, 0, c, 1},   {"c1x", 0, -1, c, -5},    {"", 0, -1, 0, -5}};
    for (const Case& k : cases) {
        std::string line = padded(k.line, 80);
        int atom = -5, code = 0, ierr = 0;
        GETCOD(line, atom, code, k.flag, ierr);
        EXPECT_EQ(ierr, k.ierr) << k.line;
        if (k.ierr == 0) { EXPECT_EQ(code, k.code) << k.line; }
        EXPECT_EQ(atom, k.atom) << k.line;
    }
    // The first word is consumed.
    std::string line = padded("q7 n", 80);
    int atom = 0, code = 0, ierr = 0;
    GETCOD(line, atom, code, 0, ierr);
    EXPECT_EQ(rtrim(line), "n");
}

TEST_F(RestartJob, EditsAreCheckedReportedAndApplied) {
    crystal(false);
    const int c = RecyclingSpecies("c"), n = RecyclingSpecies("n"), o = RecyclingSpecies("o");
    store({{100 * c + 1, 0.11f, 0.12f, 0.13f, 1.5f},
           {100 * c + 2, 0.21f, 0.22f, 0.23f, 2.5f},
           {100 * n + 1, 0.31f, 0.32f, 0.33f, 3.5f},
           {100 * o + 1, 0.41f, 0.42f, 0.43f, 4.5f},
           {0, 0.51f, 0.52f, 0.53f, 5.5f},
           {0, 0.61f, 0.62f, 0.63f, 6.5f},
           {0, 0.71f, 0.72f, 0.73f, 7.5f},
           {100 * c + 3, 0.81f, 0.82f, 0.83f, 8.5f}});
    queue({{CMD_RESTART, {"del q7", "del c6", "ren q5 n", "ren c1 o", "rel o2 n", "del c150"}}});
    COMDIR.I(comdir::kRunning) = 1;
    int mode = -1, ierr = 0;
    DIRRES(mode, ierr);
    ASSERT_EQ(ierr, 0) << listing();
    EXPECT_EQ(mode, 0);
    CHANGE0(ierr);
    CHANGE1(ierr);
    const std::string l = listing();
    EXPECT_NE(l.find("\n     Atom Q   7 has been deleted\n"), std::string::npos) << l;
    EXPECT_NE(l.find("\n *** Atom C   6 does not exist. Cannot be deleted\n"), std::string::npos);
    EXPECT_NE(l.find("\n     Atom C   1 has been renamed as O   1\n"), std::string::npos);
    EXPECT_NE(l.find("\n *** Atom O   2 does not exist. Cannot be renamed\n"), std::string::npos);
    EXPECT_NE(l.find("\n     Atom Q   5 has been renamed as N   5\n"), std::string::npos);
    EXPECT_EQ(l.find("150"), std::string::npos);  // beyond the list: ignored
    EXPECT_EQ(l.find("No changes applied"), std::string::npos);
    // Atom 7 is gone; renamed atoms carry serial 1; the others keep theirs.
    const std::vector<int> want = {100 * o + 1, 100 * c + 2, 100 * n + 1, 100 * o + 1, 100 * n + 1, 0, 100 * c + 3};
    EXPECT_EQ(stored_labels(15), want);
    EXPECT_EQ(stored_labels(30), want);
    EXPECT_EQ(EMAP.I(emap::kNextAction), 1);
    EXPECT_FLOAT_EQ(atom_coord(7, 1), 0.81f);  // the last atom moved up with its B
    EXPECT_FLOAT_EQ(atom_b(7), 8.5f);
    EXPECT_FLOAT_EQ(atom_b(6), 6.5f);
}

TEST_F(RestartJob, DirectiveFaultsAndSwitches) {
    crystal(false);
    store(true_model());
    struct Case {
        const char* line;
        const char* message;
    } cases[] = {{"delete x3", " error in directive : "}, {"del c", " error in directive : "},
                 {"ren c1", " error in directive : "},    {"del c0", " error in directive : "},
                 {"remove c1", " wrong directive on following line:\n"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        queue({{CMD_RESTART, {k.line, "com"}}});
        COMDIR.I(comdir::kRunning) = 1;
        int mode = 0, ierr = 0;
        DIRRES(mode, ierr);
        EXPECT_EQ(ierr, -1);
        EXPECT_EQ(mode, 0);  // reading stopped at the fault
        const std::string text = k.message[1] == 'e' ? padded(k.line, 80) : std::string(k.line);
        EXPECT_TRUE(listed(std::string(k.message) + text));
    }
    queue({{CMD_RESTART, {"com", "print"}}});
    COMDIR.I(comdir::kRunning) = 1;
    int mode = 0, ierr = 0;
    DIRRES(mode, ierr);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(UREQ.I(ureqw::kPrint), 4);
    EXPECT_EQ(UREQ1.I(ureq1::kMapKind), 0);
    EXPECT_EQ(UREQ1.I(ureq1::kNoPsiE), 1);
    EXPECT_FLOAT_EQ(CONST.R(konst::kGrid), 0.33333334f);
}

// Distance in Angstrom between atom i and the nearest reference atom (the
// reference model sits at the origin the reflections define).
double nearest_true_atom(const RefModel& m, int i) {
    double best = 1e9;
    const float cell[3] = {6.3f, 8.1f, 11.7f};
    const int signs[4][3] = {{1, 1, 1}, {-1, -1, 1}, {-1, 1, -1}, {1, -1, -1}};
    const float shift[4][3] = {{0, 0, 0}, {0.5f, 0, 0.5f}, {0, 0.5f, 0.5f}, {0.5f, 0.5f, 0}};
    for (const RefAtom& a : m.atoms)
        for (int op = 0; op < 4; ++op) {
            const float t[3] = {a.x, a.y, a.z};
            double d2 = 0;
            for (int c = 0; c < 3; ++c) {
                double d = atom_coord(i, c + 1) - (signs[op][c] * t[c] + shift[op][c]);
                d -= std::round(d);
                d2 += (d * cell[c]) * (d * cell[c]);
            }
            best = std::min(best, std::sqrt(d2));
        }
    return best;
}

TEST_F(RestartJob, PlainRestartRefinesTheStoredModelForTwoMoreCycles) {
    crystal();
    store(true_model());
    ASSERT_EQ(restart({}), 0) << listing();
    EXPECT_TRUE(listed(" Restart routine"));
    EXPECT_TRUE(listed("\n\n *** warning *** No changes applied to atom list\n\n"));
    EXPECT_EQ(EMAP.I(emap::kNextAction), 1);
    EXPECT_EQ(EMAP.I(emap::kCycleLimit), 5 + 3 - 1);
    EXPECT_EQ(EMAP.I(emap::kCycles), 7);  // the maps of cycles 7 and 8
    EXPECT_GT(EMAP.R(emap::kLastR), 0.0f);
    EXPECT_LT(EMAP.R(emap::kLastR), 0.10f);
    // The final model: the four atoms of the structure, in place.
    int n = 0, start = 1, set = 0, bonds = 0;
    SFL15(n, start, set, bonds);
    int placed = 0;
    for (int i = 1; i <= n; ++i)
        if (atom_label(i) != 0 && nearest_true_atom(model, i) < 0.3) ++placed;
    EXPECT_GE(placed, 4) << listing();
}

TEST_F(RestartJob, CompleteAsksForFiftyCycles) {
    crystal();
    store(true_model());
    ASSERT_EQ(restart({"com"}), 0) << listing();
    EXPECT_EQ(EMAP.I(emap::kCycleLimit), 5 + 50 - 1);
    // More passes than a plain restart's two (cycles 7 and 8), until the
    // residual rises after the fourth step counter.
    EXPECT_GE(EMAP.I(emap::kCycles), 8);
    EXPECT_LT(EMAP.I(emap::kCycles), 55);
    EXPECT_LT(EMAP.R(emap::kLastR), 0.10f);
}

TEST_F(RestartJob, InsertedRestartTakesTheViewersRequestWithoutEdits) {
    crystal();
    store(true_model(), 2);  // the viewer asked to complete the structure
    ASSERT_EQ(restart({}), 0) << listing();
    EXPECT_FALSE(listed("No changes applied"));
    EXPECT_EQ(EMAP.I(emap::kCycleLimit), 5 + 50 - 1);
}

// Every atom renamed as hydrogen: the label interpretation of the maps finds
// no peak of a species it uses. The command fails with the message, the run
// goes on to its end line as after any failed command (the rest of the
// queue is skipped), and the structure file keeps the model it had before
// the command: the renamed atoms stored on the way are put back.
TEST_F(RestartJob, EveryAtomRenamedAsHydrogenFailsTheCommandNotTheRun) {
    model.cont += " h 8";
    crystal();
    store(true_model());
    const std::vector<int> labels_before = stored_labels(15);
    const std::vector<std::string> renames = {"ren c1 h", "ren c2 h", "ren n3 h", "ren o4 h"};
    EXPECT_EQ(restart(renames), -1);
    EXPECT_TRUE(listed("\n Given peaks cannot be recognized \n")) << listing();
    const int h = RecyclingSpecies("h");
    EXPECT_NE(labels_before, std::vector<int>(4, 100 * h + 1));
    EXPECT_EQ(stored_labels(15), labels_before);

    // The same through the program: the run ends in error, without a stop.
    store(true_model());
    XDUMP();
    units().close(kStoreUnit);
    let_go_structure_file();  // the run below takes the file
    std::string cmd = "%job renamed\n%structure struct\n%nowindow\n%restart\n";
    for (const std::string& r : renames) cmd += r + "\n";
    cmd += "%history\n%end\n";
    const RunResult run = run_zanek(dir, cmd);
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.listing.find("\n Given peaks cannot be recognized \n"), std::string::npos) << run.listing;
    EXPECT_EQ(run.listing.find("STOP"), std::string::npos);
    EXPECT_EQ(run.listing.find("List of commands issued in the past"), std::string::npos);  // %history skipped
    EXPECT_NE(run.listing.find("== ZANEK ends in error"), std::string::npos);
}

TEST_F(RestartJob, NothingToRestartFrom) {
    crystal();
    EXPECT_EQ(restart({}), -1);
    EXPECT_TRUE(listed("\n *** error *** No coordinates in direct access file\n"));
}

}  // namespace
}  // namespace zanek::test
