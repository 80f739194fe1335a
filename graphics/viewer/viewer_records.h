// Records of the molecule viewer: the viewer atom table ATOMI, the view and
// bond record CRT, the symmetry-growth record GENERAC, the saved bond list
// LEG1 and the work record WORK (orthogonalisation matrix and principal
// directions of the model). They live in memory only, from one viewer call
// to the next; the model reaches the structure file through list 15.
// Arrays are indexed by entry, atom or bond number from 1 (element 0 is
// not used), as the word layouts number them.
#pragma once

#include <array>
#include <string>

namespace zanek {

namespace viewer {
constexpr int kMaxEntries = 800;  // entries of the viewer atom table
constexpr int kMaxBonds = 800;    // capacity C of the bond table
constexpr int kMaxAxes = 10;      // axes of the axis table
// Display radius: >= 0 shown; -10 <= r < 0 hidden; r < -10 deleted.
constexpr float kDeletedBelow = -10.0f;
}  // namespace viewer

// ATOMI: entries 1..n1 are independent (atom-list atoms, then the symmetry
// copies while they are shown), n1+1..n1+n2 generated (cell corners and
// cell-edge points).
struct AtomiRecord {
    std::array<std::array<float, 3>, viewer::kMaxEntries + 1> r{};  // view coordinates (A), words 3i-2..3i
    int n1 = 0;                                                     // word 2401
    std::array<float, viewer::kMaxEntries + 1> mark{};              // processed mark of the ball styles
    std::array<int, viewer::kMaxEntries + 1> colour{};              // palette index 0-7
    std::array<int, viewer::kMaxEntries + 1> order{};               // drawing order: entry drawn at place i
    int n2 = 0;                                                     // word 4802
    std::array<float, viewer::kMaxEntries + 1> bond_radius{};       // largest bonding distance (A)
    std::array<std::string, viewer::kMaxEntries + 1> label;         // 5 characters
    std::array<float, viewer::kMaxEntries + 1> radius{};            // display radius (A), signed as above
    std::array<int, viewer::kMaxEntries + 1> px{}, py{}, pr{};      // pixel x, y and radius
    std::array<int, viewer::kMaxEntries + 1> atom{};                // atom-list atom the entry shows
    AtomiRecord() { label.fill("     "); }
    int count() const { return n1 + n2; }
    bool shown(int i) const { return radius[i] >= 0.0f; }
    bool deleted(int i) const { return radius[i] < viewer::kDeletedBelow; }
};
inline AtomiRecord ATOMI;

// CRT: the view state and the bond table.
struct CrtRecord {
    // View box (words 757-760): xmin, ymin, xmax, ymax of the shown atoms.
    float box[4] = {99999.0f, 99999.0f, -99999.0f, -99999.0f};
    // View window (words 772, 773, 761, 762): xmin, ymin, xmax, ymax.
    float win[4] = {0, 0, 0, 0};
    float per_pixel_x = 0, per_pixel_y = 0;  // words 763, 764
    float frame_w = 0, frame_h = 0;          // words 765, 766
    int frame[4] = {0, 0, 0, 0};             // words 767-770: 0, 0, W, H
    float pi = 3.1415927f;                   // word 771
    int bond_outline = 2;                    // word 774: outline colour of the bond bars
    int reserve = 0;                         // word 775: cell-edge bonds at the top of the table
    int capacity = viewer::kMaxBonds;        // word 776
    int nbonds = 0;                          // word 777
    int style = 2;                           // word 778: plot style in use
    float angle = 0;                         // word 779: pending rotation (degrees)
    int axis_code = 0;                       // word 780: 0 none, 1 x, 2 y, 3 z, 4 from the axis table
    int axis_index = 1;                      // word 781
    std::array<std::array<float, 3>, viewer::kMaxAxes + 1> axis{};  // words 783-812
    std::array<int, viewer::kMaxBonds + 1> bond_a{}, bond_b{};      // words 812+k, 1612+k
    float unit[3] = {0, 0, 0};               // words 2413-2415: last unit vector of NORMVETT
};
inline CrtRecord CRT;

// GENERAC: the symmetry growth.
struct GeneracRecord {
    float upper[3] = {0, 0, 0}, lower[3] = {0, 0, 0};  // growth box along a, b, c (fractional)
    std::array<std::array<float, 9>, 48> rot{};         // operator rotations by columns
    std::array<std::array<float, 3>, 48> trans{};       // their translations
    std::array<std::array<float, 3>, 3> centring{};     // up to three centring vectors
    std::array<std::array<float, 3>, 3> cell{};         // the three cell translations
    int nop = 0;                                        // word 652
    int n1_kept = 0;                                    // word 653: N1 of the model before growth
    char lattice = 'p';                                 // word 654
};
inline GeneracRecord GENERAC;

// LEG1: the bond table as built from the atom list.
struct Leg1Record {
    std::array<int, viewer::kMaxBonds + 1> a{}, b{};
    int count = 0;
};
inline Leg1Record LEG1;

// WORK: the orthogonalisation matrix M (words 1-9, by columns), the
// eigenvalues of the scatter matrix ascending (10-12), their unit
// eigenvectors (13-15 the plane normal, 16-18, 19-21) and the scatter
// matrix (22-30, by columns).
struct WorkRecord {
    float m[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float eig[3] = {0, 0, 0};
    float vec[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    float s[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
};
inline WorkRecord WORK;

// Sets the viewer records to their values at load (start of a run, tests).
void reset_viewer_records();

}  // namespace zanek
