// Whole runs of the program in window mode: the screens and the viewer
// draw on the in-memory window, every wait is answered by the scripted
// clicks or by Quit, the run ends by itself, and its listing is the one of
// the same run without a window.
#include <gtest/gtest.h>

#include <filesystem>

#include "graphics/window/menus.h"
#include "platform/bitmap.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

namespace fs = std::filesystem;

std::string click_line(int row) {
    const int x = static_cast<int>(CMENU.x[row]) + CMENU.w[row] / 2 - 10, y = static_cast<int>(CMENU.y[row]) - 20;
    return std::to_string(x) + " " + std::to_string(y) + "\n";
}

TEST(WindowRun, EndsByItselfWithTheListingOfABatchRun) {
    const std::string batch = job_copy("window_run_batch", "rand_pbar1_c14o2", false);
    const std::string window = job_copy("window_run_window", "rand_pbar1_c14o2", true);
    RunResult b = run_zanek(batch, "");
    RunResult w = run_zanek(window, "");
    ASSERT_EQ(b.exit_code, 0) << b.output;
    ASSERT_EQ(w.exit_code, 0) << w.output;
    EXPECT_NE(w.listing.find("== ZANEK ends ok"), std::string::npos);
    EXPECT_EQ(w.listing, b.listing);
    EXPECT_FALSE(fs::exists(window + "/hcopy.bmp"));  // nobody asked for a hard copy
}

TEST(WindowRun, ScriptedViewerHardCopiesAndEndScreen) {
    const std::string dir = job_copy("window_run_scripted", "rand_pbar1_c14o2", true);
    // In the viewer: plot style 3, rotate about y, a hard copy to
    // <structure>.bmp, Quit; on the end screen a click on the title strip.
    std::string events = "# viewer\n" + click_line(13) + click_line(20) + click_line(40) + click_line(60) +
                         click_line(10) + "# end screen\n200 10\n";
    write_file(dir + "/events", events);
    RunResult r = run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_EVENTS=events");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    auto viewer = read_bmp(dir + "/rand_pbar1_c14o2.bmp");
    ASSERT_TRUE(viewer.has_value());
    EXPECT_EQ(viewer->width, 640);
    EXPECT_EQ(viewer->height, 480);
    auto end = read_bmp(dir + "/hcopy.bmp");
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->width, 640);
    EXPECT_EQ(end->height, 480);
    int red = 0, model = 0;
    for (int y = 21; y < 480; ++y)
        for (int x = 81; x < 640; ++x) {
            red += end->at(x, y) == 4;
            model += viewer->at(x, y) != 0;
        }
    EXPECT_GT(red, 1000);   // the end screen's texts in red
    EXPECT_GT(model, 500);  // the model drawn in the viewer
}

TEST(WindowRun, RefineFromTheViewerRestartsRecyclingAndExportsAgain) {
    const std::string dir = job_copy("window_run_refine", "rand_pbar1_c14o2", true);
    write_file(dir + "/events", click_line(37));  // Refine; then no user: Quit
    RunResult r = run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_EVENTS=events");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const auto count = [&](const std::string& text) {
        std::size_t n = 0, at = 0;
        while ((at = r.listing.find(text, at)) != std::string::npos) ++n, ++at;
        return n;
    };
    // Export, the inserted restart, and export again; the second viewer
    // finds no more clicks and quits.
    EXPECT_EQ(count("ZANEK : Export routine"), 2u);
    EXPECT_EQ(count(" Restart routine"), 1u);
    const auto restart = r.listing.find(" Restart routine");
    EXPECT_LT(r.listing.find("ZANEK : Export routine"), restart);
    EXPECT_GT(r.listing.rfind("ZANEK : Export routine"), restart);
    EXPECT_NE(r.listing.find("== ZANEK ends ok"), std::string::npos);
}

// An events file that cannot be used fails the first mouse wait: the
// listing says what is wrong and the run stops there, in the viewer before
// export; it does not go on as if the user had quit.
TEST(WindowRun, AnEventsFileThatCannotBeUsedStopsTheRunAtTheFirstWait) {
    struct Case {
        const char* name;
        const char* events;  // nullptr: no file
        const char* said;
    };
    const Case cases[] = {
        {"missing", nullptr, " *** error *** mouse events file events: cannot be read"},
        {"malformed", "40 10\nQuit\n", " *** error *** mouse events file events: line 2 is not a click (x y): Quit"},
    };
    for (const Case& c : cases) {
        const std::string dir = job_copy(std::string("window_run_events_") + c.name, "rand_pbar1_c14o2", true);
        if (c.events) write_file(dir + "/events", c.events);
        RunResult r = run_zanek(dir, "", "job.cmd", "job.lis", "ZANEK_EVENTS=events");
        EXPECT_EQ(r.exit_code, 2) << c.name << r.output;
        const auto said = r.listing.find(c.said);
        EXPECT_NE(said, std::string::npos) << c.name;
        EXPECT_NE(r.listing.find("\n STOP", said), std::string::npos) << c.name;
        EXPECT_EQ(r.listing.find("== ZANEK ends"), std::string::npos) << c.name;
        EXPECT_FALSE(fs::exists(dir + "/rand_pbar1_c14o2.ins")) << c.name;  // the export never ran
    }
}

}  // namespace
}  // namespace zanek::test
