// Progress screens: nothing drawn and nothing changed in batch mode except
// the end message's time text and the cleared next-action code; in window
// mode the start screen, the command list with its progress lines, the
// recycling messages, the final model before export and the end screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fourier/fourier_records.h"
#include "graphics/screens.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/zanek.h"
#include "platform/bitmap.h"
#include "tests/graphics/test_window_fixture.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {
namespace {

// The time text of the fixed clock, as ZANTIME gives it.
const std::string kTime = "At Thu Dec 10 12:" + std::string(11, ' ');

// Queue of command codes as the spooler leaves it.
void queue_codes(const std::vector<int>& codes) {
    COMDIR.clear();
    for (std::size_t i = 0; i < codes.size(); ++i) comdir::code(static_cast<int>(i) + 1) = codes[i];
    COMDIR.I(comdir::kCount) = static_cast<int>(codes.size());
}

// The dispatcher's step before a command: progress line, running number, SCR2.
void start_command(int i) {
    open_progress_line(comdir::code(i));
    COMDIR.I(comdir::kRunning) = i;
    SCR2();
}

class Screens : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ZANEK_CLOCK", kFixedClock, 1);
        reset_job_records();
        reset_window_records();
        reset_atom_records();
        SCRTXT = ScreenTextsRecord();
        mouse_script().set({});
        DOTDAT.name[1] = "mystruct.bin";
        DOTDAT.name[1].resize(80, ' ');
        set_job_title("a test job");
        window_surface().clear(0);
    }
    void TearDown() override {
        unsetenv("ZANEK_CLOCK");
        mouse_script().reset();
        reset_job_records();
        reset_atom_records();
    }
    Surface& s() { return window_surface(); }
    // Pixels of a colour on the text line at y (10 rows) from x1 to x2.
    int on_line(int y, int colour, int x1 = 81, int x2 = 639) { return s().count(x1, y, x2, y + 9, colour); }
};

TEST_F(Screens, BatchModeDrawsNothingAndChangesNoRecord) {
    SCREEN.I(screenw::kMode) = 0;
    queue_codes({CMD_PHASE, CMD_FOURIER, CMD_EXPORT});
    s().clear(0);
    const auto screen_before = SCREEN;
    SCR1();
    start_command(1);
    SCRP(1, 10, 0.9f, 0.95f);
    SCRF(1, 1, 1);
    EXPECT_EQ(s().count_drawn(0, 0, s().width() - 1, s().height() - 1), 0);
    EXPECT_EQ(SCREEN.I(screenw::kOpened), screen_before.I(screenw::kOpened));
    EXPECT_EQ(SCREEN.I(screenw::kTextY), screen_before.I(screenw::kTextY));
    EXPECT_EQ(SCMESS.area[0][1], std::string(80, ' '));  // only the dispatcher's blank line
    EXPECT_EQ(SCRTXT.length[0], 0);
    EXPECT_EQ(SCRTXT.title_length, 0);
    EXPECT_EQ(MESS.pending, 0);
}

TEST_F(Screens, EndMessageGetsTheTimeTextInEveryMode) {
    for (int mode : {0, 1}) {
        SCREEN.I(screenw::kMode) = mode;
        std::string message = " == ZANEK ends ok      ";
        message.resize(80, ' ');
        int n = 23;
        SCREND(message, n);
        EXPECT_EQ(n, 51);
        EXPECT_EQ(message.substr(0, 51), kTime + " == ZANEK ends ok      ");
    }
}

TEST_F(Screens, LastPlotClearsTheNextActionCodeWithoutAWindow) {
    SCREEN.I(screenw::kMode) = 0;
    EMAP.I(emap::kNextAction) = 2;
    EMAP.R(emap::kLastR) = 0.2f;
    float r = 5.0f;
    LASTPLOT(r);
    EXPECT_EQ(EMAP.I(emap::kNextAction), 0);
    EXPECT_FLOAT_EQ(r, -1.0f);
}

