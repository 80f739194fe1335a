// The write seam itself: what each fault does to the steps of the
// durable-file layer, and what a power cut leaves on the disc. The seam
// reads its environment once per process, so every case runs the layer in
// a small program of its own (seam_probe), on files made beforehand (and
// so on the disc), and looks at what each step answered and at the folder
// afterwards.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "platform/durable.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAnyBytes = "*";  // the file is there, whatever it holds

struct SeamCase {
    const char* name;
    const char* env;  // the environment of the probe
    std::map<std::string, std::string> before;  // the folder before, on the disc
    std::vector<std::string> steps;
    std::vector<std::string> answers;  // of the steps the probe got through
    int exit_code;
    std::map<std::string, std::string> after;  // the whole folder afterwards
};

void PrintTo(const SeamCase& c, std::ostream* os) { *os << c.name; }

struct ProbeRun {
    int exit_code = -1;
    std::vector<std::string> answers;
};

std::string quoted(const std::string& s) { return "'" + s + "'"; }

ProbeRun run_probe(const std::string& dir, const std::string& env, const std::vector<std::string>& steps) {
    std::string cmd = "cd " + quoted(dir) + " && env " + env + " " + quoted(SEAM_PROBE_EXE);
    for (const std::string& step : steps) cmd += " " + quoted(step);
    cmd += " > ../probe.out 2>&1";
    const int rc = std::system(cmd.c_str());
    ProbeRun run;
    run.exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.answers = split_lines(read_file(dir + "/../probe.out"));
    return run;
}

std::map<std::string, std::string> folder_contents(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir))
        files[entry.path().filename().string()] = read_file(entry.path().string());
    return files;
}

class Seam : public ::testing::TestWithParam<SeamCase> {};

TEST_P(Seam, StepsAnswerAndTheFolderHoldsWhatTheFaultLeaves) {
    const SeamCase& c = GetParam();
    const std::string dir = fresh_dir(std::string("seam_") + c.name) + "/disc";
    fs::create_directories(dir);
    for (const auto& [name, bytes] : c.before) write_file(dir + "/" + name, bytes);
    const ProbeRun run = run_probe(dir, c.env, c.steps);
    EXPECT_EQ(run.answers, c.answers);
    EXPECT_EQ(run.exit_code, c.exit_code);
    std::map<std::string, std::string> now = folder_contents(dir);
    for (const auto& [name, bytes] : c.after)
        if (bytes == kAnyBytes && now.count(name)) now[name] = kAnyBytes;
    EXPECT_EQ(now, c.after);
}

const std::string kOk = "ok";
constexpr int kEnded = kSeamExitCode;

// (The write of x to a new file c is a step that only marks an event.)
const SeamCase kPowerCuts[] = {
    {"cut_loses_an_unflushed_rename_over_a_file", "ZANEK_WRITE_FAULT=cut:2", {{"a", "old a"}, {"b", "old b"}},
     {"rename a b", "write c 0 x"}, {kOk}, kEnded, {{"a", "old a"}, {"b", "old b"}}},
    {"cut_loses_an_unflushed_rename_to_a_new_name", "ZANEK_WRITE_FAULT=cut:2", {{"a", "old a"}},
     {"rename a b", "write c 0 x"}, {kOk}, kEnded, {{"a", "old a"}}},
    {"cut_keeps_a_rename_made_before_a_folder_flush", "ZANEK_WRITE_FAULT=cut:3", {{"a", "old a"}, {"b", "old b"}},
     {"rename a b", "syncdir", "write c 0 x"}, {kOk, kOk}, kEnded, {{"b", "old a"}}},
    {"cut_keeps_a_flushed_write_and_loses_the_later_ones", "ZANEK_WRITE_FAULT=cut:4", {{"f", "abcdef"}},
     {"write f 0 XY", "sync f", "write f 2 ZZZZZZ", "write f 4 Q"}, {kOk, kOk, kOk}, kEnded, {{"f", "XYcdef"}}},
    {"cut_loses_an_unflushed_exchange", "ZANEK_WRITE_FAULT=cut:2", {{"a", "A"}, {"b", "B"}},
     {"exchange a b", "write c 0 x"}, {kOk}, kEnded, {{"a", "A"}, {"b", "B"}}},
    {"cut_after_an_exchange_taken_back_leaves_both_names", "ZANEK_WRITE_FAULT=cut:3", {{"a", "A"}, {"b", "B"}},
     {"exchange a b", "takeback a b", "write c 0 x"}, {kOk, kOk}, kEnded, {{"a", "A"}, {"b", "B"}}},
    {"cut_loses_the_taking_back_of_a_flushed_exchange", "ZANEK_WRITE_FAULT=cut:4", {{"a", "A"}, {"b", "B"}},
     {"exchange a b", "syncdir", "takeback a b", "write c 0 x"}, {kOk, kOk, kOk}, kEnded, {{"a", "B"}, {"b", "A"}}},
    {"cut_loses_an_unflushed_second_name", "ZANEK_WRITE_FAULT=cut:1", {{"a", "A"}},
     {"link a b", "write c 0 x"}, {kOk}, kEnded, {{"a", "A"}}},
    {"cut_keeps_a_second_name_made_before_a_folder_flush", "ZANEK_WRITE_FAULT=cut:2", {{"a", "A"}},
     {"link a b", "syncdir", "write c 0 x"}, {kOk, kOk}, kEnded, {{"a", "A"}, {"b", "A"}}},
};
INSTANTIATE_TEST_SUITE_P(PowerCut, Seam, ::testing::ValuesIn(kPowerCuts),
                         [](const auto& info) { return std::string(info.param.name); });

