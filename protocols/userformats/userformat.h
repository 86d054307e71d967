#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocols/stream/formatdescription.h"
#include "protocols/userformats/framecheck.h"

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
    // Patterns of frames that carry no weight, anchored like `pattern`; empty: none.
    std::string overload;
    std::string underload;
    std::string busy;
    std::string error;  // may have a `text` group, the indicator's words
    FrameCheck check;
    std::string send;  // the simulator's template; empty: none
    std::string sendOverload;
    std::string sendUnderload;
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

// Where the keys of a formats file are described, for messages about a file that is refused.
inline constexpr std::string_view kFormatsReference = "man scale-read or docs/formats.md";

// Reads the [[format]] tables of a formats file's text. On failure, one line: "FILE line N:
// what is wrong".
std::variant<UserFormats, std::string> readUserFormats(std::string_view text,
                                                       std::string_view fileName);

// The frame the format's `send` template gives for a weight (the simulator's side), with its
// check. Empty when the format has no template.
std::string renderUserFrame(const UserFormat& format, double weight, int decimals, bool motion,
                            bool net);

// The frame of `send-overload` (`underload` false) or `send-underload`, with its check; empty
// when the format has no such template.
std::string renderUserStatusFrame(const UserFormat& format, bool underload);

}  // namespace scale
