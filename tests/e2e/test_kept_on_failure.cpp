// A failing command leaves the structure file as it was before it, except
// where the failure itself orders a deletion: a %phase whose every set is
// undetermined removes the phase sets and the model, and they stay removed
// though the command fails and everything else it did is undone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "platform/durable.h"
#include "tests/support/test_support.h"

using namespace zanek::test;

namespace {

namespace fs = std::filesystem;

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

// What a reader of the file finds after the failing %phase: every list and
// the index as before the command, or the same with lists 15 and 16 both
// deleted (only the first word of their rows cleared). One of the two
// deleted without the other would leave phase sets without their model,
// or a model without the sets it was computed from.
::testing::AssertionResult as_before_or_both_deleted(const StoredLists& before, const StoredLists& now) {
    const bool model = now.words.count(15) != 0, sets = now.words.count(16) != 0;
    if (model != sets)
        return ::testing::AssertionFailure() << "list " << (model ? 16 : 15) << " is deleted and list "
                                             << (model ? 15 : 16) << " is kept";
    const bool deleted = !model;
    for (const auto& [type, words] : before.words) {
        if (deleted && (type == 15 || type == 16)) continue;
        const auto it = now.words.find(type);
        if (it == now.words.end()) return ::testing::AssertionFailure() << "list " << type << " is gone";
        if (it->second != words) return ::testing::AssertionFailure() << "list " << type << " has changed";
    }
    if (now.words.size() != before.words.size() - (deleted ? 2 : 0))
        return ::testing::AssertionFailure() << now.words.size() << " lists are stored, " << before.words.size()
                                             << " were before";
    for (int a = kIndexFirst; a <= kIndexLast; ++a) {
        const int was = before.index[a - kIndexFirst], is = now.index[a - kIndexFirst];
        const int want = deleted && (a == type_word(15) || a == type_word(16)) ? 0 : was;
        if (is != want)
            return ::testing::AssertionFailure() << "store address " << a << " holds " << is << ", not " << want;
    }
    return ::testing::AssertionSuccess() << (deleted ? "both deleted" : "both as before");
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
    // Every other list as before, and the index the one before the command
    // with the two lists taken out.
    EXPECT_TRUE(as_before_or_both_deleted(before, after));

    // The next run finds neither phases nor a model.
    RunResult next = run_zanek(dir, kOpenJob + "%history\n%end\n", "next.cmd", "next.lis");
    EXPECT_EQ(next.exit_code, 0) << next.listing;
    const std::string summary = file_summary(next.listing);
    EXPECT_NE(summary.find(" normalized reflections"), std::string::npos) << next.listing;
    EXPECT_NE(summary.find(" positive triplets"), std::string::npos) << summary;
    EXPECT_EQ(summary.find(" sets of phases"), std::string::npos) << summary;
    EXPECT_EQ(summary.find(" coordinates related to set no."), std::string::npos) << summary;
}

// The same failing %phase ended at one of its writes: killed there, cut
// off by a power failure there (what was not yet flushed to the disc is
// lost), or meeting a full disc from there on (writes that need no new room
// still succeed). The deletion that stands is a change of its own, written
// after most of the command's writes; whichever write the fault meets, the
// file is left as before the command or with lists 15 and 16 deleted for
// good, and the next run finds both lists or neither. A run on a full disc
// ends in error or in a stop, never in a crash, and leaves nothing beside
// the file. Every parts-th write from part + 1 on is tried, so that the
// writes of the run are shared among tests that run side by side.
enum class Fault { Kill, Cut, Full };

struct Sweep {
    Fault fault;
    int part, parts;
};

const char* fault_name(Fault f) { return f == Fault::Kill ? "kill" : f == Fault::Cut ? "cut" : "full"; }

void PrintTo(const Sweep& s, std::ostream* os) {
    *os << (s.fault == Fault::Full ? "disc full" : fault_name(s.fault)) << ", part " << s.part + 1 << " of "
        << s.parts;
}

class UndeterminedPhaseMeetsAFault : public ::testing::TestWithParam<Sweep> {
public:
    static std::string name(const Sweep& s) {
        return std::string(fault_name(s.fault)) + "_" + std::to_string(s.part);
    }
};

TEST_P(UndeterminedPhaseMeetsAFault, LeavesBothListsOrNeither) {
    const Sweep sweep = GetParam();
    const std::string dir = folder_with_too_few_relations("kept_phase_" + UndeterminedPhaseMeetsAFault::name(sweep));
    const std::string path = dir + "/" + kBin, before = read_file(path);
    const StoredLists lists_before = stored_lists(before);
    const std::string phase = kOpenJob + "%phase\nseed 12345\n%end\n";
    auto run_with = [&](const std::string& fault) {
        for (const std::string& copy : working_copies(dir, kJob)) fs::remove(copy);
        write_file(path, before);
        return run_zanek(dir, phase, "phase.cmd", "phase.lis", fault.empty() ? "" : "ZANEK_WRITE_FAULT=" + fault);
    };
    ASSERT_EQ(run_with("").exit_code, 1);
    const std::string deleted = read_file(path);
    const StoredLists lists_deleted = stored_lists(deleted);
    ASSERT_TRUE(lists_deleted.words.count(15) == 0 && lists_deleted.words.count(16) == 0);
    const int writes = writes_of_run([&](int k) { return run_with("kill:" + std::to_string(k)).exit_code; });
    ASSERT_GE(writes, 3);
    for (int k = sweep.part + 1; k <= writes; k += sweep.parts) {
        SCOPED_TRACE(std::string(fault_name(sweep.fault)) + " at write " + std::to_string(k) + " of " +
                     std::to_string(writes));
        const RunResult r = run_with(std::string(fault_name(sweep.fault)) + ":" + std::to_string(k));
        if (sweep.fault == Fault::Full) {
            EXPECT_TRUE(r.exit_code == 1 || r.exit_code == 2) << r.exit_code << r.output;
            EXPECT_TRUE(working_copies(dir, kJob).empty());
        } else {
            EXPECT_EQ(r.exit_code, zanek::kSeamExitCode) << r.output;
        }
        const std::string now = read_file(path);
        EXPECT_TRUE(now == before || now == deleted);
        // The next run removes a copy a killed run left, and finds the
        // phase sets and their model together or neither.
        const RunResult next = run_zanek(dir, kOpenJob + "%history\n%end\n", "next.cmd", "next.lis");
        ASSERT_EQ(next.exit_code, 0) << next.listing;
        EXPECT_TRUE(working_copies(dir, kJob).empty());
        const std::string summary = file_summary(next.listing);
        ASSERT_NE(summary.find(" normalized reflections"), std::string::npos) << next.listing;
        EXPECT_EQ(summary.find(" sets of phases") == std::string::npos,
                  summary.find(" coordinates related to set no.") == std::string::npos)
            << summary;
        EXPECT_TRUE(as_before_or_both_deleted(lists_before, stored_lists(read_file(path))));
        if (HasFailure()) return;
    }
}

std::vector<Sweep> every_fault_in_parts() {
    std::vector<Sweep> v;
    constexpr int kParts = 8;
    for (Fault f : {Fault::Kill, Fault::Cut, Fault::Full})
        for (int p = 0; p < kParts; ++p) v.push_back({f, p, kParts});
    return v;
}

INSTANTIATE_TEST_SUITE_P(Writes, UndeterminedPhaseMeetsAFault, ::testing::ValuesIn(every_fault_in_parts()),
                         [](const auto& info) { return UndeterminedPhaseMeetsAFault::name(info.param); });

}  // namespace
