#include "tools/indicator-sim/eventlog.h"

#include <cstdio>

namespace indicatorsim {

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kDigits[byte >> 4u]);
        text.push_back(kDigits[byte & 0x0Fu]);
    }
    return text;
}

std::string millisText(Micros at) {
    const std::string fraction = std::to_string(1000 + at % 1000);
    return std::to_string(at / 1000) + "." + fraction.substr(1);
}

std::string txLine(Micros at, std::span<const std::uint8_t> bytes, std::string_view text) {
    return millisText(at) + " tx " + hexBytes(bytes) + " " + std::string(text);
}

std::string rxLine(Micros at, std::span<const std::uint8_t> bytes) {
    return millisText(at) + " rx " + hexBytes(bytes);
}

std::string deliveredLine(Micros at, std::string_view settings,
                          std::span<const std::uint8_t> bytes) {
    return millisText(at) + " delivered " + std::string(settings) + " " +
           (bytes.empty() ? "-" : hexBytes(bytes));
}

std::string requestLine(Micros at) {
    return millisText(at) + " request";
}

std::string requestLine(Micros at, std::string_view format, std::string_view name) {
    return requestLine(at) + " " + std::string(format) + " " + std::string(name);
}

std::string escapedText(std::string_view text, bool (*escape)(unsigned char byte)) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (escape(byte)) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown.push_back(c);
        }
    }
    return shown;
}

}  // namespace indicatorsim
