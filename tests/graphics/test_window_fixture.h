// A fresh graphics window for each test: window mode on, the screen size
// of 639 x 479, the driver and menu records at their load values, the
// window opened, and no scripted clicks.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "graphics/window/library.h"
#include "graphics/window/menus.h"
#include "graphics/window/window.h"
#include "jobcontrol/records/job.h"
#include "platform/surface.h"

namespace zanek::test {

// The centre of menu row r, where a click hits its button.
inline std::pair<int, int> row_centre(int r) {
    return {static_cast<int>(CMENU.x[r]) + CMENU.w[r] / 2 - 10, static_cast<int>(CMENU.y[r]) - 20};
}

class WindowTest : public ::testing::Test {
protected:
    int bx[100] = {}, by[100] = {};  // the point buffer of a caller

    void SetUp() override {
        reset_job_records();
        reset_window_records();
        SCREEN.I(screenw::kMode) = 1;
        mouse_script().set({});
        int n = 79;
        GRAPHS(bx, by, n, gop::kOpen, "test title", 0);
    }
    void TearDown() override {
        mouse_script().reset();
        reset_job_records();
    }

    Surface& s() { return window_surface(); }
    int op(int code, int n = 0, const std::string& text = "", int value = 0) {
        GRAPHS(bx, by, n, code, text, value);
        return n;
    }
    static std::pair<int, int> centre(int r) { return row_centre(r); }
    static void clicks(const std::vector<std::pair<int, int>>& c) { mouse_script().set(c); }
    // The menu dialogue of op 5 with menu group g; the action code.
    int wait(int g) { return op(gop::kWait, g); }
};

}  // namespace zanek::test
