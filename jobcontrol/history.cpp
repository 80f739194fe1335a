#include "jobcontrol/history.h"

#include <vector>

#include "jobcontrol/commands.h"
#include "jobcontrol/files.h"
#include "jobcontrol/lists/list01.h"
#include "jobcontrol/lists/list03.h"
#include "jobcontrol/lists/list07.h"
#include "jobcontrol/lists/list15.h"
#include "jobcontrol/lists/list16.h"
#include "jobcontrol/lists/listxx.h"
#include "jobcontrol/records/atoms.h"
#include "jobcontrol/records/crystal.h"
#include "jobcontrol/records/job.h"
#include "jobcontrol/records/scatter.h"
#include "jobcontrol/records/store.h"
#include "jobcontrol/store/store.h"
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
    int count = IMPL.I(implw::kHistoryCount) - 1;
    IMPL.I(implw::kHistoryCount) = count;
    lst_blank();
    if (count <= 0) {
        lst_line(std::string(10, ' ') + " The structure has no story");
        lst_blank();
        return;
    }
    lst_line(std::string(10, ' ') + " List of commands issued in the past");
    lst_blank();
    for (int k = 1; k <= std::min(count, 79); ++k) {
        int code = IMPL.I(implw::kHistoryCount + k);
        lst_line(rtrim(std::string(11, ' ') + CHARAS.command_mark() + CHARAS.keyword(code)));
    }
}

void HISTOR(int index, int value, int& ierr) {
    if (index < 1 || index > 19) return;
    int mode = IMPL.I(implw::kOutsideMode);
    if (mode == 0 || mode == 2) {
        implw::result(index) = value;
        return;
    }
    if (mode != 1) return;
    int count = 0, iostat = 0;
    if (KOPEN(kResultsUnit, kResultsFile, 16, count, iostat)) {
        lst("(' error ',i5,'  opening file ',a)", {iostat, kResultsFile});
        ierr = -1;
        return;
    }
    iostat = units().read_direct(kResultsUnit, kResultsRecord, IMPL.at(implw::kResults), 16);
    if (iostat != IO_OK) {
        lst("(' error ',i5,' reading record no. ',i3,' in file ',a)", {iostat, kResultsRecord, kResultsFile});
        units().close(kResultsUnit);
        ierr = -1;
        return;
    }
    implw::result(index) = value;
    iostat = units().write_direct(kResultsUnit, kResultsRecord, IMPL.at(implw::kResults), 16);
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
    lst_line(' ' + line.substr(0, 80));
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

namespace {

bool list_present(int type) {
    int serial = 0, first = -1, last = 0, part = 0, length = 0;
    SRLIN(type, serial, first, last, part, length);
    return first > 0;
}

void count_line(int count, const std::string& caption) { lst("(26x,i6,a)", {count, caption}); }
void caption_line(const std::string& caption) { lst_line(std::string(32, ' ') + caption); }

// A table list of relations or seminvariants: only its header is read, so
// the summary never needs room for the items.
void table_line(int type, const std::string& caption, bool item_count) {
    if (!list_present(type)) return;
    int count = 0, i1 = 0, i2 = 0, i3 = 0, i4 = 0;
    SFLXX(-1, type, count, i1, i2, i3, i4, nullptr, 0);
    count_line(item_count ? count : i1, caption);  // header word 9 or 10
}

}  // namespace

void SUMMAR() {
    if (list_present(1)) {
        YFL01();
        caption_line(" cell parameters ");
    }
    if (list_present(2)) {
        YFL02();
        count_line(SYM.I(symw::kOps), " symmetry operators ");
    }
    if (list_present(3)) {
        YFL03();
        count_line(sf::species(), " atomic species");
    }
    if (list_present(7)) {
        int n = 0, nref = 0, nzro = 0, ipseudo = 0, x = 0;
        YSFL07(n, nref, nzro, ipseudo, x);
        if (UREQ.I(ureqw::kPartial) > 0) caption_line(" fragment information");
        if (ipseudo > 0) caption_line(" pseudotranslational information");
        count_line(n, C.R(cw::kScale) >= 0.0f ? " normalized reflections " : " not normalized reflections ");
    }
    table_line(26, " one phase seminvariants ", false);
    table_line(27, " two phase seminvariants", false);
    table_line(9, " psi-zero triplets ", false);
    table_line(24, " psi-e triplets", true);
    table_line(8, " positive triplets", false);
    table_line(11, " enantiomorph sensitive triplets", false);
    table_line(10, " negative triplets", false);
    table_line(20, " negative quartets ", false);
    table_line(21, " enantiomorph sensitive quartets ", false);
    if (list_present(16)) {
        XLIMI.I(xlimi::kNextFree) = XLIMI.I(xlimi::kListBase);
        // The figure-of-merit arrays of the header are at most as long as
        // the list image area.
        std::vector<float> fom(5000);
        std::vector<int32_t> sets(5000);
        int nsets = 0;
        SFL16(fom.data(), sets.data(), nsets, static_cast<int>(fom.size()));
        CONST.I(konst::kSetCount) = nsets;
        count_line(nsets, " sets of phases");
    }
    if (list_present(15)) {
        int n = 0, start = 1, set = 0, bondflag = 0;
        SFL15(n, start, set, bondflag);
        CONST.I(konst::kSetNumber) = set;
        CONST.I(konst::kAtomCount) = n;
        if (set > 0)
            lst("(26x,i6,a,i4)", {n, " coordinates related to set no.", set});
        else
            count_line(n, " Patterson's peaks");
    }
}

}  // namespace zanek
