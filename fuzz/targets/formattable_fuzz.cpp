// Every row of the table of formats on arbitrary bytes: what the stream reports holds together.

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/checks/fuzzcheck.h"
#include "fuzz/checks/fuzzinput.h"
#include "fuzz/checks/weightcheck.h"
#include "protocols/stream/formattable.h"
#include "protocols/stream/framestream.h"

using namespace scale;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const auto formats = builtinFormats();
    const FormatDescription& format = formats[input.byte() % formats.size()];
    FrameStream stream(format, ",");
    StreamFrame frame;
    for (const std::uint8_t byte : input.rest()) {
        if (!stream.push(byte, frame)) {
            continue;
        }
        require(!frame.raw.empty() && frame.raw.size() <= format.framing.maxLength + 1,
                "a frame holds at most its format's bytes and a check byte");
        if (format.framing.startByte >= 0) {
            require(frame.raw.front() == format.framing.startByte,
                    "a frame begins with its start byte");
        }
        if (frame.error != FrameError::None) {
            require(frame.number.empty() || format.windowMode >= 0,
                    "a refused frame carries no weight");
            continue;
        }
        require(std::isfinite(frame.weight), "the weight is a number");
        fuzz::requireNumberIsTheWeight(frame);
        require(frame.text.ends_with(frame.unit), "the text ends with the unit");
        if (!frame.tare.empty()) {
            double tare = 0;
            require(std::from_chars(frame.tare.data(), frame.tare.data() + frame.tare.size(), tare)
                            .ec == std::errc{},
                    "the tare is a plain number");
        }
    }
    return 0;
}
