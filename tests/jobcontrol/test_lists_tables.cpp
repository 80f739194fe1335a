// The generic table lists, the phase-set list (16) and the atom lists
// (15, 30): stored, reloaded in a fresh run and compared; header bytes
// read back from the file; damaged lists refused.
#include <limits>
#include <vector>

#include "jobcontrol/lists/list15.h"
#include "jobcontrol/lists/list16.h"
#include "jobcontrol/lists/listxx.h"
#include "tests/jobcontrol/lists_fixture.h"

using namespace zanek;
using namespace zanek::listtest;

// ======================================================================
// Generic table lists
// ======================================================================

class TableList : public ListRun {
protected:
    // COUNT items at stride S, each word tagged with its item and position.
    static std::vector<Word> items(int count, int s) {
        std::vector<Word> v(static_cast<size_t>(count) * s);
        for (int k = 0; k < count; ++k)
            for (int j = 0; j < s; ++j) v[k * s + j] = wi(1000 * (k + 1) + j);
        return v;
    }
};

TEST_F(TableList, EachTypeKeepsTheFirstWWordsOfEveryStride) {
    struct Case { int type, w, s; };
    const Case cases[] = {{8, 3, 3},  {9, 2, 3},  {10, 3, 3}, {11, 3, 3}, {12, 3, 3},
                          {20, 3, 7}, {21, 3, 7}, {24, 3, 3}, {26, 1, 1}, {27, 3, 3}};
    const int count = 400;  // several blocks
    for (const Case& c : cases) FRMXX(0, c.type, count, c.type, -2, 3, 40000, items(count, c.s).data());
    fresh_run();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const Row row = file_row(path, c.type);
        EXPECT_EQ(row, (Row{c.type, 1, row.first, row.first + (count + 1) * c.w + 18, 19, (count + 1) * c.w + 19}));
        EXPECT_EQ(file_real(path, row.first + 5), static_cast<float>(c.w));
        EXPECT_EQ(file_real(path, row.first + 6), static_cast<float>(c.s));
        EXPECT_EQ(file_real(path, row.first + 7), 19.0f);
        EXPECT_EQ(file_real(path, row.first + 8), static_cast<float>(count));
        EXPECT_EQ(file_real(path, row.first + 12), 40000.0f);
        // Items lie one after the other from word 20.
        EXPECT_EQ(file_int(path, row.first + 19 + c.w), 2000);

        std::vector<Word> got(static_cast<size_t>(count) * c.s, wi(-5));
        int n = -1, i1 = 0, i2 = 0, i3 = 0, i4 = 0;
        SFLXX(0, c.type, n, i1, i2, i3, i4, got.data(), static_cast<int>(got.size()));
        EXPECT_EQ(n, count);
        EXPECT_EQ(i1, c.type);
        EXPECT_EQ(i2, -2);
        EXPECT_EQ(i3, 3);
        EXPECT_EQ(i4, 40000);
        for (int k = 0; k < count; ++k)
            for (int j = 0; j < c.s; ++j)
                ASSERT_EQ(got[k * c.s + j].i, j < c.w ? 1000 * (k + 1) + j : -5) << k << "," << j;
    }
}

TEST_F(TableList, EmptyTableAndHeaderOnlyRead) {
    FRMXX(0, 26, 0, 1, 2, 3, 4, nullptr);
    EXPECT_EQ(file_row(path, 26).length, 1 + 19);
    std::vector<Word> got(3, wi(9));
    int n = -1, a, b, c, d;
    SFLXX(0, 26, n, a, b, c, d, got.data(), 3);
    EXPECT_EQ(n, 0);
    FRMXX(0, 8, 5, 7, 0, 0, 0, items(5, 3).data());
    SFLXX(-1, 8, n, a, b, c, d, got.data(), 0);  // header only: no room needed
    EXPECT_EQ(n, 5);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(got[0].i, 9);
    // The phasing routines pass one variable as count and first integer.
    int same = 0;
    SFLXX(-1, 8, same, same, b, c, d, got.data(), 0);
    EXPECT_EQ(same, 7);
}