// The file f is 64 KiB long with data in its first block only: the rest is
// a hole.
const SeamCase kFullDiscs[] = {
    {"full_disc_fails_writes_into_a_hole_or_past_the_end", "ZANEK_WRITE_FAULT=full:1", {{"f", "abc"}},
     {"length f 65536", "write f 0 XY", "write f 32768 XY", "write f 70000 XY", "rename f g", "sync f"},
     {kOk, kOk, "ENOSPC", "ENOSPC", "ENOSPC", kOk}, 0, {{"f", kAnyBytes}}},
    {"full_disc_for_one_event", "ZANEK_WRITE_FAULT=full:2:1", {{"f", "abc"}},
     {"write f 3 X", "write f 4 Y", "write f 4 Z"}, {kOk, "ENOSPC", kOk}, 0, {{"f", "abcXZ"}}},
};
INSTANTIATE_TEST_SUITE_P(FullDisc, Seam, ::testing::ValuesIn(kFullDiscs),
                         [](const auto& info) { return std::string(info.param.name); });

// A copy that failed leaves the new file its length, and no data.
const std::string kUncopied(6, '\0');
const std::vector<std::string> kReadsAndWrites = {"read f 0 3", "write f 0 XY", "read f 0 2", "sync f", "copy f g",
                                                  "syncdir", "rename f h"};
const SeamCase kFailingDiscs[] = {
    {"readfail_fails_reads_and_copies_not_writes", "ZANEK_WRITE_FAULT=readfail:1", {{"f", "abcdef"}}, kReadsAndWrites,
     {"EIO", kOk, "EIO", kOk, "EIO", kOk, kOk}, 0, {{"g", kUncopied}, {"h", "XYcdef"}}},
    {"fail_fails_reads_and_writes", "ZANEK_WRITE_FAULT=fail:1", {{"f", "abcdef"}}, kReadsAndWrites,
     {"EIO", "EIO", "EIO", "EIO", "EIO", "EIO", "EIO"}, 0, {{"f", "abcdef"}, {"g", kUncopied}}},
    {"readfail_for_one_event", "ZANEK_WRITE_FAULT=readfail:2:1", {{"f", "abcdef"}},
     {"read f 0 3", "read f 0 3", "read f 0 3"}, {"ok abc", "EIO", "ok abc"}, 0, {{"f", "abcdef"}}},
    {"readfail_counts_writes_as_events", "ZANEK_WRITE_FAULT=readfail:2:1", {{"f", "abcdef"}},
     {"write f 0 XY", "read f 0 3", "read f 0 3"}, {kOk, "EIO", "ok XYc"}, 0, {{"f", "XYcdef"}}},
    {"fail_for_two_events", "ZANEK_WRITE_FAULT=fail:2:2", {{"f", "abcdef"}},
     {"read f 0 3", "write f 0 XY", "read f 0 3", "write f 0 XY"}, {"ok abc", "EIO", "EIO", kOk}, 0,
     {{"f", "XYcdef"}}},
    {"kill_counts_no_reads", "ZANEK_WRITE_FAULT=kill:2", {{"f", "abcdef"}},
     {"write f 0 XY", "read f 0 2", "read f 0 2", "write f 2 Z"}, {kOk, "ok XY", "ok XY"}, kEnded,
     {{"f", "XYcdef"}}},
    {"fail_fails_the_file_flush", "ZANEK_WRITE_FAULT=fail:2:1", {{"f", "abcdef"}},
     {"write f 0 XY", "sync f", "sync f"}, {kOk, "EIO", kOk}, 0, {{"f", "XYcdef"}}},
    {"fail_fails_the_folder_flush", "ZANEK_WRITE_FAULT=fail:1:1", {}, {"syncdir", "syncdir"}, {"EIO", kOk}, 0, {}},
    {"two_faults_on_one_count", "ZANEK_WRITE_FAULT=fail:2:1,kill:4", {{"f", "abcdef"}},
     {"write f 0 X", "write f 1 Y", "write f 2 Z", "write f 3 W"}, {kOk, "EIO", kOk}, kEnded, {{"f", "XbZdef"}}},
};
INSTANTIATE_TEST_SUITE_P(FailingDisc, Seam, ::testing::ValuesIn(kFailingDiscs),
                         [](const auto& info) { return std::string(info.param.name); });

