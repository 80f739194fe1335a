// The cross-vector index of the quartet pass: for any index triple, one
// look-up in the super-index table isr tells whether the reflection is a
// strong or a weak reflection of the invariant reflection table, an ordinary
// reflection of list 7 with its E, a reflection the space group forbids
// (extinct), a reflection lying in a symmetry zone (special), or one the
// data do not hold. RECIP fills the table and the symmetry images of the
// strong reflections; GEEST derives the zones and extinction conditions of
// every operator from its matrix and translation.
#pragma once

#include <cstdint>

namespace zanek {

// --- The quartet coding of isr ---------------------------------------------
namespace qcode {
constexpr int32_t kUnit = 1 << 28;       // 2^28: the class field
constexpr int32_t kMark = 1 << 27;       // 2^27: the special mark
constexpr int32_t kOrdinal = 32768;      // ordinal field of an ordinary entry
constexpr int kMaxOrdinal = 32767;       // list-7 records entered at most
constexpr int32_t kExtinct = -4 * kUnit;
constexpr int32_t kSpecialAbsent = -5 * kUnit;

constexpr int32_t strong(int row) { return -(kUnit + row); }
constexpr int32_t weak(int row) { return -(2 * kUnit + row); }
constexpr int32_t weak_special(int row) { return -(2 * kUnit + kMark + row); }
// e100 = trunc(100 E + 0.5), n the ordinal in list 7.
constexpr int32_t ordinary(int e100, int n) { return kOrdinal * e100 + n; }
constexpr int32_t special_ordinary(int32_t ordinary_entry) { return -(ordinary_entry + 3 * kUnit + kMark); }

// The special mark: set on the special weak and special ordinary codes only.
constexpr bool special_mark(int32_t entry) { return entry < 0 && (entry / kMark) % 2 != 0; }

enum class Kind { Absent, Strong, Weak, Ordinary, SpecialOrdinary, Extinct, SpecialAbsent, Unknown };

struct Decoded {
    Kind kind = Kind::Absent;
    int ref = 0;       // table row (strong, weak) or list-7 ordinal (ordinary)
    int e100 = 0;      // 100 E of an ordinary or special ordinary reflection
    bool special = false;
};
Decoded decode(int32_t entry);

// The class of h k l: Absent when it lies outside the index box or the
// table (super-index 0, beyond PARAM word 3, |k| or |l| beyond UREQ words
// 2, 3) or has no entry.
Decoded classify(int h, int k, int l);
}  // namespace qcode

// Quartet image word of a (strong row, operator) pair: the compact index
// of h R times 32 plus the phase shift s of the image in 15-degree steps.
namespace qimage {
inline int32_t word(int32_t compact, int shift) { return compact * 32 + shift; }
// s = (anint(24 h.t) + 480) mod 24 for the untransformed h.
int shift_steps(const int h[3], int op);
}  // namespace qimage

// How an operator k (with sign g = +1 for variant 1, -1 for variant 2,
// the operator combined with the centre) acts on reciprocal space: the axis
// classes of M = I - g R_k, the class code that selects the zone routine
// (1 axis, 2 plane perpendicular to a cell axis, 6 and 7 face-diagonal axis
// and plane, others nothing), and the pair sign of a face diagonal.
struct OperatorClass {
    int c[3] = {0, 0, 0};
    int code = 0;
    int pair_sign = 1;
};
OperatorClass classify_operator(int k, int variant);

// Translation order of one component: 0 below 0.001, else the n with
// t = d/n for the smallest d = 1..8 (1/2 -> 2, 2/3 -> 3, 3/4 -> 4, 5/6 -> 6).
int translation_order(float t);

// Builds the symmetry image table and isr in the quartet coding, then the
// zones (GEEST) when the group has more than one operator.
void RECIP();
// Classifies every operator and marks its zones and extinctions.
void GEEST();
// Zone routines for operator K under sign variant V (1, 2); they read the
// classes and translation orders GEEST holds for the operator in hand.
void SCREW(int v, int k);
void GLIDE(int v, int k);
void TETRA(int v, int k, const float t[3], int pair_sign);
// Marks one reflection of a zone.
void SPECQ(const int h[3]);

}  // namespace zanek
