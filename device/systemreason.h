#pragma once

#include <string>

namespace scale {

// The system's reason for `error` ("no such file or directory"), in lower case as the rest of
// the line it ends.
std::string systemReasonText(int error);

}  // namespace scale
