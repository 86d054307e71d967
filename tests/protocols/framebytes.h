#pragma once

// Byte helpers shared by the protocol tests: frames written out as hexadecimal or as text, weight
// frames sealed with their checksum, and the readout as a reader leaves it after a decode.

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/window/decoderesult.h"
#include "protocols/window/frames.h"

namespace scale::test {

using Bytes = std::vector<std::uint8_t>;

// "02 2B 30" -> {0x02, 0x2B, 0x30}.
inline Bytes hexBytes(std::string_view text) {
    Bytes bytes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        const std::string pair(text.substr(pos, 2));
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
        pos += 2;
    }
    return bytes;
}

// One byte per character.
inline Bytes textBytes(std::string_view text) {
    Bytes bytes;
    for (const char c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
    }
    return bytes;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 02, the body, the XOR of the body as two upper-case hexadecimal digits, 03. The body is a
// continuous frame's sign, six digits and decimals, or a command reply's two address bytes and
// the same fields.
inline Bytes sealedFrame(std::string_view body) {
    unsigned x = 0;
    for (const char c : body) {
        x ^= static_cast<unsigned char>(c);
    }
    char checksum[3];
    std::snprintf(checksum, sizeof checksum, "%02X", x);
    return Bytes{kStx} + textBytes(body) + textBytes(checksum) + Bytes{kEtx};
}

// The bytes stored in `rx` from index `first` to index `last`, both included.
template <typename Rx>
Bytes stored(const Rx& rx, std::size_t first, std::size_t last) {
    if (last >= rx.size() || first > last) {
        throw std::out_of_range("stored: bad index range");
    }
    return Bytes(rx.begin() + static_cast<std::ptrdiff_t>(first),
                 rx.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}

// The weight readout's caption as the window leaves it after each decode: "Load..." for a chunk
// without a valid frame, the weight (and a "-" put in front of it when the frame's sign asks for
// it) for a changed frame, and whatever it was for a repeated frame.
struct Readout {
    std::string caption = "(start)";

    void apply(const DecodeResult& result) {
        switch (result.readout) {
            case ReadoutUpdate::Waiting:
                caption = "Load...";
                break;
            case ReadoutUpdate::Unchanged:
                break;
            case ReadoutUpdate::Weighing:
                caption = result.weightText;
                if (result.signStep) {
                    caption = "-" + caption;
                }
                break;
        }
    }
};

// The caption a single decode puts in the readout.
inline std::string shownCaption(const DecodeResult& result) {
    Readout readout;
    readout.apply(result);
    return readout.caption;
}

}  // namespace scale::test
