// The queue insertion, the command heading and the results area, run in
// process with the listing captured in a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "jobcontrol/commands.h"
#include "jobcontrol/history.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/zanek.h"
#include "platform/listing.h"
#include "platform/stop.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

using namespace zanek;

namespace {

// Sends the listing to a file for the life of the fixture.
class CapturedListing : public ::testing::Test {
protected:
    void SetUp() override {
        reset_job_records();
        dir_ = test::fresh_dir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        path_ = dir_ + "/out.lis";
        set_listing_unit(2);
        ASSERT_EQ(units().open_seq(2, path_, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    }
    void TearDown() override { units().close(2); }
    std::vector<std::string> lines() {
        units().flush(2);
        return test::split_lines(test::read_file(path_));
    }
    std::string dir_, path_;
};

void queue(std::initializer_list<int> codes) {
    int k = 0;
    for (int c : codes) {
        ++k;
        comdir::code(k) = c;
        comdir::directive_lines(k) = k;  // directive counts, to see them move
    }
    COMDIR.I(comdir::kCount) = k;
}

}  // namespace

using Modque = CapturedListing;

TEST_F(Modque, InsertsBeforeTheRunningCommandAndMovesTheRest) {
    queue({CMD_DATA, CMD_EXPORT, CMD_END});
    COMDIR.I(comdir::kRunning) = 2;
    ASSERT_TRUE(MODQUE("restart", 7));
    EXPECT_EQ(COMDIR.I(comdir::kCount), 4);
    EXPECT_EQ(COMDIR.I(comdir::kRunning), 1);
    std::vector<int> codes, counts;
    for (int k = 1; k <= 4; ++k) {
        codes.push_back(comdir::code(k));
        counts.push_back(comdir::directive_lines(k));
    }
    EXPECT_EQ(codes, (std::vector<int>{CMD_DATA, CMD_RESTART, CMD_EXPORT, CMD_END}));
    EXPECT_EQ(counts, (std::vector<int>{1, 0, 2, 3}));
}

TEST_F(Modque, JobWithoutEndTakesTheInsertion) {
    queue({CMD_EXPORT});
    COMDIR.I(comdir::kRunning) = 1;
    ASSERT_TRUE(MODQUE("restart", 7));
    EXPECT_EQ(comdir::code(1), CMD_RESTART);
    EXPECT_EQ(comdir::code(2), CMD_EXPORT);
    EXPECT_EQ(COMDIR.I(comdir::kCount), 2);
}

TEST_F(Modque, FullQueueIsRefusedWithAMessage) {
    for (int k = 1; k <= kQueueCapacity; ++k) comdir::code(k) = CMD_QUARTETS;
    comdir::code(kQueueCapacity) = CMD_END;
    COMDIR.I(comdir::kCount) = kQueueCapacity;
    COMDIR.I(comdir::kRunning) = 5;
    EXPECT_FALSE(MODQUE("restart", 7));
    EXPECT_EQ(COMDIR.I(comdir::kCount), kQueueCapacity);
    EXPECT_EQ(comdir::code(5), CMD_QUARTETS);
    auto out = lines();
    ASSERT_FALSE(out.empty());
    EXPECT_NE(out[0].find("*** error ***"), std::string::npos);
}

TEST_F(Modque, UnknownKeywordIsAProgrammingError) {
    queue({CMD_EXPORT, CMD_END});
    COMDIR.I(comdir::kRunning) = 1;
    EXPECT_THROW(MODQUE("xyzzy", 5), ZanekStop);
}

using Heading = CapturedListing;

TEST_F(Heading, StandardAndVariants) {
    set_job_title("title");
    const std::string rule(120, '+');
    const std::string title_line = std::string(20, ' ') + "title" + std::string(75, ' ');
    command_heading(" ZANEK : Invariants routine");
    auto a = lines();
    std::vector<std::string> standard = {"", "", "", "1" + rule, "",
                                         " ZANEK : Invariants routine" + std::string(12 + 68, ' ') + "Release  93.02",
                                         "", title_line, " " + rule, ""};
    EXPECT_EQ(a, standard);

    units().close(2);
    ASSERT_EQ(units().open_seq(2, path_, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    command_heading(" ZANEK : Phase routine", HeadingEnd::Standard, 85);
    auto p = lines();
    ASSERT_GE(p.size(), 6u);
    EXPECT_EQ(p[5], " ZANEK : Phase routine" + std::string(85, ' ') + "Release  93.02");
    EXPECT_EQ(p[5].size(), standard[5].size());  // the release text stays right-aligned

    units().close(2);
    ASSERT_EQ(units().open_seq(2, path_, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    command_heading(" fourier routine", HeadingEnd::AfterTitle);
    auto f = lines();
    ASSERT_EQ(f.size(), 8u);
    EXPECT_EQ(f.back(), title_line);

    units().close(2);
    ASSERT_EQ(units().open_seq(2, path_, OpenStatus::Unknown, FileForm::Formatted), IO_OK);
    command_heading(" ZANEK : Vorp-Zan link routine", HeadingEnd::Link);
    auto l = lines();
    ASSERT_EQ(l.size(), 14u);
    EXPECT_EQ(l[10], "");
    EXPECT_EQ(l[11], " ");
}

using Results = CapturedListing;

TEST_F(Results, HistorStoresInMemoryInModesZeroAndTwo) {
    int ierr = 0;
    HISTOR(5, 1, ierr);
    IMPL.I(implw::kOutsideMode) = 2;
    HISTOR(3, 42, ierr);
    EXPECT_EQ(implw::result(5), 1);
    EXPECT_EQ(implw::result(3), 42);
    EXPECT_EQ(ierr, 0);
}

TEST_F(Results, HistorModeOneKeepsRecord170OfTheResultsFile) {
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    {
        // The outside program's file: 170 records of 16 words.
        std::vector<char> bytes(170 * 64, 0);
        test::write_file("struc.nme", std::string(bytes.begin(), bytes.end()));
    }
    IMPL.I(implw::kOutsideMode) = 1;
    int ierr = 0;
    HISTOR(4, 7, ierr);
    EXPECT_EQ(ierr, 0);
    std::string file = test::read_file("struc.nme");
    int32_t stored = 0;
    std::memcpy(&stored, file.data() + 169 * 64 + 3 * 4, 4);  // word 4 of record 170 = IMPL word 11
    EXPECT_EQ(stored, 7);

    std::filesystem::remove("struc.nme");
    test::write_file("struc.nme", std::string(64, '\0'));  // no record 170
    HISTOR(4, 8, ierr);
    EXPECT_EQ(ierr, -1);
    auto out = lines();
    ASSERT_FALSE(out.empty());
    EXPECT_NE(out.back().find(" reading record no. 170 in file struc.nme"), std::string::npos) << out.back();
    std::filesystem::current_path(cwd);
}

TEST(ProgressLines, MoreCommandsThanLinesNeverWriteOutsideTheArea) {
    reset_job_records();
    for (auto& line : SCMESS.area[1]) line = "kept";
    for (int k = 0; k < 14; ++k) open_progress_line(CMD_PHASE);
    EXPECT_EQ(SCMESS.counter[0], 14);
    for (int n = 1; n < 10; ++n) EXPECT_EQ(SCMESS.area[0][n], std::string(80, ' '));
    for (const auto& line : SCMESS.area[1]) EXPECT_EQ(line, "kept");  // the next area is untouched
    open_progress_line(CMD_FOURIER);
    EXPECT_EQ(SCMESS.counter[1], 1);
    EXPECT_EQ(SCMESS.area[1][1], std::string(80, ' '));
}
