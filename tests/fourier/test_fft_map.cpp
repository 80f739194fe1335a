// The three-dimensional map from coefficient records on the scratch file:
// single reflections give the cosine waves they must, and a random set of
// coefficients gives the direct Fourier sum at every grid point, whether
// the work area holds everything in one block or forces one section (and
// few h planes) per block.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "fourier/fourier_records.h"
#include "fourier/maps/fft3d.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/job.h"
#include "platform/fformat.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

namespace zanek {
namespace {

struct Coef {
    int h, k, l;
    float a, b;
};

class MapFile : public ::testing::Test {
protected:
    void SetUp() override {
        UNIT.I(unitw::kIfour) = 33;
        UNIT.I(unitw::kSequentialScratch) = 32;
        int st = 0;
        ASSERT_FALSE(JOPEN(32, "", 0, 1, 2, st));
        ASSERT_FALSE(JOPEN(33, "", 0, 1, 2, st));
        TRAN.clear();
        TAPE.clear();
        CONST.clear();
        for (int k = 1; k <= tape::kHeaderWords; ++k) TAPE.I(k) = 1000 + k;
    }
    void TearDown() override {
        units().close(32);
        units().close(33);
    }

    // Writes the coefficients as the expansion does: records of 100 entries.
    void write_coefficients(const std::vector<Coef>& cs) {
        units().rewind(32);
        std::vector<Word> rec(coef::kRecordWords);
        int n = 0;
        for (const Coef& c : cs) {
            int e = n % coef::kPerRecord;
            rec[static_cast<std::size_t>(e)] = word_of_int(coef::biased_index(c.h, c.k, c.l));
            rec[static_cast<std::size_t>(coef::kPerRecord + 2 * e)] = word_of_real(c.a);
            rec[static_cast<std::size_t>(coef::kPerRecord + 2 * e + 1)] = word_of_real(c.b);
            ++n;
            if (n % coef::kPerRecord == 0) units().write_record(32, rec);
            TRAN.I(tran::kHmax) = std::max(TRAN.I(tran::kHmax), std::abs(c.h));
            TRAN.I(tran::kKmax) = std::max(TRAN.I(tran::kKmax), std::abs(c.k));
            TRAN.I(tran::kLmax) = std::max(TRAN.I(tran::kLmax), std::abs(c.l));
        }
        if (n % coef::kPerRecord != 0) units().write_record(32, rec);
        CONST.I(konst::kCoefficients) = n;
    }

