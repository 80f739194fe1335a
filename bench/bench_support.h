// Set-up shared by the benchmarks: a fresh run in a folder of its own with a
// new structure file, the listing in bench.lis, and commands queued and run
// as the dispatcher runs them.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "jobcontrol/records/job.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/text.h"
#include "jobcontrol/zanek.h"
#include "platform/listing.h"
#include "platform/units.h"

namespace zanek::bench {

// The folders a benchmark program made in the temporary folder, removed
// with all they hold when the program ends: a pass of the benchmarks
// leaves no structure file, listing or map behind.
class MadeFolders {
public:
    MadeFolders() = default;
    MadeFolders(const MadeFolders&) = delete;
    MadeFolders& operator=(const MadeFolders&) = delete;
    ~MadeFolders() {
        namespace fs = std::filesystem;
        std::error_code ec;
        // Out of them first: a run leaves the last one current.
        fs::current_path(fs::temp_directory_path(ec), ec);
        for (const std::string& dir : dirs_) fs::remove_all(dir, ec);
    }
    void add(const std::string& dir) {
        if (std::find(dirs_.begin(), dirs_.end(), dir) == dirs_.end()) dirs_.push_back(dir);
    }

private:
    std::vector<std::string> dirs_;
};

inline MadeFolders& made_folders() {
    static MadeFolders folders;
    return folders;
}

// A fresh empty folder <tmp>/zanek_bench_<tag> (what an earlier pass left
// there is removed), removed again when the program ends.
inline std::string fresh_folder(const std::string& tag) {
    namespace fs = std::filesystem;
    const std::string dir = (fs::temp_directory_path() / ("zanek_bench_" + tag)).string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    made_folders().add(dir);
    return dir;
}

// A fresh folder <tmp>/zanek_bench_<tag>, made the current one, with the
// records at their start values and the listing in bench.lis; the
// structure file struct.bin (not yet opened). Returns the folder.
inline std::string fresh_run_folder(const std::string& tag) {
    units().close(30);
    units().close(2);
    let_go_structure_file();
    const std::string dir = fresh_folder(tag);
    std::filesystem::current_path(dir);
    setenv("CRYSDIR", ZANEK_SOURCE_DIR "/data/", 1);
    reset_run_records();
    set_listing_unit(2);
    units().open_seq(2, dir + "/bench.lis", OpenStatus::Unknown, FileForm::Formatted);
    DOTDAT.name[1] = padded("struct.bin", 80);
    DOTDAT.name[3] = padded("struct.ins", 80);
    DOTDAT.name[4] = padded("struct.plt", 80);
    return dir;
}

// A fresh run with a new struct.bin open as the structure file. With a test
// job named, its data.hkl is copied there. Returns the folder.
inline std::string start_run(const std::string& tag, const std::string& job = "") {
    const std::string dir = fresh_run_folder(tag);
    if (!job.empty())
        std::filesystem::copy_file(std::string(ZANEK_SOURCE_DIR) + "/tests/jobs/" + job + "/data.hkl", dir + "/data.hkl");
    int new_file = 0;
    open_structure_file(true, new_file);
    return dir;
}

// The whole of a file.
inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh run on a structure file holding bytes, opened as a later run
// opens it (its index loaded).
inline void reopen_run(const std::string& tag, const std::string& bytes) {
    const std::string dir = fresh_run_folder(tag);
    std::ofstream(dir + "/struct.bin", std::ios::binary) << bytes;
    int new_file = 0;
    open_structure_file(false, new_file);
}

// Queues one command with its directive lines as command 1 of a job.
inline void queue_one(int code, const std::vector<std::string>& lines) {
    COMDIR.clear();
    comdir::code(1) = code;
    comdir::directive_lines(1) = static_cast<int>(lines.size());
    COMDIR.I(comdir::kCount) = 1;
    COMDIR.I(comdir::kRunning) = 1;
    for (std::size_t k = 0; k < lines.size(); ++k) CHARA.set_line(static_cast<int>(k) + 1, lines[k]);
    XLIMI.I(xlimi::kListBase) = 1;
}

// Queues one command and runs it; returns its status.
inline int run_one(int code, const std::vector<std::string>& lines) {
    queue_one(code, lines);
    int status = 0, job_count = 0;
    run_command(code, 0, job_count, status);
    return status;
}

// The %data directive lines of a test job (its reflections in data.hkl).
inline std::vector<std::string> data_directives(const std::string& job) {
    std::ifstream in(std::string(ZANEK_SOURCE_DIR) + "/tests/jobs/" + job + "/job.cmd");
    std::vector<std::string> out;
    bool in_data = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '%') {
            in_data = line.rfind("%data", 0) == 0;
            continue;
        }
        if (in_data) out.push_back(line);
    }
    return out;
}

// %data and %normal of a test job in a fresh run; false when either fails.
inline bool data_and_normal(const std::string& tag, const std::string& job) {
    start_run(tag, job);
    if (run_one(23, data_directives(job)) < 0) return false;
    return run_one(1, {}) >= 0;
}

}  // namespace zanek::bench
