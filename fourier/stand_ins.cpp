// Commands of this subsystem that do not compute anything yet: each prints
// its heading and consumes exactly its own directive lines.
#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"

namespace zanek {

}  // namespace zanek
