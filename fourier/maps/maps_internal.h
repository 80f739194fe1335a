// Small helpers shared by the routines of the Fourier maps.
#pragma once

#include <string>

namespace zanek {

// A section heading of the Fourier command: a rule of 79 "+" (on a new page
// when asked), the text 40 columns in, and the job title.
void fourier_heading(const std::string& text, bool new_page = false);

// True when list TYPE is stored in the structure file.
bool list_stored(int type);

// The two characters of species t's symbol with the first upper-cased.
std::string species_label(int t);

// The cos and sin of a whole number of degrees from the sine table (TRIG
// words 1-450; filled when it is still empty).
float cos_deg(int degrees);
float sin_deg(int degrees);

}  // namespace zanek