TEST_F(Screens, StartScreenOpensTheWindowOnceAndListsTheCommands) {
    SCREEN.I(screenw::kMode) = 1;
    SCMESS.counter[0] = 4;
    queue_codes({CMD_DATA, CMD_NORMAL, CMD_END});
    SCR1();
    EXPECT_EQ(SCREEN.I(screenw::kOpened), 1);
    EXPECT_EQ(SCMESS.counter[0], 0);
    EXPECT_EQ(SCREEN.I(screenw::kLineSpacing), 23);
    EXPECT_EQ(SCREEN.I(screenw::kTextY), 60);
    EXPECT_EQ(SCRTXT.title.substr(0, 28 + 16 + 8), kTime + " ZANEK runs on: mystruct");
    EXPECT_EQ(SCRTXT.title_length, 28 + 16 + 9);  // one blank past the name
    EXPECT_EQ(contr_title().substr(0, 10), "a test job");
    EXPECT_GT(on_line(60, 2, 180), 100);   // the title line in green from x 180
    EXPECT_EQ(on_line(60, 2, 81, 179), 0);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_GT(on_line(60 + 23 * i, 3, 90, 90 + 14 * 8), 10) << "command " << i;
        EXPECT_EQ(on_line(60 + 23 * i, 2), 0);
    }
    EXPECT_EQ(on_line(60 + 23 * 4, 3), 0);
    // A second job's start screen keeps the window and its counters.
    SCMESS.counter[0] = 2;
    SCR1();
    EXPECT_EQ(SCMESS.counter[0], 2);
}

TEST_F(Screens, CommandListWhileFourierRuns) {
    SCREEN.I(screenw::kMode) = 1;
    queue_codes({CMD_PHASE, CMD_FOURIER, CMD_EXPORT});
    SCR1();
    start_command(1);
    SCRP(3, 10, 0.5f, -1.0f);
    EXPECT_EQ(SCMESS.area[0][1].substr(0, 48), "Trial    3 /   10  CFom = 0.500  (max = 0.000)  ");
    EXPECT_EQ(SCRTXT.length[0], 48);
    start_command(2);
    // After the first cycle the Fourier area holds its final-R text.
    SCMESS.area[1][1] = " Final R =  21.50%  ";
    SCMESS.area[1][1].resize(80, ' ');
    SCRTXT.length[1] = 19;
    start_command(2);
    const int y_phase = 83, y_fourier = 106, y_export = 129;
    EXPECT_EQ(SCREEN.I(screenw::kTextY), y_fourier);
    EXPECT_GT(on_line(y_phase, 2, 90 + 14 * 8, 90 + 62 * 8), 100);  // "phase" and its trial text
    EXPECT_GT(on_line(y_fourier, 2, 90 + 14 * 8, 90 + 33 * 8), 50);  // "fourier" and its final R
    EXPECT_EQ(on_line(y_fourier, 2, 90 + 33 * 8), 0);                // 19 characters of it
    EXPECT_EQ(s().get(70, y_fourier + 8), 2);                       // the arrow at the running command
    EXPECT_EQ(s().count(0, y_phase, 80, y_phase + 16, 2), 0);       // and nowhere else
    EXPECT_GT(on_line(y_export, 3), 10);
    EXPECT_EQ(on_line(y_export, 2), 0);
}

// Each line of the window's text, from x 81 to W, is compared with the
// text drawn alone on a cleared picture at the same place: a line by line
// check of what a screen shows.
class ScreenLines : public Screens {
protected:
    // The text expected on the command line at y, from x 90, in colour c.
    void expect_line(int y, const std::string& text, int c) {
        Surface expected(s().width(), s().height());
        expected.text(90, y, text, c);
        int differ = 0;
        for (int yy = y; yy < y + 10; ++yy)
            for (int x = 84; x <= 639; ++x) differ += s().get(x, yy) != expected.get(x, yy);
        EXPECT_EQ(differ, 0) << "line at y " << y << " should read \"" << text << "\"";
    }
    static std::string keyword(int code) { return CHARAS.keyword(code); }
    static std::string trial(int t, int n, const char* cfom) {
        return "Trial " + std::string(t < 10 ? "   " : "  ") + std::to_string(t) + " / " +
               std::string(n < 10 ? "   " : "  ") + std::to_string(n) + "  CFom = " + cfom + " ";
    }
};

