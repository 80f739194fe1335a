#include "graphics/window/records.h"

#include <algorithm>

#include "graphics/window/menus.h"

namespace zanek {

std::string contr_title() {
    std::string s(80, ' ');
    unpack_chars(s.data(), CONTR.at(contr::kTitle), 20);
    return s;
}

void set_contr_title(const std::string& text) {
    std::string s = text.substr(0, std::min<std::size_t>(text.size(), 80));
    s.resize(80, ' ');
    pack_chars(CONTR.at(contr::kTitle), s.data(), 20);
}

void reset_window_records() {
    XWI = XwiRecord();
    CMENU = CmenuRecord();
    CONTR.clear();
    CONTR.I(contr::kScaleMode) = 1;
    set_contr_title("");
    SCALE.clear();
    SCALE.R(scalew::kMenuWidth) = scalew::kMenuWidthPixels;
    SCALE.R(scalew::kTitleHeight) = scalew::kTitleHeightPixels;
    MESS = MessRecord();
}

}  // namespace zanek
