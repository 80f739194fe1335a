// The invariants command run in process on structure files prepared by
// %data and %normal from the test jobs: its directives, the selection of
// the strong, weak and psi-e reflections, the lists it deletes and writes;
// and, through the built program, its answers to bad input.
#include <map>

#include "jobcontrol/commands.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/records/invariants.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/phaseset.h"
#include "jobcontrol/records/scatter.h"
#include "relationships/invariants.h"
#include "relationships/triplets.h"
#include "tests/relationships/jobs.h"

using namespace zanek;
using namespace zanek::invtest;
using namespace zanek::listtest;

namespace {

// A structure file after %data and %normal of a test job, made once per
// test program.
std::string prepared(const std::string& job) {
    static std::map<std::string, std::string> done;
    auto it = done.find(job);
    if (it != done.end()) return it->second;
    const std::string dir = test::fresh_dir("inv_prepared_" + job);
    const auto run = run_known_job(dir, job, "%normal\n");
    EXPECT_EQ(run.exit_code, 0);
    return done[job] = dir + "/struct.bin";
}

void queue_one(int code, const std::vector<std::string>& lines) {
    COMDIR.clear();
    comdir::code(1) = code;
    comdir::directive_lines(1) = static_cast<int>(lines.size());
    COMDIR.I(comdir::kCount) = 1;
    COMDIR.I(comdir::kRunning) = 1;
    for (std::size_t k = 0; k < lines.size(); ++k) CHARA.set_line(static_cast<int>(k) + 1, lines[k]);
    XLIMI.I(xlimi::kListBase) = 1;
}

// One run of the program on a copy of a prepared structure file.
class InvCommand : public ListRun {
protected:
    void use(const std::string& job) {
        units().close(kStoreUnit);
        std::filesystem::copy_file(prepared(job), path, std::filesystem::copy_options::overwrite_existing);
        start_run();
        reset_scatter_records();
        reset_phaseset_records();
        smallest_g_word() = 0;
    }
    int invar(const std::vector<std::string>& lines) {
        queue_one(3, lines);
        int status = 0;
        INVAR(status);
        return status;
    }
    int dirinv(const std::vector<std::string>& lines, int& big, int& psie) {
        queue_one(3, lines);
        int mode = 0, ierr = 0;
        DIRINV(mode, big, psie, ierr);
        EXPECT_EQ(mode, 2);
        return ierr;
    }
    bool present(int type) {
        units().flush(kStoreUnit);
        return file_row(path, type).present == type;
    }
    int header(int type, int word) {
        units().flush(kStoreUnit);
        return static_cast<int>(file_real(path, file_row(path, type).first + word - 1));
    }
};

TEST_F(InvCommand, DirectiveValuesAndTheirLimits) {
    use("rand_pbar1_c14o2");
    struct Case {
        std::vector<std::string> lines;
        int big, nrtr, nrps, nlar, numk, p1, p2, p3, p4, p5, psie;
        float emin, gmin;
    };
    // big, nrtr, nrps, nlar, numk, PROC 1-5, psie, emin, gmin
    const Case cases[] = {
        {{}, 8000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"big"}, 20000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"big 0"}, 20000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"BIG 5000"}, 5000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"bigger 50000"}, 20000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"emin 1.0", "gmin 0.1"}, 8000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.2001f},
        {{"emin 1.5", "gmin 0.2"}, 8000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.5f, 0.2f},
        {{"nrtr 900", "nrps 400"}, 8000, 499, 300, 499, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"nrtr 200", "nlar 150", "numk 12"}, 8000, 200, 0, 150, 12, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"npsi"}, 8000, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 1.2f, 0.6f},
        {{"nqua"}, 8000, 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1.2f, 0.6f},
        {{"nsig", "nops"}, 8000, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1.2f, 0.6f},
        {{"coch"}, 8000, 0, 0, 0, 0, 1, 0, 1, 1, 1, 1, 1.2f, 0.6f},
        {{"coch", "pten"}, 8000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
        {{"unknown 3", "big 5000"}, 5000, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 1.2f, 0.6f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.empty() ? std::string("defaults") : c.lines[0]);
        int big = 0, psie = 0;
        ASSERT_EQ(dirinv(c.lines, big, psie), 0);
        EXPECT_EQ(big, c.big);
        EXPECT_EQ(DIRTR.I(dirtr::kNrtr), c.nrtr);
        EXPECT_EQ(DIRPS.I(dirps::kNrps), c.nrps);
        EXPECT_EQ(DIRPS.I(dirps::kNlar), c.nlar);
        EXPECT_EQ(DIR10.I(dir10::kNumk), c.numk);
        const int proc[5] = {c.p1, c.p2, c.p3, c.p4, c.p5};
        for (int w = 1; w <= 5; ++w) EXPECT_EQ(PROC.I(w), proc[w - 1]) << "PROC " << w;
        EXPECT_EQ(psie, c.psie);
        EXPECT_FLOAT_EQ(DIRTR.R(dirtr::kEmin), c.emin);
        EXPECT_FLOAT_EQ(DIR10.R(dir10::kGmin), c.gmin);
        EXPECT_FLOAT_EQ(DIRPS.R(dirps::kEmax), 0.4f);
        EXPECT_EQ(COMDIR.I(comdir::kCursor), static_cast<int>(c.lines.size())) << "every own line read";
    }
    EXPECT_TRUE(listing_has(" wrong directive on following line:"));
    EXPECT_TRUE(listing_has(" unknown 3"));

    const std::vector<std::string> bad[] = {{"nsig 3"}, {"emin"}, {"nrtr 1 2"}, {"nrtr -4"}, {"big 1x"}};
    for (const auto& lines : bad) {
        SCOPED_TRACE(lines[0]);
        int big = 0, psie = 0;
        EXPECT_EQ(dirinv(lines, big, psie), -1);
        EXPECT_TRUE(listing_has(" error in directive : " + lines[0]));
    }
}

