// A %data command run in-process on a fresh structure file: the directive
// lines are queued as the spooler queues them, the listing goes to a file,
// and the stored lists are read back with the list loaders.
#pragma once

#include <string>
#include <vector>

#include "crystaldata/data_command.h"
#include "crystaldata/reflections.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/listptr.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/special.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {

using L7 = List7Record;

class DataRun : public InProcessJob {
protected:
    DataRun() : InProcessJob("data") {}

    // Queues one %data with these directive lines and runs it; the lines
    // after the job's commands (for "refl foll") come from `following`.
    int run(const std::vector<std::string>& directives, const std::string& following = "") {
        queue({{23, directives}}, following);
        return dispatch(1);
    }
};

// Directive lines of a small job in P 1 (a big cell keeps s^2 small).
inline std::vector<std::string> p1_job(const std::string& group = "p 1") {
    return {"cell 20 20 20 90 90 90", "spac " + group, "cont c 8 o 2"};
}

}  // namespace zanek::test