TEST_F(TableList, RewritingReusesOrMovesTheSpace) {
    FRMXX(0, 8, 100, 0, 0, 0, 0, items(100, 3).data());
    const Row r1 = file_row(path, 8);
    FRMXX(0, 8, 50, 0, 0, 0, 0, items(50, 3).data());
    EXPECT_EQ(file_row(path, 8), (Row{8, 2, r1.first, r1.first + 51 * 3 + 18, 19, 51 * 3 + 19}));
    const int next = file_next_free(path);
    FRMXX(0, 8, 200, 0, 0, 0, 0, items(200, 3).data());
    EXPECT_EQ(file_row(path, 8).first, next);
    EXPECT_EQ(file_row(path, 8).serial, 3);
}

TEST_F(TableList, OnlyTableTypesAreAccepted) {
    for (int type : {1, 7, 13, 16, 25, 40}) {
        EXPECT_EQ(stop_code([&] { FRMXX(0, type, 0, 0, 0, 0, 0, nullptr); }), 1111) << type;
        EXPECT_EQ(file_row(path, type < 40 ? type : 39).present, 0);
    }
    EXPECT_TRUE(listing_has("     13 is not a valid list type"));
}

TEST_F(TableList, CountsThatDoNotFitAreCorrupted) {
    FRMXX(0, 20, 10, 0, 0, 0, 0, items(10, 7).data());
    std::vector<Word> got(70);
    int n, a, b, c, d;
    // The caller's array holds fewer items than stored.
    EXPECT_EQ(stop_code([&] { SFLXX(0, 20, n, a, b, c, d, got.data(), 9 * 7 + 2); }), 1111);
    SFLXX(0, 20, n, a, b, c, d, got.data(), 9 * 7 + 3);  // the last stride need not be whole
    EXPECT_EQ(n, 10);
    // A damaged count, width or stride in the file.
    const int f = first_of(20);
    struct Case { int word; float value; };
    const Case cases[] = {{9, 11.0f}, {9, -1.0f}, {9, 3.0e9f}, {6, 0.0f}, {7, 2.0f}, {8, 18.0f}};
    for (const Case& k : cases) {
        const float old = file_real(path, f + k.word - 1);
        patch_real(path, f + k.word - 1, k.value);
        fresh_run();
        EXPECT_EQ(stop_code([&] { SFLXX(0, 20, n, a, b, c, d, got.data(), 70); }), 1111) << k.word << " " << k.value;
        patch_real(path, f + k.word - 1, old);
    }
    EXPECT_TRUE(listing_has(" requested list  20 has been corrupted"));
}

// ======================================================================
// Phase-set list
// ======================================================================

class PhaseSetList : public ListRun {
protected:
    static constexpr int kNref = 300;
    static void fom_of(int set, Word fom[11]) {
        for (int j = 0; j < 11; ++j) fom[j] = j == 9 ? wi(set) : wr(set + 0.01f * j);
    }
};

