#include "test_spacegroup_fixture.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "crystaldata/spacegroup.h"
#include "jobcontrol/records/crystal.h"
#include "platform/listing.h"
#include "platform/units.h"
#include "tests/support/test_support.h"

namespace zanek::test {

const std::vector<FixtureGroup>& fixture_groups() {
    static std::vector<FixtureGroup> groups = [] {
        std::vector<FixtureGroup> out;
        std::ifstream in(source_dir() + "/tests/crystaldata/fixtures/spacegroups.txt");
        if (!in) throw std::runtime_error("space-group fixture missing");
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            if (line[0] == 'G') {
                FixtureGroup g;
                std::stringstream ss(line.substr(2));
                std::string field;
                std::getline(ss, field, '|');
                g.number = std::stoi(field);
                std::getline(ss, g.symbol, '|');
                std::getline(ss, g.reference_name, '|');
                std::getline(ss, field, '|');
                g.standard = field == "1";
                out.push_back(std::move(g));
                continue;
            }
            std::istringstream ss(line.substr(2));
            FixtureGroup& g = out.back();
            if (line[0] == 'O') {
                FixtureOp op;
                for (auto& row : op.R)
                    for (int& v : row) ss >> v;
                for (int& v : op.t) ss >> v;
                g.ops.push_back(op);
            } else if (line[0] == 'C') {
                std::array<int, 3> c;
                ss >> c[0] >> c[1] >> c[2];
                g.centring.push_back(c);
            } else if (line[0] == 'R') {
                FixtureReflection r;
                ss >> r.h[0] >> r.h[1] >> r.h[2] >> r.absent >> r.std[0] >> r.std[1] >> r.std[2] >> r.shift >>
                    r.sign >> r.code;
                g.reflections.push_back(r);
            }
        }
        return out;
    }();
    return groups;
}

namespace {
std::string g_listing_path;
}

void capture_listing(const std::string& name) {
    std::string dir = fresh_dir(name);
    g_listing_path = dir + "/listing.lis";
    units().close(listing_unit());
    units().open_seq(listing_unit(), g_listing_path, OpenStatus::Unknown, FileForm::Formatted);
}

std::string listing_text() {
    units().flush(listing_unit());
    return read_file(g_listing_path);
}

void set_small_metric() {
    float* g = s2_coefficients();
    for (int i = 0; i < 3; ++i) g[i] = 0.001f;
    for (int i = 3; i < 6; ++i) g[i] = 0.0f;
    RC.R(rcw::kRhomax) = 1.98f;
    RC.R(rcw::kLargestS2) = 0.0f;
    UREQ.I(ureqw::kHmax) = UREQ.I(ureqw::kKmax) = UREQ.I(ureqw::kLmax) = 0;
}

int analyse(const std::string& symbol, int shiftflag, const int shift[3]) {
    std::string line = symbol;
    int n = static_cast<int>(line.size());
    line.resize(80, ' ');
    int ierr = 0;
    ONEBL(line, 80, n, ierr);
    if (ierr < 0) return ierr;
    store_symbol_in_erl(line.substr(0, 16));
    const int zero[3] = {0, 0, 0};
    INSYM(shiftflag, shift ? shift : zero, ierr);
    return ierr;
}

}  // namespace zanek::test
