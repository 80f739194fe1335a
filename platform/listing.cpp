#include "platform/listing.h"

#include "platform/units.h"

namespace zanek {

namespace {
int g_listing_unit = 2;
bool g_write_failed = false;  // a line since the unit was chosen did not go out
std::vector<std::string> g_to_act_on;

// An unconnected listing unit writes to the console.
void ensure_connected() {
    if (!units().connected(g_listing_unit)) units().connect_console(g_listing_unit);
}
}  // namespace

void set_listing_unit(int unit) {
    g_listing_unit = unit;
    g_write_failed = false;
    g_to_act_on.clear();
}
int listing_unit() { return g_listing_unit; }

void lst_line(std::string_view text) {
    ensure_connected();
    if (units().write_line(g_listing_unit, std::string(text)) != IO_OK) g_write_failed = true;
}

void lst_line_to_act_on(std::string_view text) {
    lst_line(text);
    g_to_act_on.emplace_back(text);
}

const std::vector<std::string>& lines_to_act_on() { return g_to_act_on; }

void lst(std::string_view fmt, const std::vector<FItem>& items) {
    for (const std::string& rec : fformat(fmt, items)) lst_line(rec);
}

void lst_blank(int n) {
    for (int k = 0; k < n; ++k) lst_line("");
}

void lst_flush() {
    if (units().connected(g_listing_unit)) units().flush(g_listing_unit);
}

std::string listing_name() {
    const UnitFile* f = units().file(g_listing_unit);
    return f ? f->name : "con";
}

bool close_listing() {
    const bool written = units().close(g_listing_unit) == IO_OK && !g_write_failed;
    g_write_failed = false;
    return written;
}

}  // namespace zanek
