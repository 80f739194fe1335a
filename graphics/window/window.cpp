// The window driver (being filled in): argument normalisation and op-code
// check; the drawing surface is attached next.
#include "graphics/window/window.h"

#include "jobcontrol/records/job.h"
#include "platform/stop.h"

namespace zanek {

void GRAPHS(int* x, int* y, int& n, int op, const std::string& text, int value) {
    switch (op) {
    case 0: case 2: case 3: case 6: case 7: case 8: case 12: n = 0; break;
    default: break;
    }
    XWIN(x, y, n, op, text, value);
}

void XWIN(int* x, int* y, int& n, int op, const std::string& text, int value) {
    if (op < -1 || op == 4 || op > 17) zstop(0, "xwin");
    if (op == gop::kWait) MENUDIALOG(x, y, n);
}

void XWIN(std::nullptr_t, std::nullptr_t, int n, int op, const char* text, int value) {
    XWIN(static_cast<int*>(nullptr), static_cast<int*>(nullptr), n, op, std::string(text), value);
}

void MENUDIALOG(int*, int*, int& n) { n = vac::kQuit; }

void DISPLAY_MOUSE_CURSOR() {}
void HIDE_MOUSE_CURSOR() {}
bool IF_MOUSE_THERE() {
    if (SCREEN.I(8) < 0) SCREEN.I(8) = 1;
    return true;
}

}  // namespace zanek
