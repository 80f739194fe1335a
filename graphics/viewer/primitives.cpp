// The thin drawing primitives through which the viewer, the measurements
// and the editors reach the window driver: each fills the point buffer and
// asks GRAPHS for one operation.
#include <algorithm>

#include "graphics/viewer/viewer.h"
#include "graphics/viewer/viewer_internal.h"
#include "graphics/window/window.h"
#include "jobcontrol/records/job.h"

namespace zanek {

namespace {

const std::string& blank_text() {
    static const std::string blank(80, ' ');
    return blank;
}

void request(int n, int op, int value, const std::string& text = blank_text()) {
    GRAPHS(viewer::px_buffer(), viewer::py_buffer(), n, op, text, value);
}

}  // namespace

void SETCOLR(int c) { request(0, gop::kColour, c); }

void LINEA(int x1, int y1, int x2, int y2, int c) {
    SETCOLR(c);
    int* x = viewer::px_buffer();
    int* y = viewer::py_buffer();
    x[0] = x1, y[0] = y1, x[1] = x2, y[1] = y2;
    request(0, gop::kLine, c);
}

void LINEA0(float x1, float y1, float x2, float y2, int c) {
    LINEA(pixel_x(x1), pixel_y(y1), pixel_x(x2), pixel_y(y2), c);
}

void METTIPIXEL(int x, int y, int c) { LINEA(x, y, x, y, c); }

void CERCHIO(int x, int y, int r, int c1, int fill, int c2) {
    int* px = viewer::px_buffer();
    int* py = viewer::py_buffer();
    if (fill != 0) {
        SETCOLR(c2);
        px[0] = x - r, py[0] = y - r;
        request(2 * r, gop::kDisc, c2);
    } else {
        SETCOLR(c1);
        px[0] = x - r, py[0] = y - r;
        request(2 * r, gop::kCircle, c1);
    }
}

void PAINT(int x, int y, int c, int v, int r) {
    SETCOLR(c);
    int* px = viewer::px_buffer();
    int* py = viewer::py_buffer();
    px[0] = x - r, py[0] = y - r;
    request(2 * r, gop::kDisc, v);
}

void GETKEY(int& k) {
    if (SCREEN.I(screenw::kMouse) < 0) SCREEN.I(screenw::kMouse) = 1;
    GRAPHS(viewer::px_buffer(), viewer::py_buffer(), k, gop::kWait, blank_text(), 1);
}

void PRINTMESS() {
    SETCOLR(14);
    MESS.text.resize(80, ' ');
    const int at = std::clamp(MESS.length + 1, 1, 80);
    MESS.text[at - 1] = '\0';
    request(MESS.length, gop::kMessage, 0, MESS.text);
    MESS.pending = 0;
}

int LUNG(const std::string& s) {
    const auto p = s.find_last_not_of(' ');
    return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

void NEWPAGE() { request(0, gop::kClearDrawing, 1); }

void ZFLUSH() {
    SETCOLR(1);
    request(0, gop::kClearBelowTitle, 1);
}

void TOPL() {
    std::string text(80, ' ');
    const std::string title = job_title();
    std::copy_n(title.begin(), std::min<std::size_t>(20, title.size()), text.begin());
    request(0, gop::kTitleStrip, 0, text);
}

void DEFSWI() {
    CONTR.I(contr::kScaleMode) = 1;
    CONTR.I(contr::kCellEdges) = 0;
    CONTR.I(contr::kSymmetry) = 0;
    request(0, gop::kNothing8, 0);
}

namespace viewer {

void set_message(const std::string& text, int n, bool pending) {
    MESS.text = text.substr(0, std::min<std::size_t>(text.size(), 80));
    MESS.text.resize(80, ' ');
    MESS.length = n;
    MESS.pending = pending ? 1 : 0;
}

}  // namespace viewer

}  // namespace zanek
