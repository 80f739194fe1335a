#include "graphics/viewer/viewer_records.h"

namespace zanek {

void reset_viewer_records() {
    ATOMI = AtomiRecord();
    CRT = CrtRecord();
    GENERAC = GeneracRecord();
    LEG1 = Leg1Record();
    WORK = WorkRecord();
}

}  // namespace zanek
