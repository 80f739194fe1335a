// NEUTRO: word 1 the neutron-data flag. Cleared whenever crystal data are
// read and never set, so the X-ray branches are the ones that run.
#pragma once

#include "platform/word.h"

namespace zanek {

inline Record<1> NEUTRO;
namespace neutro {
constexpr int kNeutron = 1;
}

}  // namespace zanek
