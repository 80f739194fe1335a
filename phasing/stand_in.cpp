// The phase command does not compute anything yet: it prints its heading and
// banner and consumes exactly its own directive lines.
#include "jobcontrol/commands.h"

namespace zanek {

void CONTAN(int& /*status*/) {
    command_heading(" ZANEK : Phase routine", HeadingEnd::Standard, 85);
    section_banner("***   converge / diverge  section   ***");
    skip_directives();
}

}  // namespace zanek
