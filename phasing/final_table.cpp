#include "phasing/final_table.h"

namespace zanek {

// Being written.
void SSFOM(const int32_t*) {}

}  // namespace zanek
