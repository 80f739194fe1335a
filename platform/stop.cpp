#include "platform/stop.h"

namespace zanek {

void zstop(int code, const std::string& text) { throw ZanekStop(code, text); }

}  // namespace zanek
