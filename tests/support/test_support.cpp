#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/durable.h"

namespace fs = std::filesystem;

namespace zanek::test {

std::string source_dir() { return ZANEK_SOURCE_DIR; }
std::string jobs_dir() { return source_dir() + "/tests/jobs"; }

namespace {

std::vector<fs::path>& created_dirs() {
    static auto* dirs = new std::vector<fs::path>;
    return *dirs;
}

// The folders of a test process are removed when all its tests passed, and
// kept for a look when one failed.
void remove_dirs_if_passed() {
    if (!::testing::UnitTest::GetInstance()->Passed()) return;
    std::error_code ec;
    for (const fs::path& p : created_dirs()) fs::remove_all(p, ec);
}

}  // namespace

std::string fresh_dir(const std::string& name) {
    static const bool cleanup_registered = (std::atexit(remove_dirs_if_passed), true);
    (void)cleanup_registered;
    // ctest runs test cases as parallel processes: each process gets folders
    // of its own.
    fs::path p = fs::path(ZANEK_TEST_TMP) / (name + "." + std::to_string(::getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    created_dirs().push_back(p);
    return p.string();
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool file_exists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

RunResult run_zanek(const std::string& dir, const std::string& cmd_text, const std::string& cmd_name,
                    const std::string& lis_name, const std::string& extra_env) {
    if (!cmd_text.empty()) write_file(dir + "/" + cmd_name, cmd_text);
    std::string out_path = dir + "/console.out";
    std::string cmd = "cd '" + dir + "' && env ZANEK_CLOCK='" + kFixedClock + "' CRYSDIR='" +
                      source_dir() + "/data/' " + extra_env + " '" + ZANEK_EXE + "' " + cmd_name + " " +
                      lis_name + " > console.out 2>&1 < /dev/null";
    int rc = std::system(cmd.c_str());
    RunResult r;
    r.exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    if (lis_name != "con") r.listing = read_file(dir + "/" + lis_name);
    r.output = read_file(out_path);
    // The program itself ends with 0, 1 or 2; 86 is the exit code that
    // `make sanitize` gives a run stopped by the address or undefined-
    // behaviour checker, which fails the test whatever it expects.
    if (r.exit_code == 86) ADD_FAILURE() << "sanitizer report of " << cmd_name << ":\n" << r.output;
    return r;
}

int events_of_run(const std::function<bool(int k)>& fault_met_at) {
    // The fault is met at every event before low; high is the next to try.
    int low = 1, high = 1;
    while (fault_met_at(high)) {
        low = high + 1;
        if (high > (1 << 24)) {
            ADD_FAILURE() << "the run still meets the fault at event " << high << ": the seam counts no end";
            return -1;
        }
        high *= 2;
    }
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (fault_met_at(mid)) low = mid + 1;
        else high = mid;
    }
    return low - 1;
}

pid_t start_zanek(const std::string& dir, const std::string& faults, bool open_umask) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    if (open_umask) ::umask(0);
    const int out = ::open("console.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    ::setenv("ZANEK_CLOCK", kFixedClock, 1);
    ::setenv("CRYSDIR", (source_dir() + "/data/").c_str(), 1);
    if (!faults.empty()) ::setenv("ZANEK_WRITE_FAULT", faults.c_str(), 1);
    ::execl(ZANEK_EXE, ZANEK_EXE, "job.cmd", "job.lis", static_cast<char*>(nullptr));
    ::_exit(127);
}

int exit_code_of(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int exit_code_within(pid_t pid, int seconds) {
    int status = 0;
    for (int waited_ms = 0; waited_ms < seconds * 1000; waited_ms += 20) {
        const pid_t got = ::waitpid(pid, &status, WNOHANG);
        if (got == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (got < 0) return -1;
        ::usleep(20000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -2;
}

int writes_of_run(const std::function<int(int k)>& exit_code_when_killed_at) {
    return events_of_run([&](int k) { return exit_code_when_killed_at(k) == kSeamExitCode; });
}

namespace {

std::string last_line_not_blank(const std::string& text) {
    std::vector<std::string> lines = split_lines(text);
    while (!lines.empty() && lines.back().find_first_not_of(' ') == std::string::npos) lines.pop_back();
    return lines.empty() ? "" : lines.back();
}

}  // namespace

::testing::AssertionResult ended_in_error_or_stop(const RunResult& r, const std::string& stop) {
    if (r.exit_code != 1 && r.exit_code != 2)
        return ::testing::AssertionFailure() << "the run ended with exit code " << r.exit_code << ":\n" << r.output;
    if (r.exit_code == 2 && r.output.find(stop) == std::string::npos)
        return ::testing::AssertionFailure() << "the console does not say \"" << stop << "\":\n" << r.output;
    if (r.output.find(" *** error *** the listing file ") != std::string::npos) return ::testing::AssertionSuccess();
    const std::string last = last_line_not_blank(r.listing);
    const std::string end = r.exit_code == 2 ? stop : " == ZANEK ends in error";
    if (last.find(end) == std::string::npos)
        return ::testing::AssertionFailure() << "the listing ends with \"" << last << "\", not \"" << end << "\"";
    return ::testing::AssertionSuccess();
}

namespace {

// text with every from, left to right, replaced by to.
std::string replace_all(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string job_copy(const std::string& folder, const std::string& job, bool window) {
    const std::string dir = fresh_dir(folder);
    const std::string src = jobs_dir() + "/" + job;
    fs::copy_file(src + "/data.hkl", dir + "/data.hkl");
    std::string cmd = read_file(src + "/job.cmd");
    if (window) cmd = replace_all(cmd, "%nowindow", "%window");
    write_file(dir + "/job.cmd", cmd);
    return dir;
}

std::size_t store_byte(int addr) {
    return 8192 * static_cast<std::size_t>(addr / 512) + 4 * static_cast<std::size_t>(addr % 512);
}

int32_t word_at(const std::string& bytes, int addr) {
    const std::size_t at = store_byte(addr);
    uint32_t u = 0;
    for (int b = 3; b >= 0; --b) u = u << 8 | static_cast<unsigned char>(bytes.at(at + b));
    return static_cast<int32_t>(u);
}

void put_word(std::string& bytes, int addr, uint32_t u) {
    for (int b = 0; b < 4; ++b) bytes.at(store_byte(addr) + b) = static_cast<char>(u >> (8 * b));
}

int list_word_address(const std::string& bytes, int type, int word) {
    return word_at(bytes, 1650 + 6 * type + 2) + word - 1;
}

StoredLists stored_lists(const std::string& bytes) {
    StoredLists s;
    for (int a = 1600; a <= 1889; ++a) s.index[a - 1600] = word_at(bytes, a);
    for (int t = 1; t <= 39; ++t) {
        const int row = 1650 + 6 * t;
        if (word_at(bytes, row) <= 0) continue;
        const int first = word_at(bytes, row + 2), length = word_at(bytes, row + 5);
        std::string& w = s.words[t];
        for (int a = first; a < first + length; ++a) w += bytes.substr(store_byte(a), 4);
    }
    return s;
}

std::vector<std::string> one_command_jobs(const std::string& job) {
    std::ifstream f(jobs_dir() + "/" + job + "/job.cmd");
    std::string head;
    std::vector<std::string> jobs;
    for (std::string line; std::getline(f, line);) {
        std::string key = line.substr(0, std::min<std::size_t>(line.size(), 5));
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool command = !line.empty() && line[0] == '%';
        const bool state_only = key == "%job " || key == "%stru" || key == "%nowi" || key == "%wind";
        if (command && key.rfind("%end", 0) == 0) break;
        if (command && state_only) head += line + "\n";
        else if (command) jobs.push_back(line + "\n");
        else if (!jobs.empty()) jobs.back() += line + "\n";
    }
    for (std::string& j : jobs) j = head + j + "%end\n";
    return jobs;
}

std::vector<std::string> test_job_data_directives(const std::string& job, const std::string& kind) {
    std::ifstream f(jobs_dir() + "/" + job + "/job" + kind + ".cmd");
    std::vector<std::string> out;
    bool in_data = false;
    for (std::string line; std::getline(f, line);) {
        if (!line.empty() && line[0] == '%') {
            in_data = line.rfind("%data", 0) == 0;
            continue;
        }
        if (in_data) out.push_back(line);
    }
    return out;
}

std::vector<TrueAtom> true_atoms(const std::string& job) {
    std::ifstream f(jobs_dir() + "/" + job + "/truth.res");
    std::vector<TrueAtom> atoms;
    std::string line;
    while (std::getline(f, line)) {
        std::istringstream in(line);
        TrueAtom a;
        double occ = 0;
        // An atom line: label, element (one or two letters), x, y, z,
        // occupancy; TITL, CELL and REM lines fail one of these reads.
        if (in >> a.label >> a.element >> a.x >> a.y >> a.z >> occ && a.element.size() <= 2 &&
            std::isalpha(static_cast<unsigned char>(a.element[0])))
            atoms.push_back(a);
    }
    return atoms;
}

std::vector<std::string> fragment_directives(const std::vector<TrueAtom>& atoms) {
    std::vector<std::string> lines = {"part"};
    for (const TrueAtom& a : atoms) {
        std::string el = a.element;
        for (char& c : el) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        char b[96];
        std::snprintf(b, sizeof b, "%s %.5f %.5f %.5f", el.c_str(), a.x, a.y, a.z);
        lines.push_back(b);
    }
    return lines;
}

std::vector<std::string> working_copies(const std::string& dir, const std::string& name) {
    std::vector<std::string> found;
    const std::string prefix = "." + name + ".bin.zanek-work-";
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind(prefix, 0) == 0) found.push_back(e.path().string());
    return found;
}

bool TextScanner::literal(std::string_view s) {
    if (text_.substr(at_, s.size()) != s) return false;
    at_ += s.size();
    return true;
}

bool TextScanner::spaces() {
    some_spaces();
    return true;
}

bool TextScanner::some_spaces() { return take_run(is_space, nullptr); }

bool TextScanner::digits(std::string* out) { return take_run(is_digit, out); }

bool TextScanner::integer(std::string* out) {
    const std::size_t start = at_;
    literal("-");
    if (!digits()) return false;
    if (out) *out = std::string(text_.substr(start, at_ - start));
    return true;
}

bool TextScanner::decimal(std::string* out) {
    const std::size_t start = at_;
    if (!(integer() && literal(".") && digits())) return false;
    if (out) *out = std::string(text_.substr(start, at_ - start));
    return true;
}

bool TextScanner::run_of(std::string_view chars, std::string* out) {
    return take_run([chars](char c) { return chars.find(c) != std::string_view::npos; }, out);
}

bool TextScanner::skip_to_last_on_line(std::string_view s, const std::function<bool(TextScanner&)>& read_on) {
    const std::size_t line_end = std::min(text_.find_first_of("\n\r", at_), text_.size());
    if (line_end < at_ + s.size()) return false;
    for (std::size_t k = line_end - s.size() + 1; k-- > at_;) {
        TextScanner from_k(text_, k);
        if (from_k.literal(s) && read_on(from_k)) {
            at_ = from_k.at_;
            return true;
        }
    }
    return false;
}

bool TextScanner::take_run(const std::function<bool(char)>& fits, std::string* out) {
    const std::size_t start = at_;
    while (at_ < text_.size() && fits(text_[at_])) ++at_;
    if (at_ == start) return false;
    if (out) *out = std::string(text_.substr(start, at_ - start));
    return true;
}

void for_each_record(std::string_view text, std::string_view head,
                     const std::function<bool(TextScanner&)>& read) {
    for (std::size_t at = text.find(head); at != std::string_view::npos;) {
        TextScanner record(text, at + head.size());
        const std::size_t next = read(record) ? record.position() : at + 1;
        at = text.find(head, next);
    }
}

}  // namespace zanek::test
