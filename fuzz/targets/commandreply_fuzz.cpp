// Command replies: capture and decoding of arbitrary chunks, and encoder against decoder.

#include <cstddef>
#include <cstdint>

#include "fuzz/checks/readingfrom.h"
#include "fuzz/checks/weightframecheck.h"
#include "protocols/formats/command/commandreply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace scale;
    fuzz::FuzzInput input(data, size);
    const IndicatorReading reading = fuzz::readingFrom(input);
    const std::uint8_t address1 = input.byte();
    const std::uint8_t address2 = input.byte();
    // An address byte 0x03 ends the reply early, so such a reply cannot carry its reading.
    if (address1 != kEtx && address2 != kEtx) {
        fuzz::checkWeightRoundTrip(encodeCommandReply(reading, address1, address2), reading,
                                   kCommandReplyLayout);
    }
    fuzz::checkWeightChunks(input, kCommandReplyLayout);
    return 0;
}
