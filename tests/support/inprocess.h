// A job run in-process on a fresh structure file: the commands and their
// directive lines are queued as the spooler queues them, run through the
// dispatcher's command step, the listing goes to a file, and the stored
// lists can be read back with the list loaders.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/word.h"

namespace zanek::test {

// One list-7 record as SNR07 gives it.
struct List7Record {
    int h, k, l;
    float key;  // word 2: the sort key, E after %normal
    float fo;
    float a, b;  // the packed pair of word 4
    int phase_word;
    float sigma;
    int code() const { return phase_word & 31; }
    int restriction() const { return phase_word % 32; }
    int phase() const { return (phase_word / 32) % 1024; }
};

class InProcessJob : public ::testing::Test {
protected:
    static constexpr int kStoreUnit = 30, kListingUnit = 2, kCommandUnit = 1;
    std::string dir, lis;

    // prefix names the test's folder: <prefix>_<suite>_<test>.
    explicit InProcessJob(std::string prefix = "job") : prefix_(std::move(prefix)) {}
    void SetUp() override;
    void TearDown() override;

    // Queues the commands (code, directive lines) as one job; the lines
    // after the job's commands (for "refl foll") come from `following`.
    void queue(const std::vector<std::pair<int, std::vector<std::string>>>& cmds, const std::string& following = "");
    // Runs command number c of the queue as the dispatcher does.
    int dispatch(int c);
    // Runs the queue from its first command; stops at a failed command and
    // returns its status.
    int run_queue();

    std::string listing();
    bool listed(const std::string& text) { return listing().find(text) != std::string::npos; }
    std::vector<std::string> lines();
    bool stored(int type);
    std::vector<List7Record> list7();
    static const List7Record* find(const std::vector<List7Record>& recs, int h, int k, int l);

private:
    std::string prefix_;
    std::string old_cwd_;
};

// A reflection line in the default format (3i4,2f8.2), and with a phase.
std::string hkl(int h, int k, int l, double fo, double sigma);
std::string hklp(int h, int k, int l, double fo, double sigma, double phase);

inline std::vector<std::string> with(std::vector<std::string> v, std::initializer_list<std::string> more) {
    v.insert(v.end(), more.begin(), more.end());
    return v;
}

}  // namespace zanek::test
