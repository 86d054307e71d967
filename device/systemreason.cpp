#include "device/systemreason.h"

#include <cctype>
#include <cstring>

namespace scale {

std::string systemReasonText(int error) {
    std::string reason = std::strerror(error);
    if (!reason.empty()) {
        reason.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(reason.front())));
    }
    return reason;
}

}  // namespace scale
