#include "phasing/partial.h"

namespace zanek {

// Being written.
void XSIM(int&, int&, int&, int&, int*, int&) {}
void XCON(int&, int&, int&, int&, int*, int&) {}

}  // namespace zanek
