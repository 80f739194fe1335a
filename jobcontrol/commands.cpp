#include "jobcontrol/commands.h"

#include "jobcontrol/records/job.h"
#include "jobcontrol/text.h"
#include "platform/listing.h"

namespace zanek {

void command_heading(const std::string& title, HeadingEnd end, int pad_blanks, int digit) {
    const std::string rule(120, '+');
    int control = digit >= 0 ? digit : IMPL.I(implw::kHeadingDigit);
    lst_blank(3);
    lst_line(std::to_string(control % 10) + rule);
    lst_blank();
    std::string head = pad_blanks >= 0 ? title + std::string(pad_blanks, ' ') : padded(title, 39) + std::string(68, ' ');
    lst_line(head + "Release  93.02");
    lst_blank();
    lst_line(std::string(20, ' ') + job_title());
    if (end == HeadingEnd::AfterTitle) return;
    lst_line(" " + rule);
    lst_blank();
    if (end == HeadingEnd::TwoEmpty) {
        lst_blank();
    } else if (end == HeadingEnd::Link) {
        lst_blank();
        lst_line(" ");
        lst_blank(2);
    }
}

void section_banner(const std::string& text) { lst_line(std::string(40, ' ') + text); }

int directive_count() {
    int c = COMDIR.I(comdir::kRunning);
    if (c < 1 || c > kQueueCapacity) return 0;
    return comdir::directive_lines(c);
}

std::string next_directive_line() {
    int& cursor = COMDIR.I(comdir::kCursor);
    if (cursor >= kMaxDirectives) return std::string(80, ' ');
    cursor += 1;
    return CHARA.line(cursor);
}

void skip_directives() {
    for (int k = directive_count(); k > 0; --k) next_directive_line();
}

DirectiveLine split_directive(const std::string& line) {
    DirectiveLine d;
    d.line = line;
    d.rest = line;
    d.word.assign(40, ' ');
    SHIFT(d.rest, d.rest_length);
    CUTST(d.rest, d.rest_length, d.word, d.word_length);
    LCASE(d.word);
    return d;
}

}  // namespace zanek
