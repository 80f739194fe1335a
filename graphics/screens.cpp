// Progress screens. The graphics window is not drawn on this platform yet:
// the screens keep the state the rest of the program relies on (the
// progress counters, the time text of the end message) and never wait.
#include "graphics/screens.h"

#include "jobcontrol/history.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/job.h"
#include "platform/fformat.h"

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

void SCRF(int, int, int) {}

void SCRP(int itrial, int ntrial, float cfom, float cmax) {
    // No drawing surface yet: in window mode only the progress line of the
    // phase area is kept, as the screen would show it.
    if (SCREEN.I(1) != 1) return;
    const int line = SCMESS.counter[0];
    if (line < 0 || line > 9) return;
    const auto rec = fformat("('Trial ',i4,' / ',i4,'  CFom = ',f5.3,'  (max = ',f5.3,') ')",
                             {itrial, ntrial, cfom, cmax < 0.0f ? 0.0f : cmax});
    std::string text = rec.empty() ? std::string() : rec.front();
    text.resize(80, ' ');
    SCMESS.area[0][line] = text;
}

void LASTPLOT(float& r) {
    EMAP.I(emap::kNextAction) = 0;
    r = -1.0f;
}

}  // namespace zanek
