#include "protocols/formattable.h"

#include <array>

#include "protocols/formatdecoders.h"

// Each row names only the fields its format has; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace scale {
namespace {

using M = StatusMeaning;

constexpr StatusCode kGrossNet[] = {{'G', M::Gross}, {'N', M::Net}};
constexpr StatusCode kGrossTareNet[] = {{'G', M::Gross}, {'T', M::Tare}, {'N', M::Net}};

constexpr StatusCode kRiceLakeStatus[] = {
    {' ', M::Steady}, {'Z', M::Steady}, {'M', M::Moving}, {'O', M::OutOfRange},
    {'I', M::IndicatorError}};
constexpr UnitLetter kRiceLakeUnits[] = {
    {'L', "lb"}, {'K', "kg"}, {'T', "ton"}, {'G', "g"}, {'O', "oz"}};

constexpr StatusCode kCardinalStatus[] = {{' ', M::Steady}, {'M', M::Moving}, {'O', M::OutOfRange}};

// Status: centre of zero or nothing says no more than that the weight is valid; the motion
// column, read after it, says whether it moves.
constexpr StatusCode kSmaStatus[] = {
    {' ', M::Steady},         {'Z', M::Steady},         {'O', M::Overload},
    {'U', M::Underload},      {'E', M::IndicatorError}, {'I', M::IndicatorError},
    {'T', M::IndicatorError}};
constexpr StatusCode kSmaMotion[] = {{' ', M::Steady}, {'M', M::Moving}};

constexpr Framing kLine{FramingKind::Delimited, -1, "\r\n", 64, false};

// The request of the window's command mode: 02 "AB", the XOR of "A" and "B" in hexadecimal, 03.
constexpr std::string_view kCommandRequest{"\x02" "AB03\x03", 6};

const std::array<FormatDescription, 12> kFormats = {{
    {.name = "continuous",
     .summary = "02 sign digits decimals checksum 03, unasked",
     .framing = {FramingKind::StxEtx, 0x02, "\x03", 31, false},
     .windowMode = 0},
    {.name = "command",
     .summary = "asks 02 41 42 30 33 03, reads the 14-byte reply",
     .framing = {FramingKind::StxEtx, 0x02, "\x03", 31, false},
     .request = kCommandRequest,
     .windowMode = 1},
    {.name = "shentong",
     .summary = "\"=\" and seven characters, last first",
     .framing = {FramingKind::ShenTong, '=', "", 8, false},
     .windowMode = 2},
    {.name = "toledo",
     .summary = "02 SWA SWB SWC weight tare 0D [checksum], unasked",
     .framing = {FramingKind::Delimited, 0x02, "\r", 18, true},
     .decode = decodeToledoFrame,
     .zero = {"Z", ""},
     .tare = {"T", ""},
     .clearTare = {"C", ""}},
    {.name = "sics",
     .summary = "asks SI, reads \"S S     12.345 kg\" or a stream",
     .framing = kLine,
     .decode = decodeSicsLine,
     .request = "SI\r\n",
     .zero = {"Z\r\n", "Z A"},
     .tare = {"T\r\n", "T S"},
     .clearTare = {"TAC\r\n", "TAC A"}},
    {.name = "ad",
     .summary = "\"ST,GS,+0012.34kg\" lines, unasked",
     .framing = kLine,
     .decode = decodeCommaLine,
     .zero = {"R\r\n", ""},
     .tare = {"T\r\n", ""}},
    {.name = "sbi",
     .summary = "asks ESC P, reads 16- or 22-character lines",
     .framing = kLine,
     .decode = decodeSbiLine,
     .request = "\x1bP",
     .zero = {"\x1bV", ""},
     .tare = {"\x1bU", ""}},
    {.name = "sma",
     .summary = "asks LF W CR, reads LF status mode value unit CR",
     .framing = {FramingKind::Delimited, '\n', "\r", 24, false},
     .columns = {.length = 20,
                 .value = {6, 10},
                 .unit = {16, 3},
                 .status = {1, 1},
                 .mode = {3, 1},
                 .motion = {4, 1},
                 .statusCodes = kSmaStatus,
                 .modeCodes = kGrossTareNet,
                 .motionCodes = kSmaMotion,
                 .reply = "\n?\r"},
     .request = "\nW\r",
     .zero = {"\nZ\r", ""},
     .tare = {"\nT\r", ""},
     .clearTare = {"\nC\r", ""}},
    {.name = "rice-lake",
     .summary = "02 sign value unit G/N status 0D, unasked",
     .framing = {FramingKind::Delimited, 0x02, "\r", 24, false},
     .columns = {.length = 13,
                 .sign = {1, 1},
                 .value = {2, 7},
                 .unit = {9, 1},
                 .status = {11, 1},
                 .mode = {10, 1},
                 .statusCodes = kRiceLakeStatus,
                 .modeCodes = kGrossNet,
                 .unitLetters = kRiceLakeUnits}},
    {.name = "cardinal",
     .summary = "0D sign value status unit G/N 03, unasked",
     .framing = {FramingKind::Delimited, '\r', "\x03", 24, false},
     .columns = {.length = 17,
                 .sign = {1, 1},
                 .value = {2, 6},
                 .unit = {10, 2},
                 .status = {8, 1},
                 .mode = {13, 1},
                 .statusCodes = kCardinalStatus,
                 .modeCodes = kGrossNet}},
    {.name = "weigh-tronix",
     .summary = "\" G -  12.34 kg\" lines, unasked, no status",
     .framing = kLine,
     .columns = {.sign = {2, 1},
                 .value = {3, 6},
                 .unit = {10, kToEnd},
                 .mode = {1, 1},
                 .modeCodes = kGrossNet}},
    {.name = "8217",
     .summary = "asks W, reads 02 weight 0D or 02 ? status 0D",
     .framing = {FramingKind::Delimited, 0x02, "\r", 24, false},
     .decode = decodePos8217Frame,
     .request = "W",
     .zero = {"Z", ""}},
}};

}  // namespace

std::span<const FormatDescription> builtinFormats() { return kFormats; }

const FormatDescription* builtinFormat(std::string_view name) {
    for (const FormatDescription& format : kFormats) {
        if (format.name == name) {
            return &format;
        }
    }
    return nullptr;
}

const FormatDescription& formatOf(IndicatorProtocol protocol) {
    return kFormats[static_cast<std::size_t>(protocol)];
}

}  // namespace scale
