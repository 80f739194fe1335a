#include "fourier/maps/maps_internal.h"

#include <cctype>

#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"

namespace zanek {

void fourier_heading(const std::string& text, bool new_page) {
    lst_blank(2);
    lst_line((new_page ? "1" : " ") + std::string(79, '+'));
    lst_blank();
    section_banner(text);
    lst_blank();
    lst_line(std::string(20, ' ') + job_title());
    lst_blank();
}

bool list_stored(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

std::string species_label(int t) {
    if (t < 1 || t > sf::kMaxSpecies) return "  ";
    const char* p = reinterpret_cast<const char*>(&sf::symbol(t));
    std::string s(p, 2);
    s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

namespace {
int reduce(int d) {
    d %= 360;
    return d < 0 ? d + 360 : d;
}
}  // namespace

float sin_deg(int degrees) {
    if (TRIG.R(trig::kTwoPi) == 0.0f) fill_trig();
    return trig::sine(reduce(degrees));
}

float cos_deg(int degrees) {
    if (TRIG.R(trig::kTwoPi) == 0.0f) fill_trig();
    return trig::sine(reduce(degrees) + 90);
}

}  // namespace zanek