// The disc fails under the flush itself (PROBE_FLUSH_FAILS: the real call
// answers EIO, after the seam let it through): the flush fails, and a power
// cut then loses what it was to put on the disc.
const SeamCase kFailedFlushes[] = {
    {"file_flush_that_failed_is_not_done", "PROBE_FLUSH_FAILS=1 ZANEK_WRITE_FAULT=cut:3", {{"f", "abcdef"}},
     {"write f 0 XY", "sync f", "write c 0 x"}, {kOk, "EIO"}, kEnded, {{"f", "abcdef"}}},
    {"folder_flush_that_failed_is_not_done", "PROBE_FLUSH_FAILS=1 ZANEK_WRITE_FAULT=cut:3",
     {{"a", "old a"}, {"b", "old b"}}, {"rename a b", "syncdir", "write c 0 x"}, {kOk, "EIO"}, kEnded,
     {{"a", "old a"}, {"b", "old b"}}},
};
INSTANTIATE_TEST_SUITE_P(FailedFlush, Seam, ::testing::ValuesIn(kFailedFlushes),
                         [](const auto& info) { return std::string(info.param.name); });

const SeamCase kExchanges[] = {
    {"exchange_swaps_the_files", "", {{"a", "A"}, {"b", "B"}}, {"exchange a b"}, {kOk}, 0, {{"a", "B"}, {"b", "A"}}},
    {"no_exchange_einval_refuses_counting_no_event", "ZANEK_NO_EXCHANGE=EINVAL ZANEK_WRITE_FAULT=kill:1",
     {{"a", "A"}, {"b", "B"}}, {"exchange a b", "write c 0 x"}, {"EINVAL"}, kEnded,
     {{"a", "A"}, {"b", "B"}, {"c", ""}}},
    {"no_exchange_enosys_refuses_counting_no_event", "ZANEK_NO_EXCHANGE=ENOSYS ZANEK_WRITE_FAULT=kill:1",
     {{"a", "A"}, {"b", "B"}}, {"exchange a b", "write c 0 x"}, {"ENOSYS"}, kEnded,
     {{"a", "A"}, {"b", "B"}, {"c", ""}}},
    {"taking_back_is_an_event_that_can_fail", "ZANEK_WRITE_FAULT=fail:2:1", {{"a", "A"}, {"b", "B"}},
     {"exchange a b", "takeback a b", "takeback a b"}, {kOk, "EIO", kOk}, 0, {{"a", "A"}, {"b", "B"}}},
    {"taking_back_is_an_event_a_kill_can_end", "ZANEK_WRITE_FAULT=kill:2", {{"a", "A"}, {"b", "B"}},
     {"exchange a b", "takeback a b"}, {kOk}, kEnded, {{"a", "B"}, {"b", "A"}}},
    {"a_second_name_is_no_event", "ZANEK_WRITE_FAULT=kill:1", {{"a", "A"}},
     {"link a b", "write c 0 x"}, {kOk}, kEnded, {{"a", "A"}, {"b", "A"}, {"c", ""}}},
    {"rename_to_a_new_name_never_replaces", "", {{"a", "A"}, {"b", "B"}}, {"renamenew a b", "renamenew a c"},
     {"EEXIST", kOk}, 0, {{"b", "B"}, {"c", "A"}}},
    {"rename_to_a_new_name_by_a_second_name_where_the_file_system_cannot_refuse", "ZANEK_NO_EXCHANGE=EINVAL",
     {{"a", "A"}, {"b", "B"}}, {"renamenew a b", "renamenew a c"}, {"EEXIST", kOk}, 0, {{"b", "B"}, {"c", "A"}}},
    {"rename_to_a_new_name_is_an_event", "ZANEK_WRITE_FAULT=fail:1:1", {{"a", "A"}},
     {"renamenew a b", "renamenew a b"}, {"EIO", kOk}, 0, {{"b", "A"}}},
    {"cut_loses_an_unflushed_rename_to_a_new_name_by_a_second_name",
     "ZANEK_NO_EXCHANGE=EINVAL ZANEK_WRITE_FAULT=cut:2", {{"a", "A"}}, {"renamenew a b", "write c 0 x"}, {kOk},
     kEnded, {{"a", "A"}}},
};
INSTANTIATE_TEST_SUITE_P(Names, Seam, ::testing::ValuesIn(kExchanges),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zanek::test
