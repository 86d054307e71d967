#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "protocols/window/decoderesult.h"
#include "protocols/window/frames.h"

namespace scale {

// What sets the three indicator protocols apart: data only, so that one arming and one reading
// path serve all three.
struct ProtocolModeInfo {
    // Bytes per receive event: the read length and the receive threshold.
    std::int16_t readLength;
    DecodeResult (*decode)(std::span<const std::uint8_t> chunk, RxFrameBytes& rxFrame,
                           double& weightValue, std::string_view decimalSeparator);
    // The tool asks for each weight: arming starts the poll timer, and every reply or silent
    // watchdog period schedules the next request. Otherwise the indicator sends on its own and
    // the watchdog runs from arming on.
    bool polls;
    // A failed arming also disables the apply button for the rest of the run.
    bool failureDisablesApply;
};

// By ProtocolMode: 0 continuous, 1 command, 2 ShenTong; nullptr for any other value.
const ProtocolModeInfo* protocolModeInfo(std::int16_t mode);

}  // namespace scale
