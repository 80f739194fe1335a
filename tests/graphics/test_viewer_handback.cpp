// Hand-back of the viewer's model: list 15 stored with deleted atoms
// dropped, bonds renumbered and the next-action code, list 30 its copy;
// %export then queues a %restart for Refine and Complete. The whole path
// also runs in window mode with scripted clicks on the viewer's buttons.
#include <gtest/gtest.h>

#include <algorithm>

#include "fourier/commands/export.h"
#include "fourier/fourier_records.h"
#include "jobcontrol/commands.h"
#include "jobcontrol/text.h"
#include "platform/bitmap.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

class Handback : public ViewerJob {
protected:
    const std::string kCell = "cell 9.3863 12.2022 15.9567 90.000 109.000 90.000";
    std::vector<Atom> model;

    // %data, then the true atoms of the P21/c job as list 15 with bonds
    // 1-2, 2-3, 3-4, 5-6, 6-7; %export (SHELX) and %end queued behind.
    void SetUp() override {
        ViewerJob::SetUp();
        DOTDAT.name[3] = padded("model.ins", 80);
        DOTDAT.name[4] = padded("model.plt", 80);
        std::ifstream in(jobs_dir() + "/rand_p21c_c18n2o4/data.hkl");
        std::string refl, line;
        for (int k = 0; k < 300 && std::getline(in, line); ++k) refl += line + "\n";
        refl += hkl(0, 0, 0, 0, 0);
        queue({{CMD_DATA, {kCell, "spac p 1 21/c 1", "cont c 72 o 16 n 8", "refl foll"}}, {CMD_EXPORT, {"shel"}}, {CMD_END, {}}},
              refl);
        ASSERT_EQ(dispatch(1), 0) << listing();
        model = truth("rand_p21c_c18n2o4");
        store(model, {{1, 2}, {2, 3}, {3, 4}, {5, 6}, {6, 7}});
    }
    static void expect_list30_equals_list15() {
        const Loaded l = load15();
        int n = 0, start = 1, set = 0, bondflag = 0;
        SFL30(n, start, set, bondflag);
        ASSERT_EQ(n, l.n);
        EXPECT_EQ(set, l.set);
        EXPECT_EQ(bondflag, l.bondflag);
        for (int i = 1; i <= n; ++i) {
            EXPECT_EQ(old_atom_label(i), l.labels[i - 1]) << i;
            EXPECT_EQ(old_atom_coord(i, 1), l.xyz[i - 1][0]) << i;
        }
    }
    // The pixel centre of entry e as the viewer draws it at the start.
    static std::pair<int, int> at(int e) { return {ATOMI.px[e], ATOMI.py[e]}; }
};

TEST_F(Handback, QuitAfterDeletingTwoAtomsStoresTheRestRenumbered) {
    build();
    ATOMI.radius[2] = -(ATOMI.radius[2] + 10.0f);
    ATOMI.radius[5] = -(ATOMI.radius[5] + 10.0f);
    MODCOM(0);
    const Loaded l = load15();
    ASSERT_EQ(l.n, 22);
    EXPECT_EQ(l.set, 3);
    EXPECT_EQ(l.next, 0);
    EXPECT_EQ(l.labels[0], model[0].code);
    EXPECT_EQ(l.labels[1], model[2].code);  // atom 3 is now atom 2
    EXPECT_EQ(l.labels[3], model[5].code);
    EXPECT_EQ(l.xyz[21][2], model[23].z);
    // 3-4 becomes 2-3 and 6-7 becomes 4-5; bonds to atoms 2 and 5 are gone,
    // and the cell edges are never stored.
    const std::vector<std::pair<int, int>> bonds = {{2, 3}, {4, 5}};
    EXPECT_EQ(l.bonds, bonds);
    // The B of each atom moved with it.
    EXPECT_NEAR(atom_b(2), 2.0f + 0.1f * 3, 1e-6);
    expect_list30_equals_list15();
}

TEST_F(Handback, RefineAndCompleteAreStoredAndQueueARestart) {
    for (int action : {1, 2}) {
        store(model, {{1, 2}});
        build();
        MODCOM(action);
        const Loaded l = load15();
        EXPECT_EQ(l.next, action);
        EXPECT_EQ(l.n, 24);
        expect_list30_equals_list15();
    }
    // %export, running as command 2, finds the code and puts %restart first.
    COMDIR.I(comdir::kRunning) = 2;
    ASSERT_TRUE(export_requeue());
    EXPECT_EQ(COMDIR.I(comdir::kCount), 4);
    EXPECT_EQ(comdir::code(2), CMD_RESTART);
    EXPECT_EQ(comdir::code(3), CMD_EXPORT);
    EXPECT_EQ(comdir::code(4), CMD_END);
    EXPECT_EQ(COMDIR.I(comdir::kRunning), 1);
}

TEST_F(Handback, SymmetryCopiesAreDroppedBeforeStoring) {
    build();
    float a[9];
    GENERAC.n1_kept = ATOMI.n1;
    CONTR.I(contr::kSymmetry) = 1;
    GENERA(a);
    ASSERT_GT(ATOMI.n1, 24);
    // A copy of atom 4 deleted: its model atom goes with it only through
    // the copies' own radii; here the model atom itself is deleted.
    ATOMI.radius[4] = -(ATOMI.radius[4] + 10.0f);
    for (int e = 25; e <= ATOMI.n1; ++e)
        if (ATOMI.atom[e] == 4) ATOMI.radius[e] = ATOMI.radius[4];
    MODCOM(0);
    const Loaded l = load15();
    EXPECT_EQ(l.n, 23);
}