TEST_F(PhaseSetList, SetsRoundTripThroughAFreshRun) {
    PARAM.I(param::kNref) = kNref;
    NFRM16(10);
    const int h = 15 + 20, l = 11 + kNref;
    const Row row = file_row(path, 16);
    EXPECT_EQ(row, (Row{16, 1, row.first, row.first + h + 10 * l - 1, h, h + 10 * l}));
    for (int set : {3, 1, 10}) {
        Word fom[11];
        fom_of(set, fom);
        std::vector<float> w(kNref);
        std::vector<int32_t> phi(kNref);
        for (int j = 0; j < kNref; ++j) {
            w[j] = 0.001f * ((j * set) % 1000);
            phi[j] = (j * 7 + set) % 360;
        }
        SNW16(set, fom, w.data(), phi.data());
    }
    const float a1[10] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0.5f};
    const int32_t a2[10] = {3, 1, 10, 2, 4, 5, 6, 7, 8, 9};
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    SUP16(a1, a2, 10);

    fresh_run();
    float g1[10] = {};
    int32_t g2[10] = {};
    int nsets = -1;
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    SFL16(g1, g2, nsets, 10);
    EXPECT_EQ(nsets, 10);
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(g1[k], a1[k]);
        EXPECT_EQ(g2[k], a2[k]);
    }
    for (int set : {10, 3, 1, 2}) {
        Word fom[11];
        std::vector<float> w(kNref, -1);
        std::vector<int32_t> phi(kNref, -1);
        SNR16(set, fom, w.data(), phi.data(), kNref);
        if (set == 2) {  // never written: zeros
            EXPECT_EQ(fom[0].i, 0);
            EXPECT_EQ(phi[5], 0);
            continue;
        }
        Word want[11];
        fom_of(set, want);
        for (int j = 0; j < 11; ++j) EXPECT_EQ(fom[j].i, want[j].i);
        for (int j = 0; j < kNref; ++j) {
            ASSERT_EQ(phi[j], (j * 7 + set) % 360);
            ASSERT_NEAR(w[j], 0.001f * ((j * set) % 1000), 1e-6);
        }
    }
}

TEST_F(PhaseSetList, WeightedPhaseWords) {
    struct Case { float w; int phi; int32_t word; float back_w; };
    const Case cases[] = {
        {1.25f, 180, 512000180, 1.0f},  // clipped to 1.0
        {0.0000004f, 77, 77, 0.0f},     // rounds to no weight
        {0.5f, 359, 500000 * 512 + 359, 0.5f},
        {0.0000005f, 0, 512, 0.000001f},  // half away from zero
    };
    for (const Case& c : cases) {
        float w = c.w;
        EXPECT_EQ(list16::pack_phase(w, c.phi), c.word) << c.w;
        float bw;
        int bp;
        list16::unpack_phase(c.word, bw, bp);
        EXPECT_EQ(bp, c.phi);
        EXPECT_FLOAT_EQ(bw, c.back_w);
    }
    // SNW16 clips the caller's weight itself.
    PARAM.I(param::kNref) = 2;
    NFRM16(1);
    Word fom[11] = {};
    float w[2] = {1.25f, 0.5f};
    int32_t phi[2] = {180, 90};
    SNW16(1, fom, w, phi);
    EXPECT_EQ(w[0], 1.0f);
    EXPECT_EQ(file_int(path, first_of(16) + 17 + 11), 512000180);
}

TEST_F(PhaseSetList, LoweringTheSetCountMovesTheSecondArray) {
    PARAM.I(param::kNref) = 4;
    NFRM16(10);
    const float a1[3] = {3, 2, 1};
    const int32_t a2[3] = {7, 8, 9};
    XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
    SUP16(a1, a2, 3);
    const int f = first_of(16);
    EXPECT_EQ(file_real(path, f + 10), 3.0f);   // word 11
    EXPECT_EQ(file_real(path, f + 15), 3.0f);   // A1 from word 16
    EXPECT_EQ(file_int(path, f + 18), 7);       // A2 from word 19
    EXPECT_EQ(file_real(path, f + 9), 35.0f);   // H unchanged
    EXPECT_EQ(file_row(path, 16).part, 35);
    // More entries than created keep the created count.
    PARAM.I(param::kNref) = 4;
    NFRM16(2);
    const float b1[5] = {5, 4, 3, 2, 1};
    const int32_t b2[5] = {1, 2, 3, 4, 5};
    SUP16(b1, b2, 5);
    float g1[5];
    int32_t g2[5];
    int n;
    YSFL16(g1, g2, n, 5);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(g1[1], 4.0f);
    EXPECT_EQ(g2[1], 2);
}

