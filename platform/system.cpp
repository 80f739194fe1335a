#include "platform/system.h"

#include <cstdlib>
#include <ctime>

namespace zanek {

namespace {
std::vector<std::string>& arg_table() {
    static std::vector<std::string> args;
    return args;
}
}  // namespace

void set_args(int argc, char** argv) {
    arg_table().assign(argv, argv + argc);
}

void set_args(const std::vector<std::string>& args) { arg_table() = args; }

std::string getarg(int i) {
    const auto& a = arg_table();
    std::string s = (i >= 0 && static_cast<size_t>(i) < a.size()) ? a[i] : std::string();
    s.resize(80, ' ');
    return s;
}

std::string getenv_str(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? std::string(v) : std::string();
}

std::string date_text24() {
    std::string fixed = getenv_str("ZANEK_CLOCK");
    if (!fixed.empty()) {
        fixed.resize(24, ' ');
        return fixed;
    }
    std::time_t now = std::time(nullptr);
    char buf[64];
    std::tm tmv;
    localtime_r(&now, &tmv);
    std::strftime(buf, sizeof buf, "%a %b %e %H:%M:%S %Y", &tmv);
    std::string s(buf);
    s.resize(24, ' ');
    return s;
}

}  // namespace zanek
