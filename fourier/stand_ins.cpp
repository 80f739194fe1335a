// Commands of this subsystem that do not compute anything yet: each prints
// its heading and consumes exactly its own directive lines.
#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"

namespace zanek {

void RESTAR(int& /*status*/) {
    command_heading(" Restart routine", HeadingEnd::AfterTitle);
    skip_directives();
}

void PATTER(int& /*status*/) {
    command_heading(" patterson routine");
    section_banner("***   patterson synthesis section    ***");
    skip_directives();
}

}  // namespace zanek
