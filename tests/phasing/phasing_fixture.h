// Helpers of the phase-command tests: a space group set up in SYM from its
// operators written as in the International Tables, and a phasing set of
// chosen reflections in the work store.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <string>
#include <vector>

#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/phaseset.h"
#include "phasing/phase_records.h"

namespace zanek::test {

struct Hkl {
    int h, k, l;
};

// One operator "x,y,z"-style into SYM: compact codes of its rows and its
// translation.
inline void put_operator(int k, const std::string& text) {
    std::vector<std::string> rows(1);
    for (char c : text) {
        if (c == ',')
            rows.emplace_back();
        else if (c != ' ')
            rows.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    ASSERT_EQ(rows.size(), 3u) << text;
    for (int i = 0; i < 3; ++i) {
        int slot = 1;
        float t = 0.0f;
        int sign = 1;
        const std::string& s = rows[static_cast<std::size_t>(i)];
        for (std::size_t p = 0; p < s.size(); ++p) {
            const char c = s[p];
            if (c == '+') {
                sign = 1;
            } else if (c == '-') {
                sign = -1;
            } else if (c == 'x' || c == 'y' || c == 'z') {
                sym_row_code(k, i + 1, slot) = sign * (c - 'x' + 1);
                ++slot;
                sign = 1;
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                const int num = c - '0';
                const int den = s[p + 2] - '0';  // "n/d"
                t += sign * static_cast<float>(num) / static_cast<float>(den);
                p += 2;
                sign = 1;
            }
        }
        if (t < 0.0f) t += 1.0f;
        sym_translation(k, i + 1) = t;
    }
}

// A space group: its stored operators (the centrosymmetric partners not
// stored), centric flag and lattice code (1..7 = P, A, B, C, I, F, R).
inline void set_group(const std::vector<std::string>& ops, int centric, int lattice) {
    SYM.clear();
    for (std::size_t k = 0; k < ops.size(); ++k) put_operator(static_cast<int>(k) + 1, ops[k]);
    SYM.I(symw::kOps) = static_cast<int>(ops.size());
    SYM.I(symw::kCentric) = centric;
    SYM.I(symw::kLattice) = lattice;
}

// The phasing set: the reflections in rank order, E = 2.0 each, with the
// super-index strides for indices up to 15.
inline void set_phasing_set(const std::vector<Hkl>& refl) {
    for (int i = 1; i <= 3; ++i) unp_max(i) = 15;
    UNP.I(unp::kStrideK) = 2 * 15 + 1;
    UNP.I(unp::kStrideH) = (2 * 15 + 1) * UNP.I(unp::kStrideK);
    UNP.I(unp::kOffset) = 15 * UNP.I(unp::kStrideK) + 15;
    PARAM.I(param::kNref) = static_cast<int>(refl.size());
    for (std::size_t i = 0; i < refl.size(); ++i) {
        const Hkl& r = refl[i];
        const int super = r.h * UNP.I(unp::kStrideH) + r.k * UNP.I(unp::kStrideK) + r.l;
        packed_refl(static_cast<int>(i) + 1) = pack_reflection(2.0f, super);
        phase_code(static_cast<int>(i) + 1) = 0;
    }
    UREQ.I(ureqw::kPartial) = 0;
}

}  // namespace zanek::test
