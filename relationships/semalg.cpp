// Seminvariance algebra: generalised inverses of I - R^T, classes of the
// matrices, inverses and the product table.
#include "relationships/semalg.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

namespace {

constexpr int kMaxMatrices = 48;

int print_level() { return UREQ.I(ureqw::kPrint); }
int order() { return SYM2.I(sym2::kOrder); }

void copy(const Mat3 a, Mat3 b) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) b[r][c] = a[r][c];
}
void identity(Mat3 m) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = r == c ? 1 : 0;
}
void multiply(const Mat3 a, const Mat3 b, Mat3 out) {
    Mat3 t;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            int s = 0;
            for (int k = 0; k < 3; ++k) s += a[r][k] * b[k][c];
            t[r][c] = s;
        }
    copy(t, out);
}
bool equal(const Mat3 a, const Mat3 b) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (a[r][c] != b[r][c]) return false;
    return true;
}
bool equals_erl(int k, const Mat3 m) {
    Mat3 r;
    erl_matrix(k, r);
    return equal(r, m);
}

// The elementary matrix of ROWOP (row) or COLOP (column).
void elementary(int P, int Q, int MULT, int MODE, bool column, Mat3 E) {
    if (MODE == 1) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) E[r][c] = 0;
        int third = 6 - P - Q;
        E[P - 1][Q - 1] = 1;
        E[Q - 1][P - 1] = 1;
        if (third >= 1 && third <= 3) E[third - 1][third - 1] = 1;
        return;
    }
    identity(E);
    if (column) E[Q - 1][P - 1] = MULT;
    else E[P - 1][Q - 1] = MULT;
}

void abelian_and_centric_notes() {
    if (print_level() < 3) return;
    if (ERL.I(erlw::kGenerators) == 1) lst_line(" this is an abelian space group      ");
    lst_line(SYM2.I(sym2::kCentric) == 1 ? " non-centrosimmetric space group" : " centrosimmetric space group");
    lst_line(" matrix # 1 has been eliminated being the unitary one");
}

}  // namespace

void erl_matrix(int k, Mat3 m) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) m[r][c] = erl_R(k, r + 1, c + 1);
}

void INV3(const Mat3 A, int& DET, Mat3 B) {
    Mat3 cof;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r][c] = A[r1][c1] * A[r2][c2] - A[r1][c2] * A[r2][c1];
        }
    DET = A[0][0] * cof[0][0] + A[0][1] * cof[0][1] + A[0][2] * cof[0][2];
    if (DET == 0) {
        for (int r = 0; r < 3; ++r)
            for (const std::string& line : fformat("(5X,3I8)", {A[r][0], A[r][1], A[r][2]}))
                std::printf("%s\n", line.c_str());
        for (int r = 0; r < 3; ++r)
            for (const std::string& line : fformat("(5X,3I8)", {cof[r][0], cof[r][1], cof[r][2]}))
                std::printf("%s\n", line.c_str());
        return;
    }
    // The adjugate is the transposed cofactor matrix.
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) B[r][c] = cof[c][r] / DET;
}

void INVS(int J, Mat3 M) {
    Mat3 a;
    erl_matrix(J, a);
    int det = 0;
    INV3(a, det, M);
    if (det == 0) {
        lst("(1X,'error computing invers no.',I2,' - det.=0  ')", {J});
        lst_line(" ****  programming  error  ****");
        lst_line("  zan ends in error");
        zstop(1234);
    }
}

void INVERS() {
    choi::inverse(1) = 1;
    const int n = std::min(order(), kMaxMatrices);
    for (int j = 2; j <= n; ++j) {
        Mat3 inv;
        INVS(j, inv);
        for (int m = 1; m <= n; ++m)
            if (equals_erl(m, inv)) {
                choi::inverse(j) = m;
                break;
            }
    }
}

void ROWOP(Mat3 W, int P, int Q, int MULT, Mat3 U, int MODE) {
    Mat3 e;
    elementary(P, Q, MULT, MODE, false, e);
    multiply(e, W, W);
    multiply(e, U, U);
}

void COLOP(Mat3 W, int P, int Q, int MULT, Mat3 V, int MODE) {
    Mat3 e;
    elementary(P, Q, MULT, MODE, true, e);
    multiply(W, e, W);
    multiply(V, e, V);
}

