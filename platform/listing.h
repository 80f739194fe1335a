// The listing: every line of the printed output goes through here, to the
// unit that the command line connected (a file, or the console).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fformat.h"

namespace zanek {

void set_listing_unit(int unit);
int listing_unit();

// Formats the items and writes every record as one listing line.
void lst(std::string_view fmt, const std::vector<FItem>& items = {});
// Writes one line exactly as given (column 1 is the carriage control).
void lst_line(std::string_view text);
// Writes one line that the user must act on (a file of theirs moved to a
// name of its own, or left where a later run removes it): where the
// listing is lost, the run says it on standard error too.
void lst_line_to_act_on(std::string_view text);
// Those lines, in the order written, since the listing unit was chosen.
const std::vector<std::string>& lines_to_act_on();
// n empty lines.
void lst_blank(int n = 1);
void lst_flush();

// The name the listing goes to: its file, or "con" for the console.
std::string listing_name();
// Closes the listing unit at the end of a run: false when a line of it could
// not be written or the close failed (a full disc often shows only when the
// last buffer goes out), so that the run can say that its record is lost.
bool close_listing();

}  // namespace zanek
