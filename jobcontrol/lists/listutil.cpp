#include "jobcontrol/lists/listutil.h"

#include <climits>
#include <cmath>

#include "jobcontrol/commands.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

void put_list_header(int h0, int type) {
    DATA.R(h0) = kListMarker;
    DATA.R(h0 + 1) = static_cast<float>(type);
    DATA.R(h0 + 2) = 1.0f;
    DATA.R(h0 + 3) = 0.0f;
    DATA.R(h0 + 4) = -1.0f;
}

int trunc_word(const Word& w) {
    if (!std::isfinite(w.r) || std::fabs(w.r) >= 2147483648.0f) return INT_MIN;
    return static_cast<int>(w.r);
}

void list_corrupted(int type) {
    lst_blank(2);
    lst("(' requested list',i4,' has been corrupted')", {type});
    zstop(1111);
}

void list_missing(int type) {
    list_absent_message(type);
    throw CommandFailed();
}

void list_programming_error() {
    lst_line(" ****  programming  error  **** ");
    zstop(1234);
}

bool fits_data(int i1, int n) {
    return i1 >= 1 && n >= 0 && static_cast<long>(i1) + n - 1 <= static_cast<long>(DATA.size());
}

void check_list_read(int type, int i1, int words) {
    int serial = 0, first = 0, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    if (first <= 0) return;
    const int n = part > 0 ? part : length;
    const bool size_ok = words > 0 ? n == words : n >= -words;
    if (!size_ok || !fits_data(i1, n)) list_corrupted(type);
}

}  // namespace zanek