// A second job of a run shows its own progress lines against its own
// commands: while its phase command runs its line shows no text of the
// first job's, and its own trials once they are made.
TEST_F(ScreenLines, ASecondJobShowsItsOwnProgressLines) {
    SCREEN.I(screenw::kMode) = 1;
    const int y1 = 60 + 23, y2 = 60 + 2 * 23, y3 = 60 + 3 * 23;
    queue_codes({CMD_PHASE, CMD_FOURIER, CMD_GO});
    SCR1();
    start_command(1);
    SCRP(5, 5, 0.3f, 0.6f);
    start_command(2);
    SCMESS.area[1][1] = " Final R =  21.50%  ";
    SCMESS.area[1][1].resize(80, ' ');
    SCRTXT.length[1] = 19;
    start_command(3);
    expect_line(y1, keyword(CMD_PHASE) + trial(5, 5, "0.300  (max = 0.600)"), 2);
    expect_line(y2, keyword(CMD_FOURIER) + " Final R =  21.50%", 2);

    queue_codes({CMD_PHASE, CMD_FOURIER, CMD_EXPORT});
    SCR1();
    start_command(1);
    expect_line(y1, keyword(CMD_PHASE), 2);  // its line is still blank
    expect_line(y2, keyword(CMD_FOURIER), 3);
    expect_line(y3, keyword(CMD_EXPORT), 3);
    SCRP(2, 7, 0.5f, 0.8f);
    expect_line(y1, keyword(CMD_PHASE) + trial(2, 7, "0.500  (max = 0.800)"), 2);
    start_command(2);
    expect_line(y1, keyword(CMD_PHASE) + trial(2, 7, "0.500  (max = 0.800)"), 2);
    expect_line(y2, keyword(CMD_FOURIER), 2);
    expect_line(y3, keyword(CMD_EXPORT), 3);
    EXPECT_EQ(SCMESS.area[0][1].substr(0, 17), "Trial    5 /    5");  // the first job's line is kept
    EXPECT_EQ(SCMESS.area[0][2].substr(0, 17), "Trial    2 /    7");
}

TEST_F(Screens, ProgressTextsBeyondTheTenthCommandOfAKindAreNotKept) {
    SCREEN.I(screenw::kMode) = 1;
    std::vector<int> codes(12, CMD_PHASE);
    queue_codes(codes);
    SCR1();
    for (int i = 1; i <= 12; ++i) {
        start_command(i);
        SCRP(i, 12, 0.1f, 0.2f);
    }
    EXPECT_EQ(SCMESS.counter[0], 12);
    EXPECT_EQ(SCMESS.area[0][9].substr(0, 10), "Trial    9");
    EXPECT_EQ(SCMESS.area[0][10].substr(0, 10), "Trial   10");  // ten commands keep their text
    // The screen still lists all twelve, the last two with the keyword alone.
    EXPECT_GT(on_line(60 + 23 * 10, 2, 90 + 14 * 8), 100);
    EXPECT_GT(on_line(60 + 23 * 12, 2, 90, 90 + 14 * 8), 10);
    EXPECT_EQ(on_line(60 + 23 * 11, 2, 90 + 14 * 8), 0);
}

TEST_F(Screens, EndScreenShowsEverythingAndWaitsForQuit) {
    SCREEN.I(screenw::kMode) = 1;
    queue_codes({CMD_PHASE, CMD_FOURIER, CMD_END});
    SCR1();
    start_command(1);
    SCRP(5, 5, 0.3f, 0.6f);
    start_command(2);
    start_command(3);
    struct Case {
        float last_r;
        int quit_x;  // where "Quit to finish !" begins
    };
    for (const Case& c : {Case{0.0f, 81 + 23 * 8}, Case{0.1234f, 81 + 20 * 8}}) {
        EMAP.R(emap::kLastR) = c.last_r;
        mouse_script().set({row_centre(37), row_centre(10)});
        std::string message = " == ZANEK ends ok      ";
        int n = 23;
        SCREND(message, n);
        EXPECT_EQ(mouse_script().remaining(), 0);  // Refine was not on show; Quit ended the wait
        const int h = 479;
        EXPECT_GT(s().count(c.quit_x, h - 13, c.quit_x + 16 * 8 - 1, h - 3, 14), 100);
        EXPECT_EQ(s().count(81, h - 13, c.quit_x - 1, h - 3, 14) > 0, c.last_r > 0.0f);
        EXPECT_GT(on_line(83, 4, 90 + 14 * 8), 100);  // the phase line with its trial text, in red
        EXPECT_GT(on_line(60 + 23 * 4, 4, 180), 100);  // the end message below the list
        EXPECT_EQ(s().get(70, 60 + 23 * 3 + 8), 4);    // the arrow at "end"
    }
}

