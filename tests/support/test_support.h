// Helpers shared by the test programs: temporary folders, files, and runs
// of the built program on a command file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace zanek::test {

// A fresh empty folder under the build tree for one test.
std::string fresh_dir(const std::string& name);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
std::vector<std::string> split_lines(const std::string& text);
bool file_exists(const std::string& path);

struct RunResult {
    int exit_code = 0;
    std::string listing;  // contents of the listing file
    std::string output;   // what the program wrote to the console
};

// Runs `zanek <cmd> <lis>` inside dir with the clock fixed and CRYSDIR set to
// the project's data folder; cmd_text is written to dir/job.cmd first.
RunResult run_zanek(const std::string& dir, const std::string& cmd_text,
                    const std::string& cmd_name = "job.cmd", const std::string& lis_name = "job.lis",
                    const std::string& extra_env = "");

// A run that met a failure it could not go on from ended in error (exit 1)
// or in a stop (exit 2) whose text (" STOP 100", or " STOP " for any) is on
// the console; its listing, unless the run said it was lost, ends with the
// line that says which.
::testing::AssertionResult ended_in_error_or_stop(const RunResult& r, const std::string& stop);

// Starts `zanek job.cmd job.lis` inside dir in a process of its own, as
// run_zanek does (its console output to dir/console.out), with the write
// seam's faults when given and, with open_umask, a umask of 0 (so that a
// file made with too wide a mode shows it); the caller waits for it.
pid_t start_zanek(const std::string& dir, const std::string& faults = "", bool open_umask = false);
// Waits for the process; its exit code, -1 when it did not exit.
int exit_code_of(pid_t pid);
// The same, waiting at most seconds: a process still running then is
// killed and gives -2, so that a run that waits for ever fails its test
// instead of hanging it.
int exit_code_within(pid_t pid, int seconds);

// The fixed clock text used by run_zanek.
constexpr const char* kFixedClock = "Thu Dec 10 12:00:00 2026";

// The %data directive lines of a test job's command file (job<kind>.cmd,
// kind "" or "_known").
std::vector<std::string> test_job_data_directives(const std::string& job, const std::string& kind = "");

// A copy of a test job of tests/jobs (its command file and data) in
// a fresh folder; with window, its %nowindow turned into %window.
std::string job_copy(const std::string& folder, const std::string& job, bool window);

// A test job's command file cut into jobs of one command each: every job
// starts with the lines before the first queued command (%job, %structure,
// %nowindow) and ends with %end, so that running them in turn, one run
// each, carries the work from run to run through the structure file.
std::vector<std::string> one_command_jobs(const std::string& job);

// One atom of a test job's true structure (truth.res).
struct TrueAtom {
    std::string label, element;
    double x, y, z;
};
std::vector<TrueAtom> true_atoms(const std::string& job);
// The directive lines of %normal that give atoms as a known fragment:
// "part", then one line per atom (element symbol, x, y, z).
std::vector<std::string> fragment_directives(const std::vector<TrueAtom>& atoms);

// Reading a structure file's bytes as a later run reads them: store address
// a lies at byte 8192*(a div 512) + 4*(a mod 512), a little-endian 4-byte
// word; row t of the list-type table starts at store address 1650 + 6t, its
// first word is t while the list is present, its third the list's first
// address and its sixth the list's length.
std::size_t store_byte(int addr);
int32_t word_at(const std::string& bytes, int addr);
void put_word(std::string& bytes, int addr, uint32_t u);
// Store address of word w of stored list t.
int list_word_address(const std::string& bytes, int type, int word);
// The file as a reader of its index sees it: the index header and the
// list-type table (store addresses 1600 to 1889), and the words of every
// list the table names.
struct StoredLists {
    std::array<int32_t, 290> index{};
    std::map<int, std::string> words;  // list type -> its words, as stored
};
StoredLists stored_lists(const std::string& bytes);

// The count of events (writes, flushes to the disc, renames; a kill counts
// no reads) of a run under the write seam. exit_code_when_killed_at(k) runs it, from the same
// start each time, with ZANEK_WRITE_FAULT=kill:k and gives its exit code:
// the run is killed (kSeamExitCode) at every event up to its last and ends
// by itself from one past the last on. The first k not killed is found by
// doubling k, then halving the span between the last kill and it.
int writes_of_run(const std::function<int(int k)>& exit_code_when_killed_at);
// The count of events of a run under a fault of any kind, found the same
// way: fault_met_at(k) runs it from the same start with the fault at event
// k and tells whether the run met it, which it does at every event up to
// the last and at none past it.
int events_of_run(const std::function<bool(int k)>& fault_met_at);

// The working copies beside the structure file name.bin in dir (a run
// that ended during a command left them, or a command is storing).
std::vector<std::string> working_copies(const std::string& dir, const std::string& name);

// Reads numbers and words out of what the program printed, one piece after
// another from a position in the text. Each step reads the piece it names
// there and moves past it, or returns false, after which the scanner is of
// no further use. White space is any of " \t\n\v\f\r", so that a piece may
// follow the one before it on the next line.
class TextScanner {
public:
    explicit TextScanner(std::string_view text, std::size_t at = 0) : text_(text), at_(at) {}
    std::size_t position() const { return at_; }

    bool literal(std::string_view s);
    bool spaces();                                  // none or more: always true
    bool some_spaces();                             // at least one
    bool digits(std::string* out = nullptr);        // one or more decimal digits
    bool integer(std::string* out = nullptr);       // digits, maybe after a minus sign
    bool decimal(std::string* out = nullptr);       // an integer, a point and digits
    bool run_of(std::string_view chars, std::string* out = nullptr);  // one or more of chars
    // Skips any text on the current line up to the last s there after which
    // read_on succeeds, and moves past s and what read_on read.
    bool skip_to_last_on_line(std::string_view s, const std::function<bool(TextScanner&)>& read_on);

private:
    // One or more characters that fit, into out when given.
    bool take_run(const std::function<bool(char)>& fits, std::string* out);

    std::string_view text_;
    std::size_t at_;
};

// The characters of a number as the listing prints it in an F field.
constexpr std::string_view kFixedNumberChars = "-0123456789.";

// Reads every record of text that begins with head, in order: read gets a
// scanner just past the head and returns whether the record there is whole.
// The search for the next head goes on from the end of a whole record, or
// from one character past the start of a head whose record was not.
void for_each_record(std::string_view text, std::string_view head,
                     const std::function<bool(TextScanner&)>& read);

std::string source_dir();   // root of the project
std::string jobs_dir();     // the test jobs, tests/jobs

}  // namespace zanek::test