    // Runs the transform and reads the map back as map[y][z][x].
    std::vector<std::vector<std::vector<int>>> transform(int nx, int ny, int nz, int nwork, int& ierr) {
        std::vector<float> w(static_cast<std::size_t>(nwork) + 2);
        ierr = 0;
        PP1(w.data(), nwork, nx, ny, nz, ierr);
        std::vector<std::vector<std::vector<int>>> map;
        if (ierr != 0) return map;
        units().rewind(32);
        int set = 0;
        std::string title;
        EXPECT_TRUE(read_map_header(set, title));
        std::vector<Word> rec;
        EXPECT_EQ(units().read_record(32, rec), IO_OK);
        EXPECT_EQ(rec.size(), 3u);
        EXPECT_EQ(rec[0].i, nx);
        EXPECT_EQ(rec[1].i, nz);
        EXPECT_EQ(rec[2].i, ny);
        map.assign(static_cast<std::size_t>(ny), std::vector<std::vector<int>>(static_cast<std::size_t>(nz)));
        for (int y = 0; y < ny; ++y)
            for (int z = 0; z < nz; ++z) {
                EXPECT_EQ(units().read_record(32, rec), IO_OK);
                EXPECT_EQ(rec.size(), static_cast<std::size_t>(nx));
                for (const Word& v : rec) map[static_cast<std::size_t>(y)][static_cast<std::size_t>(z)].push_back(v.i);
            }
        return map;
    }
};

// The density of hemisphere coefficients: F(000) once, every other one with
// its Friedel mate.
double density(const std::vector<Coef>& cs, double x, double y, double z) {
    double rho = 0.0;
    for (const Coef& c : cs) {
        double t = 2.0 * M_PI * (c.h * x + c.k * y + c.l * z);
        if (c.h == 0 && c.k == 0 && c.l == 0) rho += c.a;
        else rho += 2.0 * (c.a * std::cos(t) + c.b * std::sin(t));
    }
    return rho;
}

void expect_map(const std::vector<std::vector<std::vector<int>>>& map, const std::vector<Coef>& cs, int nx, int ny,
                int nz, float scale, const char* what) {
    int bad = 0;
    for (int y = 0; y < ny; ++y)
        for (int z = 0; z < nz; ++z)
            for (int x = 0; x < nx; ++x) {
                double want = scale * density(cs, double(x) / nx, double(y) / ny, double(z) / nz);
                int got = map[static_cast<std::size_t>(y)][static_cast<std::size_t>(z)][static_cast<std::size_t>(x)];
                if (std::abs(got - want) > 1.0 && bad++ < 5)
                    ADD_FAILURE() << what << " at " << x << "," << y << "," << z << ": " << got << " want " << want;
            }
}

TEST_F(MapFile, OnlyF000GivesTheSameValueEverywhere) {
    write_coefficients({{0, 0, 0, 12.25f, 0.0f}});
    TRAN.R(tran::kScale) = 2.0f;
    int ierr = 0;
    auto map = transform(6, 4, 8, 160000, ierr);
    ASSERT_EQ(ierr, 0);
    for (auto& sec : map)
        for (auto& row : sec)
            for (int v : row) EXPECT_EQ(v, 25);  // 24.5 rounds away from zero
}

TEST_F(MapFile, SingleReflectionsGiveCosineWaves) {
    struct Case {
        Coef c;
        const char* what;
    };
    const std::vector<Case> cases = {
        {{1, 2, 3, 100.0f, 0.0f}, "l > 0"},
        {{2, -1, 0, 100.0f, 0.0f}, "l = 0, h > 0"},
        {{0, 3, 0, 100.0f, 0.0f}, "h = l = 0, k > 0"},
        {{-2, 1, 1, 60.0f, 80.0f}, "h < 0, complex"},
        {{1, -3, 0, -30.0f, 40.0f}, "l = 0, complex"},
    };
    for (const Case& cs : cases) {
        write_coefficients({cs.c});
        TRAN.R(tran::kScale) = 10.0f;
        int ierr = 0;
        auto map = transform(10, 9, 12, 160000, ierr);
        ASSERT_EQ(ierr, 0) << cs.what;
        expect_map(map, {cs.c}, 10, 9, 12, 10.0f, cs.what);
    }
}

std::vector<Coef> random_hemisphere(int hmax, int kmax, int lmax, int count, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> hd(-hmax, hmax), kd(-kmax, kmax), ld(0, lmax);
    std::uniform_real_distribution<float> v(-50.0f, 50.0f);
    std::vector<Coef> cs;
    std::vector<int> seen;
    while (static_cast<int>(cs.size()) < count) {
        int h = hd(rng), k = kd(rng), l = ld(rng);
        if (l == 0 && (h < 0 || (h == 0 && k < 0))) continue;  // outside the hemisphere
        int key = coef::biased_index(h, k, l);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
        seen.push_back(key);
        float a = v(rng), b = (h == 0 && k == 0 && l == 0) ? 0.0f : v(rng);
        cs.push_back({h, k, l, a, b});
    }
    return cs;
}

TEST_F(MapFile, RandomCoefficientsEqualDirectSumInOneBlockAndInManyBlocks) {
    struct Grid {
        int nx, ny, nz, hmax, kmax, lmax, count, nwork;
        const char* what;
    };
    const std::vector<Grid> grids = {
        {15, 8, 10, 6, 3, 4, 150, 160000, "one block"},
        {15, 8, 10, 6, 3, 4, 150, 2 * 8 * 5 * 2, "two h planes per block, one section per block"},
        {12, 10, 6, 5, 4, 2, 120, 12 * 6 * 3, "three sections per block"},
        {20, 18, 16, 9, 8, 7, 400, 160000, "radix 4 and 5 and 3"},
        {8, 25, 4, 3, 11, 1, 90, 160000, "length 25 along y"},
    };
    for (const Grid& g : grids) {
        auto cs = random_hemisphere(g.hmax, g.kmax, g.lmax, g.count, 42u + g.nx);
        write_coefficients(cs);
        TRAN.R(tran::kScale) = 3.0f;
        int ierr = 0;
        auto map = transform(g.nx, g.ny, g.nz, g.nwork, ierr);
        ASSERT_EQ(ierr, 0) << g.what;
        expect_map(map, cs, g.nx, g.ny, g.nz, 3.0f, g.what);
    }
}

TEST_F(MapFile, MoreThanOneRecordOfCoefficientsAndAnExactMultipleOf100) {
    for (int count : {100, 200, 250}) {
        auto cs = random_hemisphere(6, 6, 5, count, 7u + count);
        write_coefficients(cs);
        TRAN.R(tran::kScale) = 1.0f;
        int ierr = 0;
        auto map = transform(16, 15, 12, 160000, ierr);
        ASSERT_EQ(ierr, 0);
        expect_map(map, cs, 16, 15, 12, 1.0f, "records of 100");
    }
}

TEST_F(MapFile, WorkAreaTooSmallFails) {
    write_coefficients({{1, 1, 1, 1.0f, 0.0f}});
    TRAN.R(tran::kScale) = 1.0f;
    int ierr = 0;
    transform(30, 20, 40, 1000, ierr);  // one section needs 1200 words
    EXPECT_EQ(ierr, -1);
}

TEST_F(MapFile, PrintedSectionsShowTenthsOfTheMapAndMarkTheHighValues) {
    const std::string lis = test::fresh_dir("fft_map_print") + "/map.lis";
    ASSERT_EQ(units().open_seq(2, lis, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    set_listing_unit(2);
    UNIT.I(unitw::kListing) = 2;
    write_coefficients({{1, 0, 0, 100.0f, 0.0f}});
    TRAN.R(tran::kScale) = 0.4f;  // map values 80 cos(2 pi x)
    TRAN.I(tran::kPrintUnit) = 2;
    TRAN.I(tran::kUnderline) = 50;
    for (int i = 0; i < 3; ++i) TRAN.R(tran::kFraction + i) = 1.0f;
    UREQ1.I(ureq1::kSectionAxis) = 1;
    int ierr = 0;
    auto map = transform(10, 4, 6, 160000, ierr);
    ASSERT_EQ(ierr, 0);
    lst_flush();
    units().close(2);
    const auto lines = test::split_lines(test::read_file(lis));
    int sections = 0, rows = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.find(" section  y =") == 0) ++sections;
        if (l.rfind(" z =", 0) != 0) continue;
        ++rows;
        const int thousandths = std::stoi(l.substr(4, 4));
        const int z = static_cast<int>(std::lround(thousandths * 6 / 1000.0));
        std::string want = " z =" + fmt_i(thousandths, 4) + " *  ";
        std::string marks(12, ' ');
        for (int x = 0; x < 10; ++x) {
            const int v = map[0][static_cast<std::size_t>(z)][static_cast<std::size_t>(x)];
            const int p = static_cast<int>(std::lround(0.1 * v));
            want += fmt_i(p, 3);
            marks += p * 10 > 50 ? " **" : "   ";
        }
        EXPECT_EQ(l, want);
        ASSERT_LT(i + 1, lines.size());
        EXPECT_EQ(lines[i + 1], marks);
    }
    EXPECT_EQ(sections, 4);
    EXPECT_EQ(rows, 4 * 6);
    EXPECT_EQ(TRAN.I(tran::kPrintUnit), 0);  // every section printed: no more printing in this command
}

TEST(MapValue, RoundsHalfAwayFromZero) {
    EXPECT_EQ(map_value(0.5f, 1.0f), 1);
    EXPECT_EQ(map_value(-0.5f, 1.0f), -1);
    EXPECT_EQ(map_value(0.49f, 1.0f), 0);
    EXPECT_EQ(map_value(0.0f, 7.0f), 0);
    EXPECT_EQ(map_value(2.5f, 2.0f), 5);
}

}  // namespace
}  // namespace zanek
