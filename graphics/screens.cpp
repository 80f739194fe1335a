// Progress screens. The graphics window is not drawn on this platform yet:
// the screens keep the state the rest of the program relies on (the
// progress counters, the time text of the end message) and never wait.
#include "graphics/screens.h"

#include "jobcontrol/history.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/job.h"

namespace zanek {

namespace {
bool g_window_open = false;
}

void SCR1() {
    if (SCREEN.I(1) != 1 || g_window_open) return;
    g_window_open = true;
    for (int& c : SCMESS.counter) c = 0;
}

void SCR2() {}

void SCREND(std::string& message, int& n) {
    std::string time;
    int nt = 0;
    ZANTIME(time, nt);
    message = time.substr(0, 28) + message.substr(0, n);
    n += 28;
}

void XWIN(int*, int*, int, int, const std::string&, int) {}

void SCRF(int, int, int) {}

void LASTPLOT(float& r) {
    EMAP.I(emap::kNextAction) = 0;
    r = -1.0f;
}

}  // namespace zanek