TEST_F(PhaseSetList, NoSetsAndSetsOutsideTheList) {
    PARAM.I(param::kNref) = 5;
    NFRM16(0);
    EXPECT_EQ(file_row(path, 16).length, 15);
    Word fom[11] = {};
    float w[5] = {};
    int32_t phi[5] = {};
    EXPECT_EQ(stop_code([&] { SNW16(1, fom, w, phi); }), 1234);
    NFRM16(3);
    EXPECT_EQ(stop_code([&] { SNW16(4, fom, w, phi); }), 1234);
    EXPECT_EQ(stop_code([&] { SNR16(0, fom, w, phi, 5); }), 1234);
    EXPECT_EQ(stop_code([&] { SNR16(1, fom, w, phi, 4); }), 1111);  // arrays too short for NREF
}

TEST_F(PhaseSetList, DamagedHeaderIsCorrupted) {
    PARAM.I(param::kNref) = 5;
    NFRM16(4);
    const int f = first_of(16);
    struct Case { int word; float value; };
    const Case cases[] = {{11, 20.0f}, {11, -1.0f}, {6, 12.0f}, {7, 2.0f}, {8, 1.0e7f}, {10, 30.0f}};
    float a1[4];
    int32_t a2[4];
    int n;
    for (const Case& c : cases) {
        const float old = file_real(path, f + c.word - 1);
        patch_real(path, f + c.word - 1, c.value);
        fresh_run();
        EXPECT_EQ(stop_code([&] { YSFL16(a1, a2, n, 4); }), 1111) << c.word << " " << c.value;
        patch_real(path, f + c.word - 1, old);
    }
    // An array shorter than the stored count.
    fresh_run();
    EXPECT_EQ(stop_code([&] { YSFL16(a1, a2, n, 3); }), 1111);
}

// ======================================================================
// Atom lists
// ======================================================================

class AtomList : public ListRun {
protected:
    // Atoms with label codes, coordinates and B values, and recycling state.
    static float coord_of(int i, int j) { return 0.01f * i + 0.1f * j; }
    static float b_of(int i) { return 2.0f + 0.1f * i; }
    static void fill_atoms(int n) {
        const int labels[] = {105, -100, 0, -105, 201, 399};
        for (int i = 1; i <= n; ++i) {
            atom_label(i) = labels[(i - 1) % 6];
            for (int j = 1; j <= 5; ++j) atom_coord(i, j) = coord_of(i, j);
            atom_b(i) = b_of(i);
        }
        EMAP.R(emap::kDefaultB) = 3.5f;
        EMAP.R(emap::kInvScale) = 0.75f;
        EMAP.R(emap::kLastR) = 0.21f;
        EMAP.I(emap::kCycles) = 4;
        EMAP.I(emap::kNextAction) = 2;
    }
};

TEST_F(AtomList, AtomsBondsAndStateRoundTrip) {
    fill_atoms(30);
    bond_count() = 3.0f;
    for (int k = 1; k <= 6; ++k) bond_atom(k) = static_cast<float>(k + 1);
    FRM15(30, 7, 1);
    EXPECT_EQ(file_row(path, 15).length, 5000);
    const int f = first_of(15);
    EXPECT_EQ(file_real(path, f + 5), 15.0f);
    EXPECT_EQ(file_real(path, f + 6), 9.0f);
    EXPECT_EQ(file_real(path, f + 7), 30.0f);
    EXPECT_EQ(file_real(path, f + 8), 7.0f);
    EXPECT_EQ(file_real(path, f + 9), 1.0f);
    EXPECT_EQ(file_int(path, f + 11), 4);      // cycles, an INTEGER copied as it is
    // Atom 4 (label -105): species 1, position 4, number 0.
    EXPECT_EQ(file_int(path, f + 15 + 27), 1);
    EXPECT_EQ(file_int(path, f + 15 + 28), 4);
    EXPECT_EQ(file_int(path, f + 15 + 29), 0);
    EXPECT_EQ(file_real(path, f + 15 + 9 * 30), 3.0f);  // bond count after the records

    const auto emap_before = EMAP;
    fresh_run();
    int n = -1, start = 1, set = -1, bond = -1;
    SFL15(n, start, set, bond);
    EXPECT_EQ(n, 30);
    EXPECT_EQ(set, 7);
    EXPECT_EQ(bond, 1);
    const int want_labels[] = {105, -100, 0, -100, 201, 399};
    for (int i = 1; i <= 30; ++i) {
        EXPECT_EQ(atom_label(i), want_labels[(i - 1) % 6]) << i;
        for (int j = 1; j <= 5; ++j) EXPECT_EQ(atom_coord(i, j), coord_of(i, j));
        EXPECT_EQ(atom_b(i), b_of(i));
    }
    for (int w : {emap::kDefaultB, emap::kInvScale, emap::kLastR, emap::kCycles, emap::kNextAction})
        EXPECT_EQ(EMAP.I(w), emap_before.I(w)) << w;
    EXPECT_EQ(bond_count(), 3.0f);
    EXPECT_EQ(bond_atom(3, 2), 7.0f);
    EXPECT_EQ(bond_atom(4, 1), 0.0f);  // nothing after the three bonds
}

