// Insertion of a command into the running queue (the export command asks
// for a restart of the recycling this way).
#include "jobcontrol/commands.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/stop.h"

namespace zanek {

bool MODQUE(const std::string& buf, int n) {
    std::string key = padded(buf, 80).substr(0, std::max(0, std::min(n, 14)));
    int code = 0;
    for (int c = 1; c <= kNumKeywords; ++c)
        if (CHARAS.keyword(c).substr(0, key.size()) == key) code = c;
    if (code == 0) zstop(0, "Programming error #1");

    int count = COMDIR.I(comdir::kCount);
    int running = COMDIR.I(comdir::kRunning);
    if (running < 1) return false;
    if (count >= COMDIR.I(comdir::kCapacity)) {
        lst("(' *** error *** command queue full: ',a,' cannot be inserted')", {rtrim(key)});
        return false;
    }
    // Everything from the running command to the end of the queue (its
    // %end, or the last command of a job that ends with a go line) moves
    // one place on, directive counts with their commands.
    for (int k = count; k >= running; --k) {
        comdir::code(k + 1) = comdir::code(k);
        comdir::directive_lines(k + 1) = comdir::directive_lines(k);
    }
    comdir::code(running) = code;
    comdir::directive_lines(running) = 0;
    COMDIR.I(comdir::kCount) = count + 1;
    COMDIR.I(comdir::kRunning) = running - 1;
    return true;
}

}  // namespace zanek
