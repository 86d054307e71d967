#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocols/formatdescription.h"

namespace scale {

// A format a user describes in a formats file: a regular expression with named groups over each
// frame's text, and how frames end, whether to ask for them, and the indicator's commands.
struct UserFormat {
    std::string name;
    std::string pattern;
    std::string start;       // one byte, or empty
    std::string terminator;  // the frame ends at any of these bytes
    std::string request;
    int pollIntervalMs = 100;
    std::string zero;
    std::string tare;
    std::string clearTare;
    std::string unit;  // where the pattern has no unit group
    std::string stableText = "S";
    std::string motionText = "M";
    std::string grossText = "G";
    std::string netText = "N";
    std::string tareText = "T";
    std::string send;  // the simulator's template; empty: none
    int fileLine = 0;  // where its table begins

    // What the stream reader reads it by; its texts point into the fields above, so a
    // UserFormat stays where it was made.
    FormatDescription description;
    std::unique_ptr<FrameMatcher> matcher;

    UserFormat() = default;
    UserFormat(const UserFormat&) = delete;
    UserFormat& operator=(const UserFormat&) = delete;
};

using UserFormats = std::vector<std::unique_ptr<UserFormat>>;

// Reads the [[format]] tables of a formats file's text. On failure, one line: "FILE line N:
// what is wrong".
std::variant<UserFormats, std::string> readUserFormats(std::string_view text,
                                                       std::string_view fileName);

// The frame the format's `send` template gives for a weight (the simulator's side). Empty when
// the format has no template.
std::string renderUserFrame(const UserFormat& format, double weight, int decimals, bool motion,
                            bool net);

}  // namespace scale