void G12SP(const Mat3 A, Mat3 X, int& Y) {
    Mat3 W, U, V;
    copy(A, W);
    identity(U);
    identity(V);
    for (int i = 1; i <= 3; ++i) {
        // Pivot: the non-zero element of smallest magnitude at or after (i, i).
        int best = 999, pr = 0, pc = 0;
        for (int r = i; r <= 3; ++r)
            for (int c = i; c <= 3; ++c) {
                int v = std::abs(W[r - 1][c - 1]);
                if (v != 0 && v < best) {
                    best = v;
                    pr = r;
                    pc = c;
                }
            }
        if (pr != 0) {
            if (pr > i) ROWOP(W, pr, i, 0, U, 1);
            if (pc > i) COLOP(W, pc, i, 0, V, 1);
        }
        const int d = W[i - 1][i - 1];
        if (d == 0) continue;
        for (int r = i + 1; r <= 3; ++r)
            if (W[r - 1][i - 1] != 0) ROWOP(W, r, i, -(W[r - 1][i - 1] / d), U, 2);
        for (int c = i + 1; c <= 3; ++c)
            if (W[i - 1][c - 1] != 0) COLOP(W, c, i, -(W[i - 1][c - 1] / d), V, 2);
    }
    if (W[2][2] != 0 && W[1][1] != 0 && W[2][2] % W[1][1] != 0) COLOP(W, 3, 3, W[1][1], V, 2);
    int d = 0;
    for (int j = 3; j >= 1; --j)
        if (W[j - 1][j - 1] != 0) {
            d = j;
            break;
        }
    if (d == 0) {
        Y = 0;
        return;
    }
    Y = W[d - 1][d - 1];
    Mat3 D = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    for (int j = 1; j < d; ++j) D[j - 1][j - 1] = W[j - 1][j - 1] != 0 ? Y / W[j - 1][j - 1] : 0;
    D[d - 1][d - 1] = 1;
    multiply(V, D, X);
    multiply(X, U, X);
}

void GENINV() {
    const int n = std::min(SYM2.I(sym2::kMatrices), kMaxMatrices);
    for (int k = 2; k <= n; ++k) {
        Mat3 R, A, X, Z;
        erl_matrix(k, R);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) A[r][c] = (r == c ? 1 : 0) - R[c][r];
        identity(X);
        int Y = 0;
        G12SP(A, X, Y);
        multiply(X, A, Z);
        for (int m = 1; m <= 9; ++m) {
            int r = (m - 1) % 3, c = (m - 1) / 3;
            inv::x(k, m) = X[r][c];
            inv::z(k, m) = Z[r][c];
        }
        inv::y(k) = Y;
    }
}

void PRODM(int A, int B, Mat3 X) {
    Mat3 ra, rb;
    erl_matrix(A, ra);
    erl_matrix(B, rb);
    multiply(X, ra, X);
    multiply(X, rb, X);
}

void PROD1(int I, int J, Mat3 OUT) {
    Mat3 ri, rj;
    erl_matrix(I, ri);
    erl_matrix(J, rj);
    multiply(ri, rj, OUT);
}

void MLTPLY(int N) {
    N = std::min(N, kMaxMatrices);
    for (int i = 1; i <= N; ++i)
        for (int j = 1; j <= N; ++j) {
            Mat3 p;
            PROD1(i, j, p);
            for (int m = 1; m <= N; ++m)
                if (equals_erl(m, p)) {
                    erl_P(i, j) = m;
                    break;
                }
        }
}

