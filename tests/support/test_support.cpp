#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zanek::test {

std::string source_dir() { return ZANEK_SOURCE_DIR; }
std::string shared_dir() { return ZANEK_SHARED_DIR; }

std::string fresh_dir(const std::string& name) {
    // ctest runs test cases as parallel processes: each process gets folders
    // of its own.
    fs::path p = fs::path(ZANEK_TEST_TMP) / (name + "." + std::to_string(::getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
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
    return r;
}

}  // namespace zanek::test
