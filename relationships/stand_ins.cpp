// Commands of this subsystem that do not compute anything yet: each prints
// its heading and consumes exactly its own directive lines.
#include "jobcontrol/commands.h"

namespace zanek {

void SEMINV(int& /*status*/) {
    command_heading(" ZANEK : Seminvariants routine", HeadingEnd::TwoEmpty);
    skip_directives();
}

}  // namespace zanek
