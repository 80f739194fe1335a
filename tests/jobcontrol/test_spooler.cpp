// The spooler reading one job of a command file in process: the limit of
// 100 directive lines a job, and the window size of %window. The job is
// read as a later job of a run, so that the spooler returns once the job's
// input is read, without opening a structure file. Which lines ask for the
// check of the scattering factors file shows only in the preamble of a
// first job, which is read with a structure file of the test's own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "jobcontrol/records/job.h"
#include "jobcontrol/store/safeguard.h"
#include "jobcontrol/text.h"
#include "jobcontrol/zanek.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

using namespace zanek;

namespace {

// The working folder, for as long as it lives.
class InFolder {
public:
    explicit InFolder(const std::string& dir) : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() {
        std::error_code ignored;
        std::filesystem::current_path(before_, ignored);
    }

private:
    std::filesystem::path before_;
};

// The logical directory crysdir, for as long as it lives.
class CrysdirAt {
public:
    explicit CrysdirAt(const std::string& prefix) {
        const char* had = std::getenv("CRYSDIR");
        had_ = had != nullptr;
        if (had_) before_ = had;
        setenv("CRYSDIR", prefix.c_str(), 1);
    }
    ~CrysdirAt() {
        if (had_) setenv("CRYSDIR", before_.c_str(), 1);
        else unsetenv("CRYSDIR");
    }

private:
    bool had_ = false;
    std::string before_;
};

class Spooler : public ::testing::Test {
protected:
    void SetUp() override {
        reset_job_records();
        dir_ = test::fresh_dir(std::string("spooler_") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        set_listing_unit(2);
        ASSERT_EQ(units().open_seq(2, dir_ + "/out.lis", OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    }
    void TearDown() override {
        units().close(1);
        units().close(2);
    }

    // Reads one job of the command text; returns the spooler's status.
    int read_job(const std::string& commands) {
        open_commands(commands);
        std::string line(80, ' ');
        int new_file = 0, job_count = 1, export_flag = 0, status = 0;
        SPOOLR(line, new_file, job_count, export_flag, status);
        return status;
    }
    // Reads the command text as the first job of a run (structure file
    // struct.bin, and crysdir, in the test's folder, which holds no
    // scattering factors file); returns the spooler's status.
    int read_first_job(const std::string& commands) {
        reset_run_records();
        open_commands(commands);
        // The structure file is named in the folder: a name has 80
        // characters at most.
        InFolder here(dir_);
        CrysdirAt crysdir(dir_ + "/");
        DOTDAT.name[1] = padded("struct.bin", 80);
        std::string line(80, ' ');
        int new_file = 0, job_count = -1, export_flag = 0, status = 0;
        SPOOLR(line, new_file, job_count, export_flag, status);
        settle_structure_file();
        units().close(IMPL.I(implw::kStructureUnit));
        let_go_structure_file();
        return status;
    }
    void open_commands(const std::string& commands) {
        const std::string path = dir_ + "/job.cmd";
        test::write_file(path, commands);
        units().close(1);
        EXPECT_EQ(units().open_seq(1, path, OpenStatus::Old, FileForm::Formatted), IO_OK);
    }
    std::string listing() {
        units().flush(2);
        return test::read_file(dir_ + "/out.lis");
    }

    std::string dir_;
};

// Directive lines "nqua 1" .. "nqua n", split among the given commands.
std::string directives(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i) s += "nqua " + std::to_string(i) + "\n";
    return s;
}

// A job holds at most 100 directive lines, counted over all its commands:
// the 100th is stored, the 101st refused with the message.
TEST_F(Spooler, HundredDirectiveLinesAJobAndNotOneMore) {
    struct Case {
        const char* what;
        std::string job;
        int status, stored;
    };
    const Case cases[] = {
        {"100 lines to one command", "%quartets\n" + directives(1, 100) + "%end\n", 0, 100},
        {"100 lines over two commands", "%quartets\n" + directives(1, 60) + "%history\n" + directives(61, 100) + "%end\n",
         0, 100},
        {"101 lines", "%quartets\n" + directives(1, 101) + "%end\n", -2, 100},
        {"101 lines over two commands", "%quartets\n" + directives(1, 50) + "%history\n" + directives(51, 101) + "%end\n",
         -2, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        EXPECT_EQ(read_job(c.job), c.status);
        EXPECT_EQ(COMDIR.I(comdir::kCursor), c.stored);
        EXPECT_EQ(rtrim(CHARA.line(100)), "nqua 100");
        const bool refused = listing().find(" more than 100 directives used \n check for missing  %end or %continue") !=
                             std::string::npos;
        EXPECT_EQ(refused, c.status != 0) << listing();
        if (c.status == 0) {
            int lines = 0;
            for (int k = 1; k <= COMDIR.I(comdir::kCount); ++k) lines += comdir::directive_lines(k);
            EXPECT_EQ(lines, 100);
        }
    }
}

// %window sets the window to the first number as width and the second as
// height (pixels less one), each at least 639 by 479; with other than two
// numbers the size stays; window mode is on in every case.
TEST_F(Spooler, WindowSizeFromItsTwoNumbers) {
    struct Case {
        const char* line;
        int width, height;
    };
    const Case cases[] = {
        {"%window 800 700", 800, 700},
        {"%window 700 800", 700, 800},
        {"%window 1024 300", 1024, 479},
        {"%window 300 600", 639, 600},
        {"%window 300 200", 639, 479},
        {"%window 800", 639, 479},
        {"%window 800 700 600", 639, 479},
        {"%window", 639, 479},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        reset_job_records();
        EXPECT_EQ(read_job(std::string(c.line) + "\n%end\n"), 0);
        EXPECT_EQ(SCREEN.I(screenw::kWidth), c.width);
        EXPECT_EQ(SCREEN.I(screenw::kHeight), c.height);
        EXPECT_EQ(SCREEN.I(screenw::kMode), 1);
    }
}

// A line whose first word begins with "cont", and a reflection file whose
// name begins with "cont", make the first job check the scattering factors
// file; with none in reach the check fails and the run ends in error. Other
// lines leave the file unread.
TEST_F(Spooler, LinesThatAskForTheScatteringFactorsFile) {
    struct Case {
        const char* line;
        bool checked;
    };
    const Case cases[] = {
        {"cont c 4", true},
        {"CONTENTS C 4", true},
        {"refl content.hkl", true},
        {"reflections CONT.hkl", true},
        {"refl data.hkl", false},
        {"refl follow", false},
        {"cell cont", false},
    };
    const std::string open_error = " *** error ***  open error, code =";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TearDown();
        SetUp();
        EXPECT_EQ(read_first_job("%history\n" + std::string(c.line) + "\n%end\n"), c.checked ? -2 : 0);
        const std::string text = listing();
        EXPECT_EQ(text.find(open_error) != std::string::npos, c.checked) << text;
        EXPECT_EQ(text.find("file is crysdir:form.dat") != std::string::npos, c.checked) << text;
        // The preamble is written whole either way.
        EXPECT_NE(text.find("Direct access structure file has been initialized"), std::string::npos) << text;
    }
}

}  // namespace