TEST_F(AtomList, StartSlotIsUsedOrReplacedByOne) {
    fill_atoms(30);
    FRM15(30, 1, 0);
    struct Case { int start, used; };
    for (const Case& c : {Case{150, 150}, Case{0, 1}, Case{201, 1}, Case{171, 171}}) {
        reset_atom_records();
        int n, start = c.start, set, bond;
        SFL15(n, start, set, bond);
        EXPECT_EQ(start, c.used);
        EXPECT_EQ(atom_label(c.used), 105);
        EXPECT_EQ(atom_label(c.used + 29), 399);
        if (c.used > 1) { EXPECT_EQ(atom_label(c.used - 1), 0); }
    }
    // Thirty atoms from slot 172 would pass slot 200.
    int n, start = 172, set, bond;
    EXPECT_EQ(stop_code([&] { SFL15(n, start, set, bond); }), 1111);
}

TEST_F(AtomList, EmptyListAndBondCountsMinusOneAndZero) {
    fill_atoms(0);
    FRM15(0, 0, 0);
    atom_label(1) = 77;
    EMAP.R(emap::kDefaultB) = 0.0f;
    int n = -1, start = 5, set = -1, bond = -1;
    SFL15(n, start, set, bond);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(start, 5);
    EXPECT_EQ(atom_label(1), 77);
    EXPECT_EQ(EMAP.R(emap::kDefaultB), 3.5f);

    fill_atoms(2);
    bond_count() = -1.0f;
    bond_atom(1, 1) = 55.0f;
    FRM15(2, 1, 1);
    EXPECT_EQ(file_real(path, first_of(15) + 15 + 18), -1.0f);
    bond_count() = 8.0f;  // a table left in TEMP by other work
    SFL15(n, start, set, bond);
    EXPECT_EQ(bond_count(), -1.0f);  // the model's bonds are to be found from distances
    EXPECT_EQ(bond_atom(1, 1), 55.0f);

    bond_count() = 0.0f;
    FRM15(2, 1, 1);
    bond_count() = 8.0f;
    SFL15(n, start, set, bond);
    EXPECT_EQ(bond_count(), 0.0f);
    EXPECT_EQ(bond_atom(1, 1), 55.0f);
}

TEST_F(AtomList, CopiesToListThirtyAndBack) {
    fill_atoms(12);
    FRM15(12, 3, 0);
    CP1530();
    EXPECT_EQ(file_row(path, 30).serial, 1);
    EXPECT_EQ(file_real(path, first_of(30) + 1), 30.0f);
    fresh_run();
    int n = -1, start = 1, set = -1, bond = -1;
    SFL30(n, start, set, bond);
    EXPECT_EQ(n, 12);
    EXPECT_EQ(set, 3);
    EXPECT_EQ(old_atom_label(1), 105);
    EXPECT_EQ(old_atom_label(4), -100);
    EXPECT_NEAR(old_atom_coord(12, 5), 0.62f, 1e-6);
    EXPECT_EQ(EMAP.R(emap::kDefaultB), 0.0f);  // not touched by list 30

    fill_atoms(5);
    FRM15(5, 9, 0);  // list 15 is now different
    CP3015();
    const Row r15 = file_row(path, 15);
    EXPECT_EQ(r15.serial, 3);
    EXPECT_EQ(file_real(path, r15.first + 1), 15.0f);
    SFL15(n, start, set, bond);
    EXPECT_EQ(n, 12);
    EXPECT_EQ(set, 3);
}

