#include "jobcontrol/records/store.h"

namespace zanek {

void reset_store_records() {
    XDISU.clear();
    XBUFD.clear();
    XDISC.clear();
    XDISC.I(1) = -1;
    XDISC.I(2) = 15;
    XFILE.clear();
    XFILE.I(1) = 10000;
    XFILE.I(2) = 11000;
    XFILE.I(3) = 11111;
    XFILE.I(4) = 240;
    XFILE.I(5) = 6;
    XFILE.I(6) = -1;
    XFILI.clear();
    XFILI.I(1) = 1600;
    XFILI.I(2) = 50;
    DATA.clear();
    XLIMI.clear();
    XLIMI.I(xlimi::kNextFree) = 1;
    XLIMI.I(xlimi::kCapacity) = 5000;
    XLIMI.I(3) = 5000;
    XLIMI.I(xlimi::kListBase) = 1;
    XSAE.clear();
}

}  // namespace zanek
