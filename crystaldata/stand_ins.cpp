// Commands of this subsystem that do not compute anything yet: each prints
// its heading and consumes exactly its own directive lines, so that the
// rest of the job reads the right lines.
#include "jobcontrol/commands.h"

namespace zanek {

void VORPM(int& /*status*/) {
    command_heading(" ZANEK : Vorp-Zan link routine", HeadingEnd::Link);
    skip_directives();
}

}  // namespace zanek
