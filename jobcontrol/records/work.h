// The work store: 244,000 words of integers and reals, laid out afresh by
// each command for its own tables.
#pragma once

#include "platform/word.h"

namespace zanek {

constexpr int kXdataWords = 244000;
inline Record<kXdataWords> XDATA;

}  // namespace zanek