TEST_F(InvCommand, StrongRowsThenWeakestFirst) {
    use("rand_p21c_c18n2o4");
    int big = 0, psie = 0;
    ASSERT_EQ(dirinv({"nrtr 150", "nrps 40", "emax 0.3"}, big, psie), 0);
    int ierr = 0, mode = 0, npsie = 0;
    float sugg = 0.0f;
    INPT9(ierr, sugg, mode, npsie);
    ASSERT_EQ(ierr, 0);
    ASSERT_EQ(mode, 0);

    // The list-7 records in their order.
    int n = 0, nref = 0, nzro = 0, ip = 0, x = 0;
    YSFL07(n, nref, nzro, ip, x);
    std::vector<std::array<Word, 9>> recs(n);
    for (auto& r : recs) SNR07(r.data());

    using namespace invtab;
    const int nrtr = DIRTR.I(dirtr::kNrtr);
    EXPECT_EQ(nrtr, 150);
    EXPECT_EQ(DIRTR.I(dirtr::kStrongRows), 150);
    EXPECT_EQ(DIR10.I(dir10::kNumk), std::min(DIR10.I(dir10::kNumk), 150));
    EXPECT_FLOAT_EQ(DIRTR.R(dirtr::kEmin), recs[149][3].r);
    for (int r = 1; r <= nrtr; ++r) {
        EXPECT_EQ(row_index(r), pack_index(recs[r - 1][0].i, recs[r - 1][1].i, recs[r - 1][2].i));
        EXPECT_EQ(row_restriction(r), recs[r - 1][7].i % 32);
        EXPECT_EQ(row_phase(r), ((recs[r - 1][7].i % 32768) / 32) % 360);
    }
    // Weak rows: the last 40 records, weakest first, none above emax.
    const int nrps = DIRPS.I(dirps::kNrps);
    ASSERT_GT(nrps, 0);
    ASSERT_LE(nrps, 40);
    int expected_row = nrtr + 1;
    for (int k = n - 1; k >= n - 40; --k) {
        if (recs[k][3].r > 0.3f) continue;
        EXPECT_EQ(row_index(expected_row), pack_index(recs[k][0].i, recs[k][1].i, recs[k][2].i));
        ++expected_row;
    }
    EXPECT_EQ(expected_row - nrtr - 1, nrps);

    // Psi-e rows: the records after the strong ones, at most nrtr/2.
    mode = 1;
    INPT9(ierr, sugg, mode, npsie);
    ASSERT_EQ(mode, 1);
    EXPECT_EQ(npsie, 75);
    EXPECT_EQ(DIRPS.I(dirps::kNrps), 75);
    for (int k = 1; k <= npsie; ++k)
        EXPECT_EQ(row_index(nrtr + k), pack_index(recs[nrtr + k - 1][0].i, recs[nrtr + k - 1][1].i,
                                                  recs[nrtr + k - 1][2].i));
}