TEST_F(Screens, EndScreenWithoutAUserEndsByItself) {
    SCREEN.I(screenw::kMode) = 1;
    queue_codes({CMD_END});
    SCR1();
    mouse_script().set({});
    std::string message = " == ZANEK ends ok      ";
    int n = 23;
    SCREND(message, n);
    EXPECT_GT(s().count_drawn(81, 21, 639, 479), 500);
}

// A structure file with the cell, symmetry and species of a test job and
// a small atom list.
class ScreensJob : public InProcessJob {
protected:
    ScreensJob() : InProcessJob("screens") {}
    void SetUp() override {
        InProcessJob::SetUp();
        setenv("ZANEK_CLOCK", kFixedClock, 1);
        reset_window_records();
        SCRTXT = ScreenTextsRecord();
        mouse_script().set({});
        SCREEN.I(screenw::kMode) = 1;
        std::ifstream in(jobs_dir() + "/rand_p21c_c18n2o4/data.hkl");
        std::string refl, line;
        for (int k = 0; k < 200 && std::getline(in, line); ++k) refl += line + "\n";
        refl += hkl(0, 0, 0, 0, 0);
        queue({{CMD_DATA, {"cell 9.3863 12.2022 15.9567 90.000 109.000 90.000", "spac p 1 21/c 1",
                           "cont c 72 o 16 n 8", "refl foll"}},
               {CMD_FOURIER, {}},
               {CMD_EXPORT, {}}},
              refl);
        ASSERT_EQ(dispatch(1), 0) << listing();
        COMDIR.I(comdir::kRunning) = 2;
        SCR1();
    }
    void TearDown() override {
        unsetenv("ZANEK_CLOCK");
        mouse_script().reset();
        InProcessJob::TearDown();
    }
    // Four carbon atoms of a chain, with bonds or without a bond table.
    // The recycling steps store the model with the state of EMAP just
    // before they call SCRF, whose viewer loads it back.
    void store_atoms(int bondflag, float last_r = 0.25f, int next_action = 2) {
        ATOMS.clear();
        const float xyz[4][3] = {{0.10f, 0.10f, 0.10f}, {0.25f, 0.15f, 0.12f}, {0.35f, 0.25f, 0.15f}, {0.50f, 0.28f, 0.18f}};
        for (int i = 1; i <= 4; ++i) {
            for (int j = 1; j <= 3; ++j) atom_coord(i, j) = xyz[i - 1][j - 1];
            atom_coord(i, 4) = 500.0f;
            atom_coord(i, 5) = 1.0f;
            atom_label(i) = 100 + i;
            atom_b(i) = 3.0f;
        }
        EMAP.R(emap::kLastR) = last_r;
        EMAP.I(emap::kNextAction) = next_action;
        TEMP.clear();
        bond_count() = 3.0f;
        for (int b = 1; b <= 3; ++b) bond_atom(b, 1) = static_cast<float>(b), bond_atom(b, 2) = static_cast<float>(b + 1);
        FRM15(4, 1, bondflag);
    }
    Surface& s() { return window_surface(); }
};

TEST_F(ScreensJob, RecyclingMessagesOfTheFirstAndLaterCycles) {
    store_atoms(1, 0.25f, 0);
    SCMESS.counter[1] = 1;
    EMAP.R(emap::kR) = 0.2f;
    EMAP.R(emap::kPrevR) = 0.3f;
    EMAP.I(emap::kCycleLimit) = 5;
    s().rectangle(81, 0, 639, 20, 0, true);
    SCRF(7, 1, 1);
    EXPECT_EQ(MESS.text.substr(0, 61), "Set #   7     Cycle  1(A) R =  20.00%" + std::string(24, ' '));
    EXPECT_EQ(MESS.length, 61);
    EXPECT_EQ(MESS.pending, 0);                                      // shown at once
    EXPECT_GT(s().count(81, 466, 81 + 36 * 8, 476, 14), 200);        // in the message line
    EXPECT_GT(s().count(81, 0, 639, 20, 3), 8000);                   // the title strip redrawn
    EXPECT_EQ(SCMESS.area[1][1].substr(0, 20), " Final R =  20.00%  ");
    EXPECT_EQ(SCRTXT.length[1], 19);
    EXPECT_EQ(SCRTXT.length[2], 19);
    EXPECT_GT(s().count_drawn(82, 22, 638, 458), 100);              // the model

    s().rectangle(81, 0, 639, 20, 0, true);
    EMAP.I(emap::kCycleLimit) = 100;
    SCRF(7, 3, 2);
    EXPECT_EQ(MESS.text.substr(0, 61), "Set #   7     Cycle  3(B) R =  20.00%   (previous =  30.00%) ");
    EXPECT_EQ(s().count(81, 0, 639, 20, 3), 0);  // not redrawn on later cycles
    EXPECT_EQ(SCMESS.area[1][1].substr(0, 20), " Final R =  30.00%  ");  // limit 100: the previous R
}

