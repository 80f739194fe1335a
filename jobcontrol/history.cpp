#include "jobcontrol/history.h"

#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"
#include "platform/system.h"
#include "platform/units.h"

namespace zanek {

namespace {
// The results record file of outside-program mode 1, on a unit of its own.
constexpr int kResultsUnit = 37;
constexpr int kResultsRecord = 170;
const char* const kResultsFile = "struc.nme";
}  // namespace

void BEFOR() {
    command_heading(" ZANEK : History of the structure      ", HeadingEnd::Standard, -1, 0);
    int count = IMPL.I(27) - 1;
    IMPL.I(27) = count;
    lst_blank();
    if (count <= 0) {
        lst_line(std::string(10, ' ') + " The structure has no story");
        lst_blank();
        return;
    }
    lst_line(std::string(10, ' ') + " List of commands issued in the past");
    lst_blank();
    for (int k = 1; k <= std::min(count, 79); ++k) {
        int code = IMPL.I(27 + k);
        lst_line(rtrim(std::string(11, ' ') + CHARAS.command_mark() + CHARAS.keyword(code)));
    }
}

void HISTOR(int index, int value, int& ierr) {
    if (index < 1 || index > 19) return;
    int mode = IMPL.I(7);
    if (mode == 0 || mode == 2) {
        IMPL.I(7 + index) = value;
        return;
    }
    if (mode != 1) return;
    int count = 0, iostat = 0;
    if (KOPEN(kResultsUnit, kResultsFile, 16, count, iostat)) {
        lst("(' error ',i5,'  opening file ',a)", {iostat, kResultsFile});
        ierr = -1;
        return;
    }
    iostat = units().read_direct(kResultsUnit, kResultsRecord, IMPL.at(8), 16);
    if (iostat != IO_OK) {
        lst("(' error ',i5,' reading record no. ',i3,' in file ',a)", {iostat, kResultsRecord, kResultsFile});
        units().close(kResultsUnit);
        ierr = -1;
        return;
    }
    IMPL.I(7 + index) = value;
    iostat = units().write_direct(kResultsUnit, kResultsRecord, IMPL.at(8), 16);
    if (iostat != IO_OK) {
        lst("(' error ',i5,' writing record no. ',i3,' in file ',a)", {iostat, kResultsRecord, kResultsFile});
        units().close(kResultsUnit);
        ierr = -1;
        return;
    }
    units().close(kResultsUnit);
}

void WRHEAD() {
    std::string date(24, ' ');
    int n = 0;
    ZANDATE(date, n);
    std::string line = n > 0 ? date.substr(0, n) : std::string();
    line += " ZANEK exec on:   ";
    std::string name = rtrim(DOTDAT.name[1]);
    line += name.substr(0, name.find('.'));
    lst_line(" " + line.substr(0, 80));
    lst_blank(2);
}

void ZANTIME(std::string& text, int& n) {
    std::string date = date_text24();
    text = padded(text, std::max<std::size_t>(text.size(), 28));
    text.replace(0, 28, "At " + date.substr(0, 14) + std::string(11, ' '));
    n = 28;
}

void ZANDATE(std::string& text, int& n) {
    text = padded(date_text24(), text.size());
    n = KSTRLN(text);
}

void SUMMAR() {}

}  // namespace zanek
