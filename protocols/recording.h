#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scale {

// A recording is the text of what a serial port delivered, one line per read:
//
//   # port=Com1 settings=9600,N,8,1 protocol=continuous start=2026-12-07T12:00:00.123Z
//   0.000000 02 2B 30 30 31 32 33 34 33 31 46 03
//   0.100231 02 2B 30 30 31 32 33 34 33 31 46 03
//
// The first line is the header. Later lines starting with "#" are comments and empty lines carry
// nothing. Each data line holds the seconds since the first read with six decimals, then the
// bytes of that read in hexadecimal. Times never decrease from one data line to the next; the
// caller checks that, as it sees the lines in turn. Nothing here reads or writes a file.

// The header's fields. Values are written with a space, "%" or control character as %HH, so
// that a port path with a space in it stays one field.
struct RecordingHeader {
    std::string port;
    std::string settings;  // "9600,N,8,1"
    std::string protocol;
    std::string start;  // the first read's wall-clock time, as the recorder wrote it
    // Fields of other names, in the order they came, written back after the four above.
    std::vector<std::pair<std::string, std::string>> others;

    bool operator==(const RecordingHeader&) const = default;
};

// "# port=Com1 settings=9600,N,8,1 protocol=continuous start=...\n"; the four fields always,
// empty ones as "key=".
std::string formatRecordingHeader(const RecordingHeader& header);

// Reads "# " and key=value fields separated by single spaces; a trailing "\n" or "\r\n" is
// allowed. Missing fields stay empty; a later field of the same name wins. Nullopt for any other
// line, a field without "=" or with an empty name, and a bad %HH.
std::optional<RecordingHeader> parseRecordingHeader(std::string_view line);

// "0.100231 02 2B 30\n". `micros` counts from 0; `bytes` holds at least one byte.
std::string formatRecordingLine(std::int64_t micros, std::span<const std::uint8_t> bytes);

// Reads a data line into `micros` and `bytes` (emptied first, and left empty on failure). The
// seconds take at most twelve digits before the point and exactly six after it; the bytes are
// two hex digits each (either case) with one space before each. A trailing "\n" or "\r\n" is
// allowed, nothing else. No allocation once `bytes` has grown to a line's length, so that a
// recording of millions of lines reads quickly.
bool parseRecordingLine(std::string_view line, std::int64_t& micros,
                        std::vector<std::uint8_t>& bytes);

// Whether a line after the header carries no data: empty (line ending aside) or a comment.
bool isRecordingComment(std::string_view line);

}  // namespace scale