TEST_F(ScreensJob, RefineAndCompleteWriteTheRestartArea) {
    SCMESS.counter[2] = 1;
    struct Case {
        int next, step_b;
        const char* text;
        bool title;
    };
    for (const Case& c : {Case{1, 1, " Final R =  15.00%  ", true}, Case{2, 2, " Final R =  18.00%  ", false}}) {
        store_atoms(1, 0.25f, c.next);
        EMAP.R(emap::kR) = 0.15f;
        EMAP.R(emap::kPrevR) = 0.18f;
        EMAP.I(emap::kStepB) = c.step_b;
        s().rectangle(81, 0, 639, 20, 0, true);
        SCRF(2, 2, 2);
        EXPECT_EQ(SCMESS.area[2][1].substr(0, 20), c.text);
        EXPECT_EQ(s().count(81, 0, 639, 20, 3) > 0, c.title) << "next action " << c.next;
    }
}

TEST_F(ScreensJob, LastPlotRunsTheViewerAndStoresTheModelWithCodeZero) {
    store_atoms(1);
    float r = 0;
    LASTPLOT(r);
    EXPECT_NEAR(r, 25.0f, 1e-4f);
    EXPECT_EQ(MESS.text.substr(0, 11), " R = 25.00%");
    for (int k = 1; k <= 6; ++k) EXPECT_FLOAT_EQ(map_cell(k), cell_constant(k));
    int n = 0, start = 1, set = 0, bondflag = 0;
    EMAP.I(emap::kNextAction) = 9;
    SFL15(n, start, set, bondflag);
    EXPECT_EQ(EMAP.I(emap::kNextAction), 0);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(bondflag, 1);
}

TEST_F(ScreensJob, LastPlotShowsNoRMessageBelowOneTenthOfAPercent) {
    store_atoms(1, 0.0005f);
    MESS.text = std::string(80, ' ');
    float r = 0;
    LASTPLOT(r);
    EXPECT_NEAR(r, 0.05f, 1e-5f);
    EXPECT_EQ(MESS.text.find(" R = "), std::string::npos);
}

TEST_F(ScreensJob, LastPlotWithoutAnAtomListReturnsMinusOne) {
    s().clear(0);
    float r = 0;
    EMAP.I(emap::kNextAction) = 1;
    LASTPLOT(r);
    EXPECT_FLOAT_EQ(r, -1.0f);
    EXPECT_EQ(EMAP.I(emap::kNextAction), 0);
    EXPECT_EQ(s().count_drawn(0, 21, 639, 479), 0);
}

TEST_F(ScreensJob, LastPlotDoesNotStoreLeftOverWorkAsBonds) {
    store_atoms(0);  // an atom list without a bond table
    // Work of another command left in TEMP: pairs of atoms that do not exist.
    bond_count() = 5.0f;
    for (int k = 1; k <= 10; ++k) bond_atom(k) = 151.0f + k;
    float r = 0;
    LASTPLOT(r);
    int n = 0, start = 1, set = 0, bondflag = 0;
    SFL15(n, start, set, bondflag);
    ASSERT_EQ(n, 4);
    if (bondflag == 1 && bond_count() > 0)
        for (int b = 1; b <= static_cast<int>(bond_count()); ++b) {
            EXPECT_LE(bond_atom(b, 1), 4.0f);
            EXPECT_LE(bond_atom(b, 2), 4.0f);
        }
}

}  // namespace
}  // namespace zanek::test
