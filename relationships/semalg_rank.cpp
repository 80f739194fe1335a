// First-rank seminvariant recognition: the seminvariance test, super-index
// and equivalents of a reflection, the integer solution of K (I - R) = H,
// and the condition texts of the listing.
#include <algorithm>
#include <cstdlib>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/seminv.h"
#include "platform/listing.h"
#include "relationships/semalg.h"
#include "relationships/seminv_work.h"

namespace zanek {

namespace {

#include "relationships/semalg_conditions.inc"

constexpr const char* kAlphabet = "0123hkl,+-";
constexpr int kIdentityCode = 3972;
constexpr int kSeminvariantModulus = 192;

std::string rule(char c) { return " " + std::string(120, c); }

std::vector<FItem> chars(const std::string& s, std::size_t from, std::size_t n) {
    std::vector<FItem> out;
    for (std::size_t i = 0; i < n; ++i) out.emplace_back(std::string(1, from + i < s.size() ? s[from + i] : ' '));
    return out;
}

void append(std::vector<FItem>& a, const std::vector<FItem>& b) { a.insert(a.end(), b.begin(), b.end()); }

}  // namespace

int MODULX(const int H[3]) {
    for (int i = 1; i <= 3; ++i) {
        long long s = static_cast<long long>(erl_V(i, 1)) * H[0] + static_cast<long long>(erl_V(i, 2)) * H[1] +
                      static_cast<long long>(erl_V(i, 3)) * H[2];
        if (s % kSeminvariantModulus != 0) return 1;
    }
    return 0;
}

void INDR(const int H[3], int& IDX) {
    IDX = -1;
    if (std::abs(H[0]) > UREQ.I(ureqw::kHmax) || std::abs(H[1]) > UREQ.I(ureqw::kKmax) ||
        std::abs(H[2]) > UREQ.I(ureqw::kLmax))
        return;
    int sign = 0;
    for (int c = 0; c < 3 && sign == 0; ++c)
        if (H[c] != 0) sign = H[c] > 0 ? 1 : -1;
    if (sign == 0) return;
    long long s = std::llabs(static_cast<long long>(COST.I(cost::kStrideH)) * sign * H[0] +
                             static_cast<long long>(COST.I(cost::kStrideK)) * sign * H[1] + sign * H[2]);
    if (s > COST.I(cost::kLargest)) return;
    IDX = static_cast<int>(s);
}

void EQUIV(const int H[3], int H2[3], int J, int& IDX) {
    for (int j = 1; j <= 3; ++j) H2[j - 1] = H[0] * erl_R(J, 1, j) + H[1] * erl_R(J, 2, j) + H[2] * erl_R(J, 3, j);
    INDR(H2, IDX);
}

void DIOF(const Mat3 A, int& FLAG, int HOUT[3], std::string& SIGN, std::string& MULT, std::string& LETTER) {
    FLAG = 0;
    const int k = PRO.I(pro::kMatrix);
    const int H[3] = {pro::h(1), pro::h(2), pro::h(3)};
    for (int c = 0; c < 3; ++c) HOUT[c] = H[c];
    SIGN = "   ";
    MULT = "   ";
    LETTER = "   ";
    Mat3 X, Z, P;
    for (int m = 1; m <= 9; ++m) {
        X[(m - 1) % 3][(m - 1) / 3] = inv::x(k, m);
        Z[(m - 1) % 3][(m - 1) / 3] = inv::z(k, m);
    }
    const int Y = inv::y(k);
    auto store_p = [&]() {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) P[r][c] = (r == c ? 1 : 0) - Z[r][c];
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) pro::solution(r + 1, c + 1) = P[r][c];
    };
    if (Y == 0) {
        FLAG = 1;
        store_p();
        return;
    }
    // H must lie in the image of A: (A X H) / Y = H.
    for (int i = 0; i < 3; ++i) {
        long long s = 0;
        for (int j = 0; j < 3; ++j) {
            long long m = 0;
            for (int t = 0; t < 3; ++t) m += static_cast<long long>(A[i][t]) * X[t][j];
            s += m * H[j];
        }
        if (s % Y != 0 || s / Y != H[i]) {
            FLAG = 1;
            store_p();
            return;
        }
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (Z[r][c] % Y != 0) {
                FLAG = 1;
                store_p();
                return;
            }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) Z[r][c] /= Y;
    for (int i = 0; i < 3; ++i) {
        int t = X[i][0] * H[0] + X[i][1] * H[1] + X[i][2] * H[2];
        pro::current_k(1 + i) = t;
        if (t % Y != 0) {
            FLAG = 1;
            store_p();
            return;
        }
        pro::current_k(1 + i) = t / Y;
    }
    store_p();
    for (int r = 0; r < 3; ++r) {
        int last = -1;
        for (int c = 0; c < 3; ++c)
            if (P[r][c] != 0) last = c;
        SIGN[r] = ' ';
        LETTER[r] = '0';
        if (last < 0) continue;
        LETTER[r] = "hkl"[last];
        if (P[r][last] < 0) SIGN[r] = '-';
        int a = std::abs(P[r][last]);
        if (a == 2 || a == 3) MULT[r] = static_cast<char>('0' + a);
    }
}

int matrix_code(const Mat3 R) {
    int a[3];
    for (int i = 0; i < 3; ++i) a[i] = 16 * (R[i][0] + 1) + 4 * (R[i][1] + 1) + (R[i][2] + 1);
    return 100 * a[0] + 10 * a[1] + a[2];
}

void CONG4(int K, std::string& TEXT) {
    Mat3 R;
    erl_matrix(K, R);
    int code = matrix_code(R);
    if (code == kIdentityCode) return;
    CONG5(code, TEXT);
}