TEST_F(AtomList, CountsThatDoNotFitAreCorrupted) {
    fill_atoms(10);
    bond_count() = 2.0f;
    FRM15(10, 1, 1);
    const int f = first_of(15);
    struct Case { int addr; float value; };
    const Case cases[] = {{f + 7, 201.0f}, {f + 7, -1.0f}, {f + 7, 1.0e9f}, {f + 15 + 90, 2500.0f}};
    for (const Case& c : cases) {
        const float old = file_real(path, c.addr);
        patch_real(path, c.addr, c.value);
        fresh_run();
        int n, start = 1, set, bond;
        EXPECT_EQ(stop_code([&] { SFL15(n, start, set, bond); }), 1111) << c.value;
        EXPECT_EQ(atom_label(1), 0);  // nothing loaded
        patch_real(path, c.addr, old);
    }
    EXPECT_TRUE(listing_has(" requested list  15 has been corrupted"));
}

// An atom record whose label cannot be rebuilt as an INTEGER label code,
// or whose coordinates, height, occupancy or B are not numbers, is a
// damaged list: loading it (as list 15 or as its copy, list 30) stops
// before any atom is taken.
TEST_F(AtomList, AtomRecordsThatCannotBeLoadedAreCorrupted) {
    fill_atoms(6);
    FRM15(6, 1, 0);
    CP1530();
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    struct Case { int list, word; bool integer; int32_t i; float r; };
    const Case cases[] = {
        {15, 1, true, 2147483647, 0},  // species whose label code overflows
        {15, 1, true, -3, 0},          // negative species
        {15, 3, true, 100, 0},         // number within the species beyond 99
        {15, 3, true, -1, 0},
        {15, 4, false, 0, nan},        // x
        {15, 5, false, 0, inf},        // y
        {15, 8, false, 0, -inf},       // occupancy
        {15, 9, false, 0, nan},        // B
        {30, 1, true, 1199570944, 0},
        {30, 6, false, 0, nan},        // z
    };
    for (const Case& c : cases) {
        const int addr = first_of(c.list) + 15 + 9 * 3 + c.word - 1;  // atom 4
        const float old = file_real(path, addr);
        if (c.integer) patch_int(path, addr, c.i);
        else patch_real(path, addr, c.r);
        fresh_run();
        int n, start = 1, set, bond;
        EXPECT_EQ(stop_code([&] { c.list == 15 ? SFL15(n, start, set, bond) : SFL30(n, start, set, bond); }), 1111)
            << c.list << " word " << c.word;
        EXPECT_EQ(atom_label(1), 0);
        EXPECT_EQ(old_atom_label(1), 0);
        patch_real(path, addr, old);
    }
    EXPECT_TRUE(listing_has(" requested list  15 has been corrupted"));
    EXPECT_TRUE(listing_has(" requested list  30 has been corrupted"));
    // The file as written loads whole.
    fresh_run();
    int n, start = 1, set, bond;
    SFL15(n, start, set, bond);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(atom_label(4), -100);
}

TEST_F(AtomList, ModelsTooLargeForTheListAreRefused) {
    fill_atoms(200);
    bond_count() = 1592.0f;
    FRM15(200, 1, 1);  // exactly fills the 5000 words
    bond_count() = 1593.0f;
    EXPECT_EQ(stop_code([] { FRM15(200, 1, 1); }), 1234);
    EXPECT_EQ(stop_code([] { FRM15(201, 1, 0); }), 1234);
    EXPECT_EQ(file_row(path, 15).serial, 1);
}
