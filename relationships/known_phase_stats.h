// Statistics of phase relations against known phases (test structures):
// counts of relations and of correct ones under cumulative |G| limits, by
// class and sign of the reliability, and the distribution of |G|. The
// tables are the records TST, NCTST, TST1 and NCTST1.
#pragma once

namespace zanek {

// Clearing: set the limits and clear the counts.
void CLRT();    // TST: 26 limits, centrosymmetric groups
void NCLRT();   // NCTST: 15 limits, other groups
void CLRT1();   // TST1: 19 limits
void NCLRT1();  // NCTST1: 19 limits

// Entries of one relation of class c (1..11) with reliability g:
// gc = g cos(phi); cp = cos(phi); p = phi folded into 0..180 degrees;
// x = the expected cosine.
void SCTST(float g, float gc, int c);
void NCTET(float g, float cp, float p, int c);
void SCTST1(float g, float gc);
void NCTET1(float g, float x, float cp);

// Printing: class 1 of TST / NCTST, and the distributions. NSTST turns the
// correct counts and phase sums of class 1 into percentages and means in
// place. The distributions print percentages only with known phases
// (UREQ word 5).
void STST();
void NSTST();
void STST1();
void NSTST1();

namespace stats {
// Word numbers of the tables (class c, limit l, sign s = 1 for G >= 0,
// 2 for G < 0). Word 1 of each table holds its number of limits, limit l
// (REAL) follows at word 1 + l.
constexpr int kLimitCount = 1;
constexpr int limit(int l) { return 1 + l; }
constexpr int tst_count(int c, int l, int s) { return 28 + (c - 1) + 11 * (l - 1) + 286 * (s - 1); }
constexpr int tst_correct(int c, int l, int s) { return 886 + (c - 1) + 11 * (l - 1) + 286 * (s - 1); }
constexpr int nctst_count(int c, int l, int s) { return 17 + (c - 1) + 11 * (l - 1) + 165 * (s - 1); }
constexpr int nctst_correct(int c, int l, int s) { return 512 + (c - 1) + 11 * (l - 1) + 165 * (s - 1); }
constexpr int nctst_phase(int c, int l, int s) { return 1007 + (c - 1) + 11 * (l - 1) + 165 * (s - 1); }
constexpr int kDistLimits = 19;
constexpr int dist_limit(int l) { return 1 + l; }
constexpr int dist_count(int l) { return 20 + l; }
constexpr int dist_correct(int l) { return 39 + l; }
}  // namespace stats

}  // namespace zanek
