// Every row of the table of formats on arbitrary bytes: what the stream reports holds together.

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzcheck.h"
#include "fuzz/fuzzinput.h"
#include "protocols/formattable.h"
#include "protocols/framestream.h"

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
        double number = 0;
        const auto parsed = std::from_chars(frame.number.data(),
                                            frame.number.data() + frame.number.size(), number);
        require(parsed.ec == std::errc{} && parsed.ptr == frame.number.data() + frame.number.size(),
                "the number is a plain number");
        require(std::fabs(number - frame.weight) <= 0.5 * std::pow(10.0, -frame.decimals) + 1e-9,
                "the number is the weight at its decimals");
        require(frame.text.ends_with(frame.unit), "the text ends with the unit");
        if (!frame.tare.empty()) {
            require(std::from_chars(frame.tare.data(), frame.tare.data() + frame.tare.size(),
                                    number)
                            .ec == std::errc{},
                    "the tare is a plain number");
        }
    }
    return 0;
}
