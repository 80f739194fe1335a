// Editing the viewer's model: deleting atoms by clicks and by polygon with
// the listing of their labels, hiding and showing, the polygon test,
// relabelling to another species, adding and deleting bonds.
#include <gtest/gtest.h>

#include <string>

#include "graphics/viewer/viewer_internal.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/scatter.h"
#include "test_viewer_fixture.h"

namespace zanek::test {
namespace {

class Edit : public ViewerJob {
protected:
    // Six carbon atoms in two rows 3 A apart, radius 0.4; entry 7 is a
    // symmetry copy of atom 2; entries 8-10 are cell points.
    void SetUp() override {
        ViewerJob::SetUp();
        viewer_frame();
        for (int i = 1; i <= 6; ++i) set_entry(i, 3.0f * ((i - 1) % 3), i <= 3 ? 0.0f : 3.0f, 0.0f, 0.4f, 1, 'C' + std::to_string(i));
        set_entry(7, 9.0f, 0.0f, 0.0f, 0.4f, 1, "C2");
        ATOMI.atom[7] = 2;
        for (int i = 8; i <= 10; ++i) set_entry(i, 9.0f, 3.0f + i - 8, 0.0f, 0.01f, 7, "");
        ATOMI.n1 = 7;
        ATOMI.n2 = 3;
        GENERAC.n1_kept = 6;
        fit_view();
    }
    static void picks(std::initializer_list<std::pair<int, int>> p) {
        int k = 0;
        for (const auto& [x, y] : p) viewer::px_buffer()[k] = x, viewer::py_buffer()[k] = y, ++k;
        viewer::px_buffer()[k] = -1, viewer::py_buffer()[k] = -1;
    }
    static std::pair<int, int> at(int e) { return {ATOMI.px[e], ATOMI.py[e]}; }
    // A rectangle about the pixel centres of entries a (top left) and b.
    static void box_about(int a, int b) {
        const int x1 = ATOMI.px[a] - 15, x2 = ATOMI.px[b] + 15;
        const int y1 = std::min(ATOMI.py[a], ATOMI.py[b]) - 15, y2 = std::max(ATOMI.py[a], ATOMI.py[b]) + 15;
        picks({{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}});
    }
    static std::string message() { return MESS.text.substr(0, MESS.length); }
};

TEST_F(Edit, ClickedAtomsAreDeletedOnceWithTheirCopies) {
    picks({at(2), at(2), at(5), {600, 40}});
    DELAT();
    EXPECT_FLOAT_EQ(ATOMI.radius[2], -10.4f);
    EXPECT_FLOAT_EQ(ATOMI.radius[5], -10.4f);
    EXPECT_FLOAT_EQ(ATOMI.radius[7], -10.4f);  // the copy of atom 2
    EXPECT_FLOAT_EQ(ATOMI.radius[1], 0.4f);
    EXPECT_EQ(message(), "  2 Atom(s) has been deleted !");
    EXPECT_EQ(MESS.pending, 1);
    const std::string l = listing();
    EXPECT_NE(l.find("\n The following Atom(s) has been deleted :\n C2    C5    "), std::string::npos) << l;

    picks({{600, 40}});
    DELAT();
    EXPECT_EQ(message(), " No Atom deleted !");
}

TEST_F(Edit, PolygonDeletesHidesAndDisplays) {
    ATOMI.radius[4] = -0.4f;  // hidden: not deleted by the polygon
    box_about(1, 5);          // holds entries 1, 2, 4, 5
    DELHIDE(-23);
    EXPECT_EQ(message(), "  3 Atom(s) has been deleted !");
    EXPECT_TRUE(ATOMI.deleted(1));
    EXPECT_TRUE(ATOMI.deleted(2));
    EXPECT_TRUE(ATOMI.deleted(5));
    EXPECT_FALSE(ATOMI.deleted(4));
    EXPECT_TRUE(ATOMI.deleted(7));
    EXPECT_FALSE(ATOMI.deleted(3));
    // Listed from the last place of the drawing order down.
    EXPECT_NE(listing().find(" C5    C2    C1    "), std::string::npos) << listing();

    // "To display": everything shown outside is hidden.
    box_about(3, 3);
    DELHIDE(223);
    EXPECT_EQ(message(), "  1 Atom(s) has been hidden  !");  // entry 6
    EXPECT_LT(ATOMI.radius[6], 0.0f);
    EXPECT_GT(ATOMI.radius[3], 0.0f);
    // "Show all" shows the hidden atoms, not the deleted ones.
    DELHIDE(123);
    EXPECT_FLOAT_EQ(ATOMI.radius[4], 0.4f);
    EXPECT_FLOAT_EQ(ATOMI.radius[6], 0.4f);
    EXPECT_TRUE(ATOMI.deleted(1));
    // "To hide" with nothing inside.
    picks({{500, 400}, {520, 400}, {520, 420}, {500, 420}, {500, 400}});
    DELHIDE(23);
    EXPECT_EQ(message(), " No Atom hidden  !");
}

TEST_F(Edit, PointInPolygon) {
    picks({{100, 100}, {200, 100}, {200, 200}, {100, 200}, {100, 100}});
    struct Case {
        int x, y, want;
    } cases[] = {{150, 150, -2}, {250, 150, 0}, {50, 150, 0}, {150, 250, 0}, {199, 199, -2}, {101, 120, -2}};
    for (const Case& c : cases) EXPECT_EQ(INTERNO(c.x, c.y, 5), c.want) << c.x << " " << c.y;
    // A triangle.
    picks({{100, 100}, {300, 200}, {100, 300}, {100, 100}});
    EXPECT_EQ(INTERNO(150, 200, 4), -2);
    EXPECT_EQ(INTERNO(290, 120, 4), 0);
}

TEST_F(Edit, VerticesOnOnePixelRowAreSpreadThreeRowsApart) {
    picks({{100, 150}, {200, 150}, {200, 150}, {300, 150}, {100, 150}});
    DELHIDE(23);
    const int* x = viewer::px_buffer();
    const int* y = viewer::py_buffer();
    EXPECT_EQ(y[0], 150);
    EXPECT_EQ(y[1], 147);
    EXPECT_EQ(y[2], 144);
    EXPECT_EQ(y[3], 150);  // the closing vertex stays on the first
    EXPECT_EQ(x[2], 300);  // the repeated vertex is gone
}

TEST_F(Edit, RelabelGivesTheSpeciesOfThePaletteCell) {
    // Species 1 hydrogen, 2 carbon, 3 oxygen: the palette starts after
    // hydrogen, so its second cell is species 3.
    sf::species() = 3;
    sf::symbol(1) = species_word("h"), sf::z(1) = 1;
    sf::symbol(2) = species_word("c"), sf::z(2) = 6;
    sf::symbol(3) = species_word("o"), sf::z(3) = 8;
    contr_radius(1) = 0.31f, contr_radius(2) = 0.77f, contr_radius(3) = 0.66f;
    ATOMS.clear();
    atom_label(2) = 212;
    ATOMI.label[2] = "C12  ";
    ATOMI.radius[7] = -0.4f;  // its copy is hidden
    int k = 2;
    RELAB(at(2).first, at(2).second, k);
    EXPECT_EQ(k, 3);
    EXPECT_EQ(atom_label(2), 312);
    EXPECT_EQ(message(), " Atom C12   has been reLabelled   as   O2    !");
    EXPECT_NE(listing().find(" Atom C12   has been reLabelled   as   O2    !"), std::string::npos);
    EXPECT_EQ(ATOMI.label[2], "O2   ");
    EXPECT_EQ(ATOMI.label[7], "O2   ");
    EXPECT_EQ(ATOMI.colour[2], 2);
    EXPECT_NEAR(ATOMI.radius[2], 0.22f, 1e-6);
    EXPECT_NEAR(ATOMI.radius[7], -0.22f, 1e-6);  // still hidden
    EXPECT_NEAR(ATOMI.bond_radius[7], 1.62f, 1e-6);
    k = 1;
    RELAB(600, 40, k);
    EXPECT_EQ(message(), " No Atom reLabelled !");
    ATOMS.clear();
}

TEST_F(Edit, BondsAreAddedBeforeTheReserveAndDeletedInEitherOrder) {
    add_bond(1, 2);
    add_bond(2, 3);
    add_bond(8, 9);
    add_bond(9, 10);
    CRT.reserve = 2;
    ATOMI.n1 = 6;  // no copies shown
    picks({at(1), at(4), at(4), at(4), at(5), at(6)});
    ADDDELBONDS(631, 6);
    EXPECT_EQ(message(), "   2  bond(s) have been added   ");
    EXPECT_EQ(CRT.nbonds, 6);
    const int want[6][2] = {{1, 2}, {2, 3}, {1, 4}, {5, 6}, {8, 9}, {9, 10}};
    for (int b = 1; b <= 6; ++b) {
        EXPECT_EQ(CRT.bond_a[b], want[b - 1][0]) << b;
        EXPECT_EQ(CRT.bond_b[b], want[b - 1][1]) << b;
    }
    EXPECT_EQ(LEG1.count, 6);
    EXPECT_EQ(LEG1.b[4], 6);
    EXPECT_EQ(XWI.pending_action, 31);
    EXPECT_EQ(XWI.pending_geometry, 57);
    EXPECT_EQ(XWI.menu_redraw, 1);

    // (2,1) removes (1,2); (3,6) is no bond but counts; a pick in empty
    // space ends the walk.
    picks({at(2), at(1), at(3), at(6), {600, 40}, at(5), at(4), at(1)});
    ADDDELBONDS(731, 6);
    EXPECT_EQ(message(), "   2  bond(s) have been deleted ");
    EXPECT_EQ(CRT.nbonds, 5);
    EXPECT_EQ(CRT.bond_a[1], 2);
    EXPECT_EQ(CRT.bond_b[1], 3);
    EXPECT_EQ(XWI.pending_geometry, 58);
    // With copies shown the saved bonds stay as they were.
    LEG1.count = 99;
    ATOMI.n1 = 7;
    picks({at(1), at(2)});
    ADDDELBONDS(631, 6);
    EXPECT_EQ(LEG1.count, 99);
}

}  // namespace
}  // namespace zanek::test
