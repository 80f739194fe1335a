// The program's own uniform random generator for random trial phases. Its
// whole state is one positive 32-bit word, which the phase command keeps in
// the reflection-list header so that the next run continues the sequence.
#pragma once

#include <cstdint>

namespace zanek {

// Brings any stored word into the generator's state range 1..2^31-2.
int32_t seed_state(int32_t seed);
// Advances the seed and returns u in [0, 1).
void URAND(int32_t& seed, float& u);

}  // namespace zanek