TEST_F(Handback, RefineButtonInWindowModeRequeues) {
    SCREEN.I(screenw::kMode) = 1;
    mouse_script().set({button_centre(37)});  // "Refine"
    ASSERT_EQ(dispatch(2), 0) << listing();
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(comdir::code(2), CMD_RESTART);
    EXPECT_EQ(comdir::code(3), CMD_EXPORT);
    const Loaded l = load15();
    EXPECT_EQ(l.next, 1);
    EXPECT_EQ(l.n, 24);
    // The bonds went back with the model.
    ASSERT_GE(l.bonds.size(), 5u);
    EXPECT_EQ(l.bonds[0], std::make_pair(1, 2));
    expect_list30_equals_list15();
    // The export itself waits for the next pass.
    EXPECT_FALSE(file_exists(dir + "/model.ins"));
}

TEST_F(Handback, DeleteInTheViewerThenQuitExportsTheEditedModel) {
    // Where the atoms stand at the start: the viewer draws the same view
    // each time it is built from the same list.
    SCREEN.I(screenw::kMode) = 1;
    VYROLA(1);
    const auto a3 = at(3), a10 = at(10);
    reset_viewer_records();
    mouse_script().set({button_centre(32), a3, a10, button_centre(47), button_centre(10)});
    ASSERT_EQ(dispatch(2), 0) << listing();
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(comdir::code(2), CMD_EXPORT);  // nothing inserted
    const Loaded l = load15();
    EXPECT_EQ(l.n, 22);
    EXPECT_EQ(l.next, 0);
    EXPECT_EQ(l.labels[2], model[3].code);
    // 3-4 is gone with atom 3; 5-6 and 6-7 become 4-5 and 5-6.
    const std::vector<std::pair<int, int>> bonds = {{1, 2}, {4, 5}, {5, 6}};
    EXPECT_EQ(l.bonds, bonds);
    EXPECT_TRUE(listed(" The following Atom(s) has been deleted :"));
    EXPECT_TRUE(file_exists(dir + "/model.ins"));
    const std::string ins = read_file(dir + "/model.ins");
    // True atom C3 (x 0.21452) left the model; C4 (x 0.07036) is third now.
    EXPECT_EQ(ins.find("0.21452"), std::string::npos);
    EXPECT_NE(ins.find("C003    1   0.07036"), std::string::npos) << ins;
}

TEST_F(Handback, RegroupReinterpretsAndShowsTheModelAgain) {
    SCREEN.I(screenw::kMode) = 1;
    store(model, {}, true);
    INPCL.I(inpcl::kRegroup) = 0;
    mouse_script().set({button_centre(36), button_centre(10)});  // "Regroup", then "Quit"
    ASSERT_EQ(dispatch(2), 0) << listing();
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(INPCL.I(inpcl::kRegroup), 1);
    const Loaded l = load15();
    EXPECT_EQ(l.n, 24);
    EXPECT_EQ(l.next, 0);
    EXPECT_EQ(l.bondflag, 1);
    // The interpretation's bond table replaced "bonds from distances".
    EXPECT_GE(static_cast<int>(bond_count()), 0);
}

// Whether the label of menu row r reads as given in the picture: its text
// pixels against the label drawn alone at the same place.
bool row_reads(const Bitmap& bm, int r, const std::string& label) {
    const int x1 = static_cast<int>(CMENU.x[r]) - 9, y1 = static_cast<int>(CMENU.y[r]) - 29;
    Surface alone(bm.width, bm.height);
    alone.text(x1 + 4, y1 + 2, label, 1);
    for (int y = y1 + 2; y <= y1 + 12; ++y)
        for (int x = x1 + 4; x <= x1 + 76; ++x)
            if ((bm.at(x, y) == 1) != (alone.get(x, y) == 1)) return false;
    return true;
}

// Regroup turns the symmetry copies, the cell edges and the fixed scale off:
// the buttons then offer to turn them on again, on the screen too.
TEST_F(Handback, AfterRegroupTheSwitchButtonsShowTheSwitchesOff) {
    SCREEN.I(screenw::kMode) = 1;
    store(model, {}, true);
    // "Symm  on", "Edges on", "Scale off", "Regroup"; then a hard copy of
    // the screen from the title strip, and no more clicks: Quit.
    mouse_script().set({button_centre(30), button_centre(29), button_centre(31), button_centre(36), {200, 10}});
    ASSERT_EQ(dispatch(2), 0) << listing();
    EXPECT_EQ(mouse_script().remaining(), 0);
    EXPECT_EQ(CMENU.label[29].substr(0, 8), "Edges on");
    EXPECT_EQ(CMENU.label[30].substr(0, 8), "Symm  on");
    EXPECT_EQ(CMENU.label[31].substr(0, 9), "Scale off");
    const auto bm = read_bmp(dir + "/hcopy.bmp");
    ASSERT_TRUE(bm.has_value());
    EXPECT_TRUE(row_reads(*bm, 29, "Edges on"));
    EXPECT_TRUE(row_reads(*bm, 30, "Symm  on"));
    EXPECT_TRUE(row_reads(*bm, 31, "Scale off"));
}

}  // namespace
}  // namespace zanek::test
