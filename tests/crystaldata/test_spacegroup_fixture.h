// Reader of the space-group fixture (fixtures/spacegroups.txt, written once
// with gemmi by fixtures/make_spacegroups.py) and helpers shared by the
// symmetry tests.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace zanek::test {

struct FixtureOp {
    int R[3][3];
    int t[3];  // 1/24
};

struct FixtureReflection {
    int h[3];
    int absent;
    int std[3];
    int shift, sign, code;
};

struct FixtureGroup {
    int number = 0;
    std::string symbol;  // as typed for the program (lower case)
    std::string reference_name;
    bool standard = false;
    std::vector<FixtureOp> ops;
    std::vector<std::array<int, 3>> centring;
    std::vector<FixtureReflection> reflections;
};

const std::vector<FixtureGroup>& fixture_groups();

// Sends the listing to a fresh file; listing_text() returns what was written.
void capture_listing(const std::string& name);
std::string listing_text();

// Cell and limits for the reflection routines: a small cubic-like metric
// (every sample reflection lies within rhomax) and empty maxima.
void set_small_metric();

// Analyses the symbol as %data does (condense, check, store, INSYM).
// Returns the ierr of ONEBL, or of INSYM when the symbol passed.
int analyse(const std::string& symbol, int shiftflag = 0, const int shift[3] = nullptr);

}  // namespace zanek::test
