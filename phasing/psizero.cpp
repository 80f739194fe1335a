#include "phasing/psizero.h"

namespace zanek {

// Being written.
void NEWPSI1() {}

}  // namespace zanek
