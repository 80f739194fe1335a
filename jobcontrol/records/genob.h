// GENOB: word 1 = -1 when reflections missing from the input are only
// counted, 0 when they are generated as unobserved (directive `gene`).
#pragma once

#include "platform/word.h"

namespace zanek {

inline Record<1> GENOB;
namespace genob {
constexpr int kMissing = 1;  // -1 count the missing reflections, 0 generate them
}

}  // namespace zanek
