#include "protocols/formats/command/commandreply.h"

#include "protocols/formats/continuous/continuousframe.h"

namespace scale {

std::array<std::uint8_t, 14> encodeCommandReply(const IndicatorReading& reading,
                                                std::uint8_t address1, std::uint8_t address2) {
    std::array<std::uint8_t, 14> frame{};
    frame[1] = address1;
    frame[2] = address2;
    putContinuousFields(frame, reading);
    return frame;
}

}  // namespace scale