// When emin leaves fewer strong reflections than free vectors, the free
// vectors are the strong rows: the weak rows must not take their place.
TEST_F(InvCommand, FreeVectorsNeverExceedTheStrongRows) {
    use("rand_p21c_c18n2o4");
    int big = 0, psie = 0;
    ASSERT_EQ(dirinv({"emin 2.8", "numk 60"}, big, psie), 0);
    int ierr = 0, mode = 0, npsie = 0;
    float sugg = 0.0f;
    INPT9(ierr, sugg, mode, npsie);
    ASSERT_EQ(ierr, 0);
    const int nrtr = DIRTR.I(dirtr::kNrtr);
    ASSERT_GT(nrtr, 3);
    ASSERT_LT(nrtr, 60);
    EXPECT_EQ(DIR10.I(dir10::kNumk), nrtr);
    EXPECT_EQ(DIRTR.I(dirtr::kStrongRows), nrtr);
    for (int r = 1; r <= nrtr; ++r) EXPECT_GE(invtab::row_e(r), 2.8f);
    EXPECT_LE(invtab::row_e(nrtr + 1), 0.4f) << "row after the strong ones is a weak reflection";
    // The command runs and strengthens with exactly those free vectors.
    use("rand_p21c_c18n2o4");
    ASSERT_EQ(invar({"emin 2.8", "numk 60"}), 0);
    EXPECT_TRUE(listing_has("  free vectors using p-10 formula"));
    EXPECT_TRUE(listing_has(fmt_i(nrtr, 3) + "  free vectors using p-10 formula"));
}

TEST_F(InvCommand, NoPsiEReflectionsWithOneStrongReflection) {
    use("rand_pbar1_c14o2");
    int big = 0, psie = 0;
    ASSERT_EQ(dirinv({"nrtr 1"}, big, psie), 0);
    int ierr = 0, mode = 0, npsie = -5;
    float sugg = 0.0f;
    INPT9(ierr, sugg, mode, npsie);
    ASSERT_EQ(DIRTR.I(dirtr::kNrtr), 1);
    mode = 1;
    INPT9(ierr, sugg, mode, npsie);
    EXPECT_EQ(ierr, 0);
    EXPECT_EQ(mode, -1);
    EXPECT_EQ(npsie, 0);
    EXPECT_TRUE(listing_has(" *** warning *** : there are no psi-e reflections "));
}

TEST_F(InvCommand, EarlierRelationListsAreReplacedOrDeleted) {
    use("rand_pbar1_c14o2");
    // Relation lists of an earlier selection.
    std::vector<Word> items(7 * 5, word_of_int(relation_word(1, 2, 3)));
    for (int type : {10, 11, 20, 21, 24}) FRMXX(0, type, 5, 5, 999, 0, 0, items.data());
    ASSERT_EQ(invar({"nops"}), 0);
    for (int type : {11, 21, 24}) EXPECT_FALSE(present(type)) << type;
    // The negative quartets of this run replace the earlier list 20.
    ASSERT_TRUE(present(20));
    EXPECT_NE(header(20, 11), 999);
    ASSERT_TRUE(present(8));
    ASSERT_TRUE(present(9));
    EXPECT_EQ(header(8, 11), DIRTR.I(dirtr::kNrtr));
    EXPECT_EQ(header(9, 11), DIRPS.I(dirps::kNrps));
    // A centrosymmetric group has no enantiomorph-sensitive triplets; its
    // negative ones are those of this run.
    if (present(10)) {
        EXPECT_EQ(header(10, 11), DIRTR.I(dirtr::kNrtr));
    }

    // coch: p-3 estimates only, no lists 10 and 11.
    ASSERT_EQ(invar({"coch", "nops"}), 0);
    EXPECT_FALSE(present(10));
    EXPECT_FALSE(present(11));
    EXPECT_TRUE(listing_has(" triplets have been estimated using p-3 formula"));
}

TEST_F(InvCommand, ListHeadersAndTheSmallestReliability) {
    use("rand_p212121_c20o4");
    ASSERT_EQ(invar({}), 0);
    const int pos = header(8, 10);
    const auto triplets = stored_relations(path, 8);  // header() flushed the store
    ASSERT_EQ(header(8, 9), static_cast<int>(triplets.size()));
    ASSERT_GT(pos, 0);
    // Word 13: trunc(1000 G) of the last positive triplet, G >= gmin.
    const int mink = header(8, 13);
    EXPECT_GE(mink, 600);
    EXPECT_LE(mink, 10 * triplets[pos - 1].b[1] + 10);
    EXPECT_GE(mink, 10 * triplets[pos - 1].b[1] - 10);
    EXPECT_EQ(header(8, 12), 1);  // PROC word 2
    for (int type : {10, 11, 24}) {
        ASSERT_TRUE(present(type)) << type;
        EXPECT_EQ(header(type, 13), mink);
    }
    // Psi-zero items: the first of each weak reflection is marked.
    const Row row9 = file_row(path, 9);
    const int n9 = header(9, 9);
    ASSERT_GT(n9, 0);
    int previous = 0, marks = 0;
    for (int k = 0; k < n9; ++k) {
        const int32_t w1 = file_int(path, row9.first + 19 + 2 * k);
        const int32_t w2 = file_int(path, row9.first + 19 + 2 * k + 1);
        int32_t a, b, c, a2, b2, c2;
        UNPAK3(w2, a2, b2, c2);
        const bool marked = (w1 & (1 << 30)) != 0;
        UNPAK3(w1 & ~(1 << 30), a, b, c);
        EXPECT_EQ(marked, a2 != previous);
        marks += marked;
        previous = a2;
        EXPECT_EQ(a, b2);  // sigma*j in both words
        EXPECT_EQ(c, c2);  // t in both words
        EXPECT_GT(a2, DIRTR.I(dirtr::kNrtr));
    }
    EXPECT_GT(marks, 10);
}

