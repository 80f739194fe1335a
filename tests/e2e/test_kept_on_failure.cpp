// A failing command leaves the structure file as it was before it, except
// where the failure itself orders a deletion: a %phase whose every set is
// undetermined removes the phase sets and the model, and they stay removed
// though the command fails and everything else it did is undone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

const std::string kJob = "rand_pbar1_c14o2";
const std::string kBin = kJob + ".bin";
const std::string kOpenJob = "%structure " + kJob + "\n%nowindow\n";

constexpr int kIndexFirst = 1600, kIndexLast = 1889;  // the index header and the list-type table
int type_word(int type) { return 1650 + 6 * type; }   // row t of the list-type table

// The preamble's summary of what the structure file holds.
std::string file_summary(const std::string& listing) {
    const auto from = listing.find("Direct access structure file actually contains:");
    if (from == std::string::npos) return "";
    return listing.substr(from, listing.find("\n\n\n", from) - from);
}

// The test job solved by its own command file, then relations so few (one
// triplet, none of the other kinds) that no phase set can be determined
// from them: the model and the phase sets of the solution are still stored.
std::string folder_with_too_few_relations(const std::string& name) {
    const std::string dir = job_copy(name, kJob, false);
    RunResult solved = run_zanek(dir, "");
    EXPECT_EQ(solved.exit_code, 0) << solved.listing;
    RunResult few = run_zanek(dir, kOpenJob + "%invariants\nbig 1\nnqua\nnpsi\nnops\n%end\n", "few.cmd", "few.lis");
    EXPECT_EQ(few.exit_code, 0) << few.listing;
    return dir;
}

TEST(KeptOnFailure, PhaseWithEverySetUndeterminedRemovesThePhasesForGoodAndPutsTheRestBack) {
    const std::string dir = folder_with_too_few_relations("kept_phase_undetermined");
    const StoredLists before = stored_lists(read_file(dir + "/" + kBin));
    for (int type : {1, 2, 3, 7, 8, 15, 16, 30}) ASSERT_TRUE(before.words.count(type)) << "list " << type;

    // The seed directive writes the seed into the reflection list before
    // the trials: that change is undone with the command.
    RunResult r = run_zanek(dir, kOpenJob + "%phase\nseed 12345\n%end\n", "phase.cmd", "phase.lis");
    EXPECT_EQ(r.exit_code, 1) << r.listing;
    EXPECT_NE(r.listing.find("\n                 ***   error   ***   all sets have undetermined phases. zan stops\n"),
              std::string::npos)
        << r.listing;
    EXPECT_NE(r.listing.find(" == ZANEK ends in error"), std::string::npos);
    // The run began on a file with phase sets and a model.
    const std::string summary_before = file_summary(r.listing);
    EXPECT_NE(summary_before.find(" sets of phases"), std::string::npos) << summary_before;
    EXPECT_NE(summary_before.find(" coordinates related to set no."), std::string::npos) << summary_before;

    EXPECT_TRUE(working_copies(dir, kJob).empty());
    const StoredLists after = stored_lists(read_file(dir + "/" + kBin));
    EXPECT_EQ(after.words.count(15), 0u) << "the model is still stored";
    EXPECT_EQ(after.words.count(16), 0u) << "the phase sets are still stored";
    for (const auto& [type, words] : before.words) {
        if (type == 15 || type == 16) continue;
        auto it = after.words.find(type);
        ASSERT_NE(it, after.words.end()) << "list " << type << " is gone";
        EXPECT_TRUE(it->second == words) << "list " << type << " has changed";
    }
    EXPECT_EQ(after.words.size(), before.words.size() - 2);
    // The index is the one before the command with the two lists taken out.
    for (int a = kIndexFirst; a <= kIndexLast; ++a) {
        const int was = before.index[a - kIndexFirst], is = after.index[a - kIndexFirst];
        if (a == type_word(15) || a == type_word(16)) {
            EXPECT_EQ(is, 0) << "store address " << a;
        } else {
            EXPECT_EQ(is, was) << "store address " << a;
        }
    }

    // The next run finds neither phases nor a model.
    RunResult next = run_zanek(dir, kOpenJob + "%history\n%end\n", "next.cmd", "next.lis");
    EXPECT_EQ(next.exit_code, 0) << next.listing;
    const std::string summary = file_summary(next.listing);
    EXPECT_NE(summary.find(" normalized reflections"), std::string::npos) << next.listing;
    EXPECT_NE(summary.find(" positive triplets"), std::string::npos) << summary;
    EXPECT_EQ(summary.find(" sets of phases"), std::string::npos) << summary;
    EXPECT_EQ(summary.find(" coordinates related to set no."), std::string::npos) << summary;
}

// The same failing %phase on a disc that fills up at one of its writes
// (the deletion that stands is then a write of its own, which may find no
// room): the run ends in error or in a stop, never in a crash, and leaves
// the file as before the command or with the two lists deleted for good.
TEST(KeptOnFailure, PhaseWithEverySetUndeterminedOnAFullDiscEndsInErrorWithTheFileWhole) {
    const std::string dir = folder_with_too_few_relations("kept_phase_full_disc");
    const std::string path = dir + "/" + kBin, before = read_file(path);
    const std::string phase = kOpenJob + "%phase\nseed 12345\n%end\n";
    auto run_with = [&](const std::string& fault) {
        write_file(path, before);
        return run_zanek(dir, phase, "phase.cmd", "phase.lis", fault.empty() ? "" : "ZANEK_WRITE_FAULT=" + fault);
    };
    ASSERT_EQ(run_with("").exit_code, 1);
    const std::string deleted = read_file(path);
    const int writes = writes_of_run([&](int k) { return run_with("kill:" + std::to_string(k)).exit_code; });
    ASSERT_GE(writes, 3);
    // Every fourth write, and the last: the deletion's own writes come
    // after most of the command's, over many writes.
    for (int k = 1; k <= writes; k = k + 4 > writes && k < writes ? writes : k + 4) {
        SCOPED_TRACE("disc full from write " + std::to_string(k));
        const RunResult r = run_with("full:" + std::to_string(k));
        EXPECT_TRUE(r.exit_code == 1 || r.exit_code == 2) << r.exit_code << r.output;
        const std::string now = read_file(path);
        EXPECT_TRUE(now == before || now == deleted);
        EXPECT_TRUE(working_copies(dir, kJob).empty());
        if (HasFailure()) return;
    }
}

}  // namespace
