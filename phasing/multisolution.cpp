#include "phasing/multisolution.h"

namespace zanek {

// Being written: the trial loop follows.
void TANGEN(int&, int&, int&, float&, int&, int&, int&, int&, float&, int&, int&, const std::array<float, 12>&) {}

}  // namespace zanek
