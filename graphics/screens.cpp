// Progress screens of the graphics window: the start screen after each
// job is read, the command list redrawn as each command starts, the
// phasing and recycling progress lines, the final model in the viewer
// before export, and the end screen. They draw only in window mode and
// never fail a command.
#include "graphics/screens.h"

#include <algorithm>

#include "fourier/fourier_records.h"
#include "graphics/viewer/viewer.h"
#include "graphics/window/library.h"
#include "jobcontrol/history.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/store/store.h"
#include "platform/fformat.h"

namespace zanek {

namespace {

enum Area { kPhaseArea = 0, kFourierArea = 1, kRestartArea = 2 };

// Line n of an area belongs to the n-th command of its kind since the
// window was opened; a run with more such commands keeps no more lines.
bool area_line(int n) { return n >= 1 && n <= kProgressLines; }

bool window_mode() { return SCREEN.I(screenw::kMode) == 1; }

void graphs(int op, int x = 0, int y = 0, int n = 0, const std::string& text = std::string(), int value = 0) {
    int px[2] = {x, 0}, py[2] = {y, 0};
    GRAPHS(px, py, n, op, text, value);
}
void colour(int c) { graphs(gop::kColour, 0, 0, 0, "", c); }
void text_line(int x, int y, int n, const std::string& text) { graphs(gop::kText, x, y, n, text); }

std::string fitted(const std::string& s, std::size_t width) {
    std::string t = s.substr(0, std::min(s.size(), width));
    t.resize(width, ' ');
    return t;
}

std::string keyword_of(int code) {
    return code >= 1 && code <= kNumKeywords ? CHARAS.keyword(code) : std::string(14, ' ');
}

// The progress area of a command by its keyword's first letters, or -1.
int area_of(const std::string& keyword) {
    const std::string p = keyword.substr(0, 3);
    if (p == "pha") return kPhaseArea;
    if (p == "fou") return kFourierArea;
    if (p == "res") return kRestartArea;
    return -1;
}

// A progress line of an area, blank-filled to 80; lines beyond the area's
// ten are not kept.
void set_progress_line(int area, const std::string& text) {
    const int line = SCMESS.counter[area];
    if (area_line(line)) SCMESS.area[area][line] = fitted(text, 80);
}

void show_title_line() {
    colour(2);
    SCREEN.I(screenw::kTextY) = 60;
    text_line(100, 60, SCRTXT.title_length, SCRTXT.title);
}

// Opens the window at the first start screen of a run; the other screens
// draw on the window as it is.
void open_window_once() {
    if (SCREEN.I(screenw::kOpened) != 0) return;
    for (int& c : SCMESS.counter) c = 0;
    SCRTXT = ScreenTextsRecord();
    reset_window_records();
    graphs(gop::kOpen, 0, 0, 79, job_title());
    SCREEN.I(screenw::kOpened) = 1;
    SCREEN.I(screenw::kLineSpacing) = SCREEN.I(screenw::kHeight) / 20;
}

// The queued commands, one a line below the title. While running (end
// screen false) the commands up to the running one are drawn in colour 2
// with their progress lines, the later ones in colour 3, and the arrow
// marks the running one, whose y is left in SCREEN word 2. On the end
// screen every command shows its progress line, in colour 4, and the arrow
// marks the lines from the first "end" command on.
void show_command_list(bool end_screen) {
    const int count = std::clamp(COMDIR.I(comdir::kCount), 0, kQueueCapacity);
    const int running = COMDIR.I(comdir::kRunning);
    int arrow_from = count + 1;
    if (end_screen)
        for (int i = 1; i <= count; ++i)
            if (keyword_of(comdir::code(i)).compare(0, 3, "end") == 0) {
                arrow_from = i;
                break;
            }
    int seen[3] = {0, 0, 0};
    int running_y = SCREEN.I(screenw::kTextY);
    for (int i = 1; i <= count; ++i) {
        SCREEN.I(screenw::kTextY) += SCREEN.I(screenw::kLineSpacing);
        const std::string keyword = keyword_of(comdir::code(i));
        std::string text = keyword;
        int length = 14;
        const int area = area_of(keyword);
        if (area >= 0) {
            const int j = SCRTXT.before[area] + ++seen[area];
            if ((end_screen || i <= running) && SCRTXT.length[area] > 0 && area_line(j)) {
                text += SCMESS.area[area][j];
                length += SCRTXT.length[area];
            }
        }
        const bool arrow = end_screen ? i >= arrow_from : i == running;
        if (!end_screen) colour(i <= running ? 2 : 3);
        text_line(arrow ? -10 : 10, SCREEN.I(screenw::kTextY), length, text);
        if (i == running) running_y = SCREEN.I(screenw::kTextY);
    }
    if (!end_screen) SCREEN.I(screenw::kTextY) = running_y;
}

// The final-R text of a recycling step.
std::string final_r_text(float r) { return fformat("(' Final R =',f7.2,'%  ')", {r}).front(); }

}  // namespace

bool INITIALSETTINGS() {
    for (int k = 7; k >= 1; --k) qwin::delete_menu(k);
    qwin::toggle_status_bar();
    qwin::set_frame(0, 0, 640, 480);
    qwin::frame_window().initialised = true;
    return true;
}

void SCR1() {
    if (!window_mode()) return;
    open_window_once();
    for (int area = 0; area < 3; ++area) SCRTXT.before[area] = SCMESS.counter[area];
    SCREEN.I(screenw::kLineSpacing) = SCREEN.I(screenw::kHeight) / 20;
    graphs(gop::kClearDrawing);
    // "At ..." time, then the structure name (up to its first ".") and one
    // blank past it.
    std::string time;
    int nt = 0;
    ZANTIME(time, nt);
    const std::string file = DOTDAT.name[1];
    std::size_t dot = file.find('.');
    if (dot == std::string::npos) dot = file.find_last_not_of(' ') + 1;  // no "." : the whole name
    SCRTXT.title = fitted(fitted(time, 28) + " ZANEK runs on: " + file.substr(0, dot), 80);
    SCRTXT.title_length = std::min(28 + 16 + static_cast<int>(dot) + 1, 80);
    show_title_line();
    colour(3);
    const int count = std::clamp(COMDIR.I(comdir::kCount), 0, kQueueCapacity);
    for (int i = 1; i <= count; ++i) {
        SCREEN.I(screenw::kTextY) += SCREEN.I(screenw::kLineSpacing);
        text_line(10, SCREEN.I(screenw::kTextY), 14, keyword_of(comdir::code(i)));
    }
    SCREEN.I(screenw::kTextY) = 60;
    qwin::update_window();
}

void SCR2() {
    if (!window_mode()) return;
    graphs(gop::kClearDrawing);
    show_title_line();
    show_command_list(false);
    qwin::update_window();
}

void SCRP(int itrial, int ntrial, float cfom, float cmax) {
    if (!window_mode()) return;
    colour(2);
    std::string progress = fformat("('Trial ',i4,' / ',i4,'  CFom = ',f5.3,'  (max = ',f5.3,') ')",
                                   {itrial, ntrial, cfom, cmax < 0.0f ? 0.0f : cmax}).front();
    progress = fitted(progress, 48);
    set_progress_line(kPhaseArea, progress);
    SCRTXT.length[kPhaseArea] = 48;
    const int running = COMDIR.I(comdir::kRunning);
    const int code = running >= 1 && running <= kQueueCapacity ? comdir::code(running) : 0;
    // Shown with the drawing's frame rate: a trial may take less than a frame.
    text_line(10, SCREEN.I(screenw::kTextY), 62, keyword_of(code) + progress);
}

void SCRF(int iset, int icyc, int mode) {
    if (!window_mode()) return;
    VYROLA(mode);
    const float rc = 100.0f * EMAP.R(emap::kR), rp = 100.0f * EMAP.R(emap::kPrevR);
    const std::string step = mode == 1 ? "A" : "B";
    if (icyc == 1) {
        MESS.text = fformat("('Set #',i4,'     Cycle ',i2,'(',a1,') R =',f7.2,'%',23x)", {iset, icyc, step, rc}).front();
        graphs(gop::kTitleStrip);
    } else {
        MESS.text = fformat("('Set #',i4,'     Cycle ',i2,'(',a1,') R =',f7.2,'%   (previous =',f7.2,'%)')",
                            {iset, icyc, step, rc, rp}).front();
    }
    MESS.text = fitted(MESS.text, 80);
    const int next_action = EMAP.I(emap::kNextAction);
    if (next_action != 0 && EMAP.I(emap::kStepB) == 1) graphs(gop::kTitleStrip);
    MESS.length = 61;
    MESS.pending = 1;
    PRINTMESS();
    // The final R of this set: in the Fourier area after %fourier, in the
    // restart area after a refine or complete from the viewer.
    if (next_action == 0) {
        set_progress_line(kFourierArea, final_r_text(EMAP.I(emap::kCycleLimit) == 100 ? rp : rc));
    } else {
        set_progress_line(kRestartArea, final_r_text(next_action == 1 ? rc : rp));
    }
    SCRTXT.length[kFourierArea] = 19;
    SCRTXT.length[kRestartArea] = 19;
    qwin::update_window();
}

void SCREND(std::string& message, int& n) {
    std::string time;
    int nt = 0;
    ZANTIME(time, nt);
    const std::size_t keep = static_cast<std::size_t>(std::clamp<int>(n, 0, static_cast<int>(message.size())));
    message = fitted(time, 28) + message.substr(0, keep);
    n = static_cast<int>(keep) + 28;
    if (!window_mode()) return;
    graphs(gop::kClearDrawing);
    colour(4);
    SCREEN.I(screenw::kTextY) = 60;
    text_line(100, 60, SCRTXT.title_length, SCRTXT.title);
    show_command_list(true);
    SCREEN.I(screenw::kTextY) += SCREEN.I(screenw::kLineSpacing);
    text_line(100, SCREEN.I(screenw::kTextY), n, message);
    colour(14);
    const float last_r = 100.0f * EMAP.R(emap::kLastR);
    std::string quit;
    if (last_r > 0.0f) quit = fformat("('Final R =',f7.2,'%   Quit to finish !')", {last_r}).front();
    else quit = std::string(23, ' ') + "Quit to finish !";
    graphs(gop::kMessage, 0, 0, 79, fitted(quit, 80));
    if (SCREEN.I(screenw::kMouse) < 0) SCREEN.I(screenw::kMouse) = 1;
    int px[100] = {}, py[100] = {};
    int group = menugroup::kQuitOnly;
    GRAPHS(px, py, group, gop::kWait, std::string(80, ' '), 0);
    colour(1);
    graphs(gop::kNothing);
}

void LASTPLOT(float& r) {
    EMAP.I(emap::kNextAction) = 0;
    r = -1.0f;
    if (!window_mode()) return;
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(list15::kType, serial, first, last, part, length);
    if (first == -1) return;
    for (int k = 1; k <= 6; ++k) TAPE.R(k) = cell_constant(k);
    int n = 0, start = 1, set = 0, bondflag = 0;
    SFL15(n, start, set, bondflag);
    EMAP.I(emap::kNextAction) = 0;
    // Stored with a bond table: when the list had none, the table says
    // "bonds still to be found from distances" rather than passing on
    // whatever work another command left in TEMP.
    if (bondflag != 1) bond_count() = -1.0f;
    FRM15(n, set, 1);
    colour(1);
    graphs(gop::kClearBelowTitle);
    r = 100.0f * EMAP.R(emap::kLastR);
    if (r > 0.1f) {
        MESS.text = fitted(fformat("(' R = ',f5.2,'%')", {r}).front(), 80);
        MESS.length = 11;
        MESS.pending = 1;
    }
    VYROLA(3);
    colour(1);
    graphs(gop::kClearBelowTitle);
}

void TEXT_MODE() {
    colour(1);
    graphs(gop::kNothing);
}

namespace {
void open_line(int area) {
    const int n = ++SCMESS.counter[area];
    if (area_line(n)) SCMESS.area[area][n] = std::string(80, ' ');
}
}  // namespace

void SCRPD() { open_line(kPhaseArea); }
void SCRFD() { open_line(kFourierArea); }
void SCRRD() { open_line(kRestartArea); }

}  // namespace zanek
