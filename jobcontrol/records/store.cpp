#include "jobcontrol/records/store.h"

namespace zanek {

void reset_store_records() {
    XDISU.clear();
    XBUFD.clear();
    XDISC.clear();
    XDISC.I(disc::kState) = disc::kNoPool;
    XDISC.I(disc::kMaxBuffers) = 15;
    XFILE.clear();
    XFILE.I(xfile::kIndexMagic) = 10000;
    XFILE.I(xfile::kUnused) = 11000;
    XFILE.I(xfile::kListMarker) = 11111;
    XFILE.I(xfile::kTableLength) = 240;
    XFILE.I(xfile::kRowLength) = 6;
    XFILE.I(xfile::kIndexState) = xfile::kNotLoaded;
    XFILI.clear();
    XFILI.I(xfili::kHeaderAddress) = 1600;
    XFILI.I(xfili::kHeaderLength) = 50;
    DATA.clear();
    XLIMI.clear();
    XLIMI.I(xlimi::kNextFree) = 1;
    XLIMI.I(xlimi::kCapacity) = 5000;
    XLIMI.I(xlimi::kUnused) = 5000;
    XLIMI.I(xlimi::kListBase) = 1;
    XSAE.clear();
}

}  // namespace zanek
