#include "protocols/userformats/framecheck.h"

namespace scale {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char kLowerHex[] = "0123456789abcdef";

int hexNibble(std::uint8_t c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string written(const FrameCheck& check, std::uint8_t value) {
    if (check.form == FrameCheck::Form::Byte) {
        return std::string(1, static_cast<char>(value));
    }
    const char* digits = check.form == FrameCheck::Form::Hex ? kUpperHex : kLowerHex;
    return {digits[value >> 4], digits[value & 0x0F]};
}

// Where the check begins in a frame the simulator wrote.
std::size_t checkPosition(const FrameCheck& check, std::string_view frame,
                          std::string_view terminators) {
    if (check.afterTerminator) {
        return frame.size();
    }
    std::size_t at = frame.size();
    while (at > 0 && terminators.find(frame[at - 1]) != std::string_view::npos) {
        --at;
    }
    return at;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::uint8_t checkValue(FrameCheck::Kind kind, std::span<const std::uint8_t> bytes) {
    unsigned value = 0;
    for (const std::uint8_t byte : bytes) {
        value = kind == FrameCheck::Kind::Xor ? value ^ byte : value + byte;
    }
    if (kind == FrameCheck::Kind::TwosComplement) {
        value = 0x100u - (value & 0xFFu);
    }
    return static_cast<std::uint8_t>(value & 0xFFu);
}

bool checkHolds(const FrameCheck& check, std::span<const std::uint8_t> frame,
                std::size_t startBytes, std::string_view terminators,
                std::span<const std::uint8_t>& text) {
    // The frame ends at its first terminator byte; only a check after it may follow.
    std::size_t end = startBytes;
    while (end < frame.size() &&
           terminators.find(static_cast<char>(frame[end])) == std::string_view::npos) {
        ++end;
    }
    const std::size_t length = check.length();
    std::size_t at = 0;  // where the check begins
    if (check.afterTerminator) {
        if (end + 2 != frame.size()) {
            return false;  // no check byte came, or more than one
        }
        at = end + 1;
        text = frame.subspan(startBytes, end - startBytes);
    } else {
        if (end < startBytes + length || check.from > end - length) {
            return false;
        }
        at = end - length;
        text = frame.subspan(startBytes, at - startBytes);
    }
    if (check.from > at) {
        return false;
    }
    const std::uint8_t value = checkValue(check.kind, frame.subspan(check.from, at - check.from));
    if (check.form == FrameCheck::Form::Byte) {
        return frame[at] == value;
    }
    const int high = hexNibble(frame[at]);
    const int low = hexNibble(frame[at + 1]);
    return high >= 0 && low >= 0 && high * 16 + low == value;
}

void insertCheck(const FrameCheck& check, std::string& frame, std::string_view terminators) {
    if (!check.present()) {
        return;
    }
    const std::size_t at = checkPosition(check, frame, terminators);
    const std::string_view covered =
        check.from < at ? std::string_view(frame).substr(check.from, at - check.from)
                        : std::string_view();
    frame.insert(at, written(check, checkValue(check.kind, bytesOf(covered))));
}

void spoilCheck(const FrameCheck& check, std::string& frame, std::string_view terminators,
                int startByte) {
    const std::size_t end =
        check.afterTerminator ? frame.size() : checkPosition(check, frame, terminators);
    if (!check.present() || end < check.length()) {
        return;
    }
    const std::size_t at = end - check.length();
    std::uint8_t value = 0;
    if (check.form == FrameCheck::Form::Byte) {
        value = static_cast<std::uint8_t>(frame[at]);
    } else {
        value = static_cast<std::uint8_t>(hexNibble(static_cast<std::uint8_t>(frame[at])) * 16 +
                                          hexNibble(static_cast<std::uint8_t>(frame[at + 1])));
    }
    std::string wrong;
    do {
        ++value;
        wrong = written(check, value);
    } while (terminators.find(wrong[0]) != std::string_view::npos ||
             static_cast<unsigned char>(wrong[0]) == startByte);
    frame.replace(at, check.length(), wrong);
}

}  // namespace scale