void CONG5(int CODE, std::string& TEXT) {
    TEXT = std::string(16, ' ');
    const auto* hit = std::find_if(std::begin(kConditionCodes), std::end(kConditionCodes),
                                   [&](const int* e) { return e[0] == CODE; });
    if (hit == std::end(kConditionCodes)) {
        lst_blank(2);
        lst_line(rule('#'));
        lst("(' error in the subroutine cong5 - syco =',I8)", {CODE});
        lst_line(rule('#'));
        lst_blank(2);
        return;
    }
    const int v = (*hit)[1];
    const int form = kPackedForms[v / 100 - 1];
    const int moduli = kPackedModuli[v % 100 - 1];
    const int n = form / 1000000;
    TEXT[0] = '(';
    for (int i = 1, w = 100000; i <= n; ++i, w /= 10) TEXT[i] = kAlphabet[(form / w) % 10];
    TEXT[n + 1] = ')';
    const int m = std::min(moduli / 1000, 3);
    for (int i = 0, w = 100; i < m; ++i, w /= 10) {
        TEXT[10 + 2 * i] = kAlphabet[(moduli / w) % 10];
        TEXT[11 + 2 * i] = i + 1 == m ? ')' : ',';
    }
}

void FILLIS(const int H[3], int R, int& FOUND, int PHASE) {
    if (MODULX(H) != 0) return;
    for (int c = 0; c < 3; ++c) pro::h(1 + c) = H[c];
    int kept[semtab::kMaxClassMatrices] = {};
    const int nclass = CHOI.I(choi::kClassCount), size = CHOI.I(choi::kLargest);
    bool enough = false;
    for (int c = 1; c <= nclass && !enough; ++c)
        for (int m = 1; m <= size && !enough; ++m) {
            const int k = choi::member(c, m);
            if (k == 0) continue;
            PRO.I(pro::kMatrix) = k;
            Mat3 R_k, A;
            erl_matrix(k, R_k);
            for (int r = 0; r < 3; ++r)
                for (int col = 0; col < 3; ++col) A[r][col] = (r == col ? 1 : 0) - R_k[col][r];
            std::string text(16, ' ');
            if (UREQ.I(ureqw::kPrint) >= 3) CONG4(k, text);
            int flag = 0, hout[3];
            std::string sign, mult, letter;
            DIOF(A, flag, hout, sign, mult, letter);
            if (flag != 0) continue;
            if (UREQ.I(ureqw::kPrint) >= 3 && R <= semtab::kRows) {
                std::vector<FItem> items = {R, H[0], H[1], H[2], k};
                append(items, chars(text, 0, 10));
                append(items, chars(text, 10, 6));
                for (int i = 0; i < 3; ++i) items.emplace_back(hout[i]);
                for (int i = 0; i < 3; ++i) items.emplace_back(pro::current_k(1 + i));
                for (int i = 0; i < 3; ++i) {
                    items.emplace_back(std::string(1, sign[i]));
                    items.emplace_back(std::string(1, mult[i]));
                    items.emplace_back(std::string(1, letter[i]));
                }
                items.emplace_back(semtab::first_rank_count());
                lst("(' ',I3,')',3I4,' - ','mat. ',I2,2X,10A1,' congruent to 0 mod. (',6A1,2X,'h = (',2(I3,','),I3,"
                    "')',2X,' x = (',I3,2(',',I3),')',2X,' + (',3A1,2(',',3A1),')',I5)",
                    items);
            }
            FOUND += 1;
            if (FOUND > semtab::kMaxClassMatrices) {
                lst("(' seminvariant ',3I4,'  code = ',I4,' uses more than 5 matrices. (',I3,4(',',I3),' ). they are "
                    "enough.')",
                    {H[0], H[1], H[2], R, kept[0], kept[1], kept[2], kept[3], kept[4]});
                FOUND = semtab::kMaxClassMatrices;
                enough = true;
            } else {
                kept[FOUND - 1] = k;
            }
        }
    if (FOUND <= 0) return;
    int& count = semtab::first_rank_count();
    if (count >= semtab::kFirstRank) return;
    count += 1;
    int packed = 0;
    for (int i = FOUND - 1; i >= 0; --i) packed = packed * 64 + kept[i];
    semtab::first_rank(count, 1) = 10 * R + FOUND;
    semtab::first_rank(count, 2) = packed;
    for (int c = 0; c < 3; ++c) semtab::first_rank(count, 3 + c) = H[c];
    semtab::first_rank(count, 6) = static_cast<int>(1000.0f * PRO.R(pro::kEH));
    semtab::first_rank(count, 7) = 1000 * COST.I(cost::kCode) + PHASE;
}

void WRCON() {
    lst_line(" ");
    std::vector<FItem> items;
    for (int w = 2909; w <= 2916; ++w) {
        char c[4];
        unpack_chars(c, ERL.at(w), 1);
        items.emplace_back(std::string(c, 2));
    }
    lst("(20X,'Seminvariant condition : ',3A2,4X,5A2)", items);
    lst_blank();
    lst("(20X,'First rank seminvariant condition(s) :')");
    lst_blank();
    for (int c = 1; c <= CHOI.I(choi::kClassCount); ++c) {
        const int k = choi::member(c, 1);
        std::string text(16, ' ');
        CONG4(k, text);
        std::vector<FItem> line = chars(text, 0, 10);
        append(line, chars(text, 10, 6));
        line.emplace_back(k);
        lst("(20X,10A1,' congruent to 0 mod. (',6A1,'  because of matrix n. ',I2)", line);
    }
    lst_blank();
}

}  // namespace zanek
