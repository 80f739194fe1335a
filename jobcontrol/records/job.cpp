#include "jobcontrol/records/job.h"

#include <algorithm>
#include <cmath>

namespace zanek {

CharasRecord CHARAS;
CharaRecord CHARA;
DotdatRecord DOTDAT;
ScmessRecord SCMESS;

namespace {
std::string pad(std::string s, size_t n) {
    s.resize(n, ' ');
    return s;
}
}  // namespace

CharasRecord::CharasRecord() {
    static const char* const kKeywords[kNumKeywords] = {
        "normal", "seminvariants", "invariants", "phase", "fourier", "export", "end",
        "continue", "job", "", "", "initialize", "restart", "history", "%", "patterson",
        "quartets", "vorp", "", "", "", "structure", "data", "nowindow", "window"};
    text = "%>";
    for (const char* k : kKeywords) text += pad(k, 14);
}

CharaRecord::CharaRecord() {
    text = " 0123456789.-" + std::string(8000, ' ') + pad("crysdir:form.dat", 80);
    text.resize(8096, ' ');
}

void CharaRecord::set_line(int k, const std::string& s) {
    text.replace(13 + 80 * (k - 1), 80, pad(s, 80));
}

DotdatRecord::DotdatRecord() {
    for (int i = 1; i <= 4; ++i) name[i] = pad("struct", 80);
    suffix[1] = ".bin";
    suffix[2] = ".hkl";
    suffix[3] = ".ins";
    suffix[4] = ".plt";
}

ScmessRecord::ScmessRecord() {
    for (auto& area_lines : area)
        for (auto& line : area_lines) line = std::string(80, ' ');
}

std::string job_title() {
    std::string t(80, ' ');
    unpack_chars(t.data(), UNIT.at(unitw::kTitle), 20);
    return t;
}

void set_job_title(const std::string& title) {
    char t[80];
    std::string s = pad(title, 80);
    std::copy(s.begin(), s.end(), t);
    pack_chars(UNIT.at(unitw::kTitle), t, 20);
}

void fill_trig() {
    // Single-precision constants, used as written.
    const float deg = 0.017453294f;
    for (int i = 1; i <= 450; ++i) TRIG.R(i) = static_cast<float>(std::sin(static_cast<float>(i - 1) * deg));
    TRIG.R(trig::kPi) = 3.1415927f;
    TRIG.R(trig::kTwoPi) = 6.2831855f;
    TRIG.R(trig::kRadian) = 0.017453294f;
    TRIG.R(trig::kDegree) = 57.295776f;
}

void reset_job_records() {
    COMDIR.clear();
    COMDIR.I(comdir::kCapacity) = kQueueCapacity;
    CHARA = CharaRecord();
    DOTDAT = DotdatRecord();
    SCMESS = ScmessRecord();
    UNIT.clear();
    UNIT.I(unitw::kCommands) = 1;
    UNIT.I(unitw::kListing) = 2;
    UNIT.I(unitw::kIfour) = 33;
    UNIT.I(unitw::kSequentialScratch) = 32;
    UNIT.I(unitw::kScratch) = 31;
    UNIT.I(unitw::kPeaks) = 35;
    UNIT.I(unitw::kPlot) = 36;
    set_job_title(std::string());
    IMPL.clear();
    IMPL.I(implw::kStructureUnit) = 30;
    IMPL.I(implw::kFormUnit) = 41;
    IMPL.I(implw::kReflectionUnit) = 34;
    IMPL.I(implw::kMainFormat) = 1;  // main export format: CRYSTALS until a directive says otherwise
    IMPL.I(implw::kRecordLength) = 2048;
    IMPL.I(implw::kBlockLength) = 512;
    IMPL.I(implw::kHeadingDigit) = 1;
    SCREEN.clear();
    SCREEN.I(screenw::kWidth) = 639;
    SCREEN.I(screenw::kHeight) = 479;
    SCREEN.I(screenw::kNameShown) = 1;   // the structure name is shown on the screens
    SCREEN.I(screenw::kMouse) = -1;  // the mouse flag: no mouse action seen yet
    BUFFER.clear();
    TRIG.clear();
}

}  // namespace zanek
