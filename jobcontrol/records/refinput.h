// UNO: the sizes of the presence table of the reflection input. Word 1 the
// words available in the work store (244000), word 2 the words required,
// that is the largest super-index of the reflections read.
#pragma once

#include "platform/word.h"

namespace zanek {

inline Record<2> UNO;
namespace uno {
constexpr int kAvailable = 1, kRequired = 2;
}

}  // namespace zanek
