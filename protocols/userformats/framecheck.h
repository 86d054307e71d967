#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace scale {

// A check over a described format's frame: the kind of sum, how it is written, and the bytes it
// covers, from `from` (counted from the frame's first byte) up to the check itself.
struct FrameCheck {
    enum class Kind : std::uint8_t { None, Xor, Sum, TwosComplement };
    enum class Form : std::uint8_t { Byte, Hex, HexLower };

    Kind kind = Kind::None;
    Form form = Form::Hex;
    std::size_t from = 0;
    // Where it stands: just before the terminator, or as one byte just after it.
    bool afterTerminator = false;

    bool present() const { return kind != Kind::None; }
    std::size_t length() const { return form == Form::Byte ? 1 : 2; }
};

// The sum of `bytes` of the check's kind.
std::uint8_t checkValue(FrameCheck::Kind kind, std::span<const std::uint8_t> bytes);

// Whether `frame` (start byte to terminator, and the check byte after it where it stands there)
// carries the right check; the bytes the pattern reads, start byte, check and terminator left
// out, go to `text`. Hex digits are taken in either case.
bool checkHolds(const FrameCheck& check, std::span<const std::uint8_t> frame,
                std::size_t startBytes, std::string_view terminators,
                std::span<const std::uint8_t>& text);

// Puts the check into a frame the simulator wrote, which ends with a terminator byte: before the
// run of terminator bytes at its end, or after it.
void insertCheck(const FrameCheck& check, std::string& frame, std::string_view terminators);

// Makes a frame that `insertCheck` completed fail its check, with a value that is still no
// framing byte.
void spoilCheck(const FrameCheck& check, std::string& frame, std::string_view terminators,
                int startByte);

}  // namespace scale
