// Questions asked of every reflection: is it systematically absent, which
// symmetry equivalent is its standard representative (the one with the
// largest packed index), with which phase shift and phase restriction,
// and what is its sin(theta)/lambda. After the input, the index box is
// walked to find (and, on request, add) the reflections the data lack.
//
// Phase convention: F(h) = sum f exp(+2 pi i h.(R x + t)), so for an
// operator (R, t) the reflection h R has phase phi(h) - 360 h.t.
#pragma once

namespace zanek {

// Packed index h*2^18 + (k+256)*2^9 + (l+256) of a reflection whose first
// non-zero index is positive; 0 0 0 packs to 131328.
constexpr int kPackedZero = 131328;
inline int packed_index(int h, int k, int l) { return h * 262144 + (k + 256) * 512 + (l + 256); }

// Phase restriction codes: 1 general; 2..13 the phase is 15(r-1) or
// 15(r-1)+180 degrees, 13 standing for 0/180.
constexpr int kPhaseGeneral = 1;
constexpr int kPhaseCentric = 13;

// sqrt(G1 h^2 + G2 k^2 + G3 l^2 + G4 hk + G5 hl + G6 kl); with RC words 1-6
// this is sin(theta)/lambda.
float RHOF(const float* G, int h, int k, int l);

// The stored operators k >= 2 of SYM with a translation (any component of
// magnitude above 0.00001); returns their number, numbers in tlist[0..].
int translated_operators(int tlist[24]);

// absent := 1 when h k l is systematically absent (0 0 0 too), else 0.
// lm1: lattice code (SYM word 221) minus 1; nt, tlist: translated operators.
void EXTIN(int& absent, int h, int k, int l, int lm1, int nt, const int* tlist);

// Standard equivalent of h k l (replaced in place), the phase shift in
// degrees and sign that carry a phase of the given reflection to it,
// phi' = (phi + shift) * sign, and the phase restriction code of the
// standard reflection. mode 1 also raises RC word 18 and UREQ words 1-3 to
// s^2 and the largest |indices| of all equivalents; otherwise same := 1
// when h k l already was its standard equivalent. Above rhomax (RC word 23),
// or with an index beyond +-255, only sign := 1 and s2 are meaningful:
// indices unchanged, shift 0, code 1, same 0.
void GENEQ(int mode, int& h, int& k, int& l, int& shift, int& code, int& sign, int& same, float& s2);

// Index box searched for missing reflections.
void INDMM(int& hmin, int& hmax, int& kmin, int& kmax, int& lmin, int& lmax);

// What the search for missing reflections needs from the reflection input:
// the presence table over the super-index and the scratch file of
// reflection records.
class MissingReflections {
public:
    virtual ~MissingReflections() = default;
    // Presence table word of super-index s > 0: 0 not seen, 1 present,
    // -10 generated as missing.
    virtual int presence(int s) = 0;
    virtual void mark_generated(int s) = 0;
    // Appends the record h k l, Fo 0.0, sigma -1.0, phase word = code
    // (called only when generating; the caller's block handling continues
    // a partly filled last block and writes every full one).
    virtual void append(int h, int k, int l, int code) = 0;
    // After the last append: write the last partly filled block.
    virtual void finish() = 0;
};

// Counts, or with GENOB word 1 >= 0 (jobcontrol/records/genob.h) generates, the reflections of the
// index box that are neither present nor absent nor beyond the largest s^2
// of the input. strides: (2kmax+1)(2lmax+1) and 2lmax+1. Each generated
// reflection adds 1 to RC word 16. Prints the count when it is not 0.
void UNOBS(const int strides[2], int lm1, int nt, const int* tlist, MissingReflections& table);

// The two phases a restriction code allows, as the listings print them
// (9 characters; blank for a code no reflection carries).
const char* restriction_text(int code);

}  // namespace zanek