// --- Bad input, through the built program --------------------------------

TEST(InvariantsBadInput, FailsWithItsMessage) {
    struct Case {
        const char* what;
        const char* before;   // commands before %invariants
        const char* directives;
        const char* hkl_lines;  // reflections kept from the job's file (0: all)
        const char* message;
    };
    const Case cases[] = {
        {"before %data", nullptr, "", nullptr, " *** error *** no reflections  present "},
        {"before %normal", "", "", nullptr, " *** error ***  reflections are not normalized"},
        {"very few reflections", "%normal\nbfac 3.0\n", "", "15", "no triplet can be formed"},
        {"nrtr 2", "%normal\n", "nrtr 2\n", nullptr, "no triplet can be formed"},
        {"negative nrtr", "%normal\n", "nrtr -1\n", nullptr, " error in directive : nrtr -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string dir = test::fresh_dir(std::string("inv_bad_") + std::to_string(&c - cases));
        test::RunResult run;
        if (!c.before) {
            run = test::run_zanek(dir, "%nowindow\n%initialize\n%invariants\n%end\n");
        } else {
            std::string hkl = "data_known.hkl";
            if (c.hkl_lines) {
                const auto lines = test::split_lines(
                    test::read_file(test::jobs_dir() + "/rand_pbar1_c14o2/data_known.hkl"));
                std::string few;
                for (int k = 0; k < std::atoi(c.hkl_lines); ++k) few += lines[k] + "\n";
                test::write_file(dir + "/few.hkl", few + "   0   0   0\n");
                hkl = "few.hkl";
            }
            run = run_known_job(dir, "rand_pbar1_c14o2", std::string(c.before) + "%invariants\n" + c.directives, hkl);
        }
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_NE(run.listing.find(c.message), std::string::npos);
        EXPECT_NE(run.listing.find(" == ZANEK ends in error"), std::string::npos);
    }
}

// A non-centrosymmetric structure whose reflections are all centric (the
// hk0 zone of P 21 21 21): every triplet kept is consistent with the phase
// restrictions, so its known phase sum is 0 or 180 exactly.
TEST(InvariantsBadInput, AllReflectionsCentric) {
    const std::string dir = test::fresh_dir("inv_zone");
    const auto lines =
        test::split_lines(test::read_file(test::jobs_dir() + "/rand_p212121_c20o4/data_known.hkl"));
    std::string zone;
    for (const std::string& l : lines) {
        int h = 0, k = 0, l3 = 0;
        if (std::sscanf(l.c_str(), "%4d%4d%4d", &h, &k, &l3) == 3 && l3 == 0 && (h != 0 || k != 0)) zone += l + "\n";
    }
    test::write_file(dir + "/zone.hkl", zone + "   0   0   0\n");
    const auto run = run_known_job(dir, "rand_p212121_c20o4", "%normal\n%invariants\n", "zone.hkl");
    ASSERT_EQ(run.exit_code, 0);
    const auto triplets = stored_relations(dir + "/struct.bin", 8);
    ASSERT_GT(triplets.size(), 10u);
    for (const auto& t : triplets) EXPECT_EQ(t.phi() % 180, 0) << t.phi();
}

// With no triplet stored, the lists carry 0 as their smallest reliability.
TEST(InvariantsBadInput, NoTripletStoredGivesAZeroSmallestReliability) {
    const std::string dir = test::fresh_dir("inv_none");
    const auto lines =
        test::split_lines(test::read_file(test::jobs_dir() + "/rand_pbar1_c14o2/data_known.hkl"));
    std::string few;
    for (int k = 0; k < 40; ++k) few += lines[k] + "\n";
    test::write_file(dir + "/few.hkl", few + "   0   0   0\n");
    const auto run = run_known_job(dir, "rand_pbar1_c14o2", "%normal\nbfac 3.0\n%invariants\n", "few.hkl");
    ASSERT_EQ(run.exit_code, 0);
    const std::string bin = dir + "/struct.bin";
    const Row row = file_row(bin, 8);
    ASSERT_EQ(row.present, 8);
    EXPECT_EQ(file_real(bin, row.first + 8), 0.0f);   // no item
    EXPECT_EQ(file_real(bin, row.first + 12), 0.0f);  // smallest-G word
    EXPECT_NE(run.listing.find("     positive estimated triplets       -          -"), std::string::npos);
}

}  // namespace
