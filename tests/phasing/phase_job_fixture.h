// A test job of tests/jobs run in-process up to the command
// before %phase, so that the phase stages can be called on its lists.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "jobcontrol/numeric.h"
#include "jobcontrol/records/job.h"
#include "tests/support/inprocess.h"
#include "tests/support/test_support.h"

namespace zanek::test {

// The directive lines of one command of a test job's command file.
inline std::vector<std::string> job_directives(const std::string& job, const std::string& command,
                                               const std::string& file = "job.cmd") {
    std::ifstream f(jobs_dir() + "/" + job + "/" + file);
    std::vector<std::string> out;
    std::string line;
    bool in = false;
    while (std::getline(f, line)) {
        if (!line.empty() && line[0] == '%') {
            in = line.rfind(command, 0) == 0;
            continue;
        }
        if (in) out.push_back(line);
    }
    return out;
}

class PhaseJob : public InProcessJob {
protected:
    PhaseJob() : InProcessJob("phase") {}

    enum Stage { kData = 1, kNormal = 2, kSeminv = 3, kInvar = 4, kPhase = 5 };

    // Queues %data %normal %seminvariants %invariants %phase (with the given
    // directive lines of %phase and %invariants) for a test job and runs the commands up to `last`;
    // the running command is then %phase, its directive lines next.
    void prepare(const std::string& job, const std::vector<std::string>& phase_lines, Stage last = kInvar,
                 bool known = false, const std::vector<std::string>& invariants_lines = {}) {
        const std::string cmd = known ? "job_known.cmd" : "job.cmd";
        std::vector<std::string> data = job_directives(job, "%data", cmd);
        const std::string hkl_file = known ? "data_known.hkl" : "data.hkl";
        write_file(dir + "/" + hkl_file, read_file(jobs_dir() + "/" + job + "/" + hkl_file));
        queue({{CMD_DATA, data},
               {CMD_NORMAL, {}},
               {CMD_SEMINV, {}},
               {CMD_INVAR, invariants_lines},
               {CMD_PHASE, phase_lines}});
        COMDIR.I(comdir::kCursor) = 0;
        for (int c = 1; c <= last; ++c) ASSERT_GE(dispatch(c), 0) << "command " << c;
        COMDIR.I(comdir::kRunning) = kPhase;
    }
};

// The three fields of a packed relation word.
struct Fields {
    int a, b, c;
};
inline Fields fields(int32_t w) {
    int32_t a = 0, b = 0, c = 0;
    UNPAK3(w, a, b, c);
    return {a, b, c};
}

}  // namespace zanek::test