void CHOICE() {
    const int n = std::min(order(), kMaxMatrices);
    static int T[kMaxMatrices + 1][kMaxMatrices + 1];
    for (auto& row : T)
        for (int& v : row) v = 0;
    for (int w = choi::kMemberBase; w <= choi::kInverseBase; ++w) CHOI.I(w) = 0;
    int survivor[kMaxMatrices + 1] = {}, eligible[kMaxMatrices + 1] = {}, partner[kMaxMatrices + 1];
    for (int k = 0; k <= kMaxMatrices; ++k) partner[k] = -1;
    for (int k = 2; k <= n; ++k) survivor[k] = eligible[k] = k;
    int classes = 0, largest = 1;

    abelian_and_centric_notes();
    survivor[1] = -1;

    auto new_class_of_one = [&](int k) {
        if (classes >= choi::kMaxClasses) return;
        ++classes;
        choi::member(classes, 1) = k;
    };

    const int system = ERL.I(erlw::kSystem);
    if (system > 3 && ERL.I(erlw::kGenerators) == 1) {
        // A cyclic group above orthorhombic: one of each inverse pair.
        if (print_level() >= 3) lst("(1X,'space group above orthorombic')");
        for (int a = 2; a <= n; ++a) {
            if (survivor[a] <= 0) continue;
            Mat3 ra;
            erl_matrix(a, ra);
            for (int k = a + 1; k <= n; ++k) {
                if (survivor[k] <= 0) continue;
                Mat3 inv;
                INVS(k, inv);
                if (!equal(ra, inv)) continue;
                survivor[k] = 0;
                if (print_level() >= 3)
                    lst("(1X,'matrix # ',I2,' has been eliminated being the inverse of matrix # ',I2)", {k, a});
                break;
            }
        }
    }
    if (system > 3 && ERL.I(erlw::kGenerators) != 1) {
        if (SYM2.I(sym2::kCentric) == 2 && print_level() >= 3)
            lst("(1X,'matrix number ',I2,'  is equal to  -i   ')", {n / 2 + 1});
        // Inverse partners.
        for (int j = 2; j <= n; ++j) {
            Mat3 rj;
            erl_matrix(j, rj);
            for (int k = 2; k <= n; ++k) {
                if (k == j) continue;
                Mat3 inv;
                INVS(k, inv);
                if (!equal(rj, inv)) continue;
                partner[j] = k;
                if (print_level() >= 3)
                    lst("(1X,'matrix # ',I2,' has been eliminated being the inverse of matrix # ',I2)", {k, j});
                break;
            }
        }
        // Conjugates: T(b, c) = a when R(c) = R(b)^-1 R(a) R(b).
        for (int a = 2; a <= n; ++a)
            for (int b = 2; b <= n; ++b) {
                if (b == a) continue;
                Mat3 conj;
                INVS(b, conj);
                PRODM(a, b, conj);
                for (int c = 2; c <= n; ++c) {
                    if (c == a || c == b) continue;
                    if (!equals_erl(c, conj)) continue;
                    T[b][c] = a;
                    if (print_level() >= 3)
                        lst("(1X,'matrix # ',I2,' has been eliminated being equivalent to matrix # ',I2,'  j=',I2)",
                            {c, a, b});
                }
            }
        for (int j = 2; j <= n; ++j) T[1][j] = j;
        // Merging: each conjugate stays once, in the first column that holds it.
        for (int j = 2; j <= n; ++j)
            for (int i = 1; i <= n; ++i) {
                int m = T[i][j];
                if (m == 0 || m == j) continue;
                bool held = false;
                for (int r = 2; r <= n; ++r) held = held || T[r][m] != 0;
                for (int r = 1; r <= n; ++r) T[r][m] = 0;
                if (!held) T[i][j] = 0;
            }
        // Classes: the eligible entries of each column.
        for (int j = 2; j <= n; ++j) {
            int size = 0;
            for (int i = 1; i <= n; ++i) {
                int m = T[i][j];
                if (m == 0 || eligible[m] == 0) continue;
                if (size == 0) {
                    if (classes >= choi::kMaxClasses) break;
                    ++classes;
                }
                if (size >= choi::kMaxMembers) break;
                ++size;
                choi::member(classes, size) = m;
                largest = std::max(largest, size);
                if (partner[m] >= 0) eligible[partner[m]] = 0;
            }
        }
    } else {
        for (int k = 1; k <= n; ++k)
            if (survivor[k] > 0) new_class_of_one(k);
    }
    CHOI.I(choi::kClasses) = classes;
    CHOI.I(choi::kLargest) = largest;
    CHOI.I(choi::kClassCount) = classes;

    if (print_level() < 2) return;
    lst("(///,5X,'  kk     w o r k i n g     t a b l e',/,5X,'==kk===========================================',/,5X,'  kk')");
    for (int m = 1; m <= largest; ++m) {
        std::vector<FItem> items;
        for (int c = 1; c <= classes; ++c) items.emplace_back(choi::member(c, m));
        lst("(5X,'  kk     ',16I3)", items);
    }
    lst("(5X,'  kk',/,5X,'==kk===========================================',/,5X,'  kk',//)");
    lst("(1X,'..... therefore we get ',I2,' different classes',//)", {classes});
}

}  // namespace zanek
