// Each built-in format's frames read from a stream: the makers' own example lines, the status
// cases, and frames run together or cut off.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "protocols/formats/registry.h"
#include "protocols/formats/toledo/toledocheck.h"
#include "protocols/stream/formattable.h"
#include "protocols/stream/framestream.h"
#include "protocols/window/commandrequest.h"

namespace scale::test {
namespace {

// One line per frame: "12.34 kg gross steady tare 0.00", or "error overload 'S +'".
std::string describe(const StreamFrame& frame) {
    if (frame.error != FrameError::None) {
        std::string line = "error " + std::string(frameErrorName(frame.error));
        return frame.message.empty() ? line : line + " '" + frame.message + "'";
    }
    std::string line = frame.number;
    for (const std::string_view part :
         {std::string_view(frame.unit), weighModeName(frame.mode),
          frame.motion == Motion::Moving   ? std::string_view("moving")
          : frame.motion == Motion::Steady ? std::string_view("steady")
                                           : std::string_view()}) {
        if (!part.empty()) {
            line += " ";
            line += part;
        }
    }
    return frame.tare.empty() ? line : line + " tare " + frame.tare;
}

std::string read(std::string_view format, std::string_view bytes) {
    const FormatDescription* description = builtinFormat(format);
    EXPECT_NE(description, nullptr) << format;
    FrameStream stream(*description, ",");
    StreamFrame frame;
    std::string out;
    for (const char c : bytes) {
        if (stream.push(static_cast<std::uint8_t>(c), frame)) {
            out += describe(frame) + "\n";
        }
    }
    return out;
}

// 02, SWA SWB SWC, weight, tare, 0D, and the checksum byte when `checked`.
std::string toledo(char swa, char swb, char swc, std::string_view weight, std::string_view tare,
                   bool checked = true) {
    std::string frame = std::string("\x02") + swa + swb + swc;
    frame += weight;
    frame += tare;
    frame += '\r';
    if (checked) {
        frame += static_cast<char>(toledoCheckByte(
            {reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size()}));
    }
    return frame;
}

TEST(Formats, RegistryNamesEachFormatOnceWindowModesFirst) {
    std::set<std::string_view> names;
    for (const FormatUnit* unit : formatUnits()) {
        EXPECT_TRUE(names.insert(unit->format.name).second) << unit->format.name;
        EXPECT_EQ(builtinFormat(unit->format.name), &builtinFormats()[names.size() - 1]);
    }
    EXPECT_EQ(names.size(), builtinFormats().size());
    for (const IndicatorProtocol protocol :
         {IndicatorProtocol::Continuous, IndicatorProtocol::Command, IndicatorProtocol::ShenTong}) {
        EXPECT_EQ(formatOf(protocol).windowMode, static_cast<int>(protocol));
    }
    TxFrameBytes tx{};
    const auto request = buildCommandRequest(tx);
    EXPECT_EQ(builtinFormat("command")->request,
              std::string_view(reinterpret_cast<const char*>(request.data()), request.size()));
}

// Each format's golden frames: its encoder sends exactly these bytes for the state, and the
// reader reads them as said.
TEST(Formats, GoldenFramesAreSentAndReadBack) {
    for (const FormatUnit* unit : formatUnits()) {
        for (const GoldenFrame& golden : unit->golden) {
            if (!golden.onlyRead) {
                const std::string sent =
                    unit->reading.encode
                        ? unit->reading.encode(readingOf(golden.state))
                        : renderFrame(unit->speaking, golden.state, golden.settings);
                EXPECT_EQ(sent, golden.bytes) << unit->format.name;
            }
            EXPECT_EQ(read(unit->format.name, golden.bytes), std::string(golden.reading) + "\n")
                << unit->format.name;
        }
        EXPECT_FALSE(unit->golden.empty()) << unit->format.name;
    }
}

TEST(Formats, ToledoStatusWords) {
    const std::string stream =
        toledo('4', '0', ' ', "001234", "000100") +         // 2 decimals, gross, kg
        toledo('4', '3', ' ', "  1234", "000100") +         // net, negative, spaces for zeros
        toledo('0', '0', ' ', "001234", "000000") +         // two dummy zeros
        toledo('1', ' ', ' ', "001234", "000000") +         // one dummy zero, lb
        toledo(',', '8', ' ', "001234", "000000") +         // increment 2, motion
        toledo('7', '0', '!', "001234", "000000") +         // five decimals, g overrides kg
        toledo('5', '0', '&', "001234", "000000") +         // long tons
        toledo('4', '4', ' ', "999999", "000000") +         // over capacity
        toledo('4', '6', ' ', "000000", "000000") +         // under capacity
        toledo('4', '0', ' ', "00x234", "000000");          // not digits
    EXPECT_EQ(read("toledo", stream),
              "12.34 kg gross steady tare 1.00\n"
              "-12.34 kg net steady tare 1.00\n"
              "123400 kg gross steady tare 0\n"
              "12340 lb gross steady tare 0\n"
              "12.34 kg gross moving tare 0.00\n"
              "0.01234 g gross steady tare 0.00000\n"
              "1.234 long-ton gross steady tare 0.000\n"
              "error overload\n"
              "error underload\n"
              "error malformed\n");
}

TEST(Formats, ToledoChecksumByteOptionalButChecked) {
    std::string wrong = toledo('4', '0', ' ', "001234", "000000");
    wrong.back() = static_cast<char>(wrong.back() ^ 0x01);
    // Without checksums, then with them, one of them wrong, then without again.
    const std::string stream = toledo('4', '0', ' ', "000001", "000000", false) +
                               toledo('4', '0', ' ', "000002", "000000", false) +
                               toledo('4', '0', ' ', "000003", "000000") + wrong +
                               toledo('4', '0', ' ', "000005", "000000") +
                               toledo('4', '0', ' ', "000006", "000000", false) +
                               toledo('4', '0', ' ', "000007", "000000", false) + "\x02";
    EXPECT_EQ(read("toledo", stream),
              "0.01 kg gross steady tare 0.00\n"
              "0.02 kg gross steady tare 0.00\n"
              "0.03 kg gross steady tare 0.00\n"
              "error checksum\n"
              "0.05 kg gross steady tare 0.00\n"
              "0.06 kg gross steady tare 0.00\n"
              "0.07 kg gross steady tare 0.00\n");
}

// Printed on demand, a frame is all the indicator sends: it must not wait for the next one.
TEST(Formats, ToledoFrameAtAPauseIsNotHeldForACheckByte) {
    FrameStream stream(*builtinFormat("toledo"), ",");
    StreamFrame frame;
    std::string out;
    // Each chunk as one read; "|" after a chunk the bytes end for good.
    const auto chunk = [&](const std::string& bytes, bool forGood = false) {
        for (const char c : bytes) {
            if (stream.push(static_cast<std::uint8_t>(c), frame)) {
                out += describe(frame) + "\n";
            }
        }
        if (stream.pause(frame, forGood)) {
            out += describe(frame) + (forGood ? "|\n" : "\n");
        }
    };
    const std::string checked = toledo('4', '0', ' ', "000002", "000000");
    chunk(toledo('4', '0', ' ', "000001", "000000", false));
    chunk(checked.substr(0, checked.size() - 1));  // its check byte comes in the next read
    chunk(checked.substr(checked.size() - 1));
    chunk(toledo('4', '0', ' ', "000003", "000000"));
    chunk(toledo('4', '0', ' ', "000004", "000000", false));  // held: the indicator sends checks
    chunk("", true);
    EXPECT_EQ(out,
              "0.01 kg gross steady tare 0.00\n"
              "0.02 kg gross steady tare 0.00\n"
              "0.03 kg gross steady tare 0.00\n"
              "0.04 kg gross steady tare 0.00|\n");
}

TEST(Formats, SicsRepliesAndStreamedLines) {
    EXPECT_EQ(read("sics",
                   "S S      12.345 kg\r\nS D      12.340 kg\r\nS S     -0.012 g\r\n"
                   "S I\r\nS +\r\nS -\r\nES\r\nEL\r\nZ A\r\nT S       1.000 kg\r\nT I\r\n"
                   "S S    12,3\r\nXYZ\r\n"),
              "12.345 kg steady\n"
              "12.340 kg moving\n"
              "-0.012 g steady\n"
              "error busy 'S I'\n"
              "error overload 'S +'\n"
              "error underload 'S -'\n"
              "error indicator-error 'ES'\n"
              "error indicator-error 'EL'\n"
              "error reply 'Z A'\n"
              "1.000 kg tare tare 1.000\n"
              "error reply 'T I'\n"
              "error malformed\n"
              "error malformed\n");
}

TEST(Formats, CommaLines) {
    EXPECT_EQ(read("ad",
                   "ST,GS,+0012.34kg\r\nUS,NT,-0001.50kg\r\nST,+00012.34  g\r\n"
                   "ST,TR,+0012,34 kg\rQT,+0000123PCS\r\nOL,GS,+9999999kg\r\n"
                   "OL,GS,-        kg\r\nXX,GS,+0012.34kg\r\nST,GS,+00a2.34kg\r\n"),
              "12.34 kg gross steady\n"
              "-1.50 kg net moving\n"
              "12.34 g steady\n"
              "12.34 kg tare steady\n"
              "123 pcs\n"
              "error overload\n"
              "error underload\n"
              "error malformed\n"
              "error malformed\n");
}

TEST(Formats, SbiLinesWithAndWithoutName) {
    EXPECT_EQ(read("sbi",
                   "+  1234.56 g  \r\n-     0.50    \r\nN     +     12.5 kg \r\n"
                   "G     +     15.0 kg \r\nT     +      2.5 kg \r\nH\r\nL\r\n"
                   "Stat           L    \r\n  Err 123     \r\n*  1234.56 g  \r\n"),
              "1234.56 g steady\n"
              "-0.50 moving\n"
              "12.5 kg net steady\n"
              "15.0 kg gross steady\n"
              "2.5 kg tare steady\n"
              "error overload\n"
              "error underload\n"
              "error underload\n"
              "error indicator-error 'Err 123'\n"
              "error malformed\n");
}

TEST(Formats, SmaReplies) {
    EXPECT_EQ(read("sma",
                   "\n 1G      12.345 kg\r\nZ1NM     -0.010 lb\r\nO1G         0.0 kg\r"
                   "\nU1G         0.0 kg\r\nT1G         0.0 kg\r\n?\r\n 1X      12.345 kg\r"),
              "12.345 kg gross steady\n"
              "-0.010 lb net moving\n"
              "error overload\n"
              "error underload\n"
              "error indicator-error 'T'\n"
              "error reply '?'\n"
              "error malformed\n");
}

TEST(Formats, FixedColumnContinuousFormats) {
    EXPECT_EQ(read("rice-lake",
                   "\x02   12.34LG \r\n\x02-  1.500KNM\r\x02-  1.500KNO\r\n\x02   12.34TGZ\r\n"
                   "\x02   12.34LGI\r\n\x02   12.34XG \r\n\x02   12.34"),
              "12.34 lb gross steady\n"
              "-1.500 kg net moving\n"
              "error underload\n"
              "12.34 ton gross steady\n"
              "error indicator-error 'I'\n"
              "error malformed\n");
    EXPECT_EQ(read("cardinal",
                   "\r  12.34  kg G  \x03\r-  0.50M lb N  \x03\r 999999O kg G  \x03\r  12.34  kg G\x03"),
              "12.34 kg gross steady\n"
              "-0.50 lb net moving\n"
              "error overload\n"
              "error malformed\n");
    EXPECT_EQ(read("weigh-tronix", " G  12.34 kg\r\n N- 1.500 lb\r\n G  12,34 kg\r\n X  12.34 kg\r\n"),
              "12.34 kg gross\n"
              "-1.500 lb net\n"
              "12.34 kg gross\n"
              "error malformed\n");
}

TEST(Formats, PointOfSaleWeightsAndReasons) {
    EXPECT_EQ(read("8217",
                   "\x02" "012.34\r\x02" "001.20N\r\x02?1\r\x02?2\r\x02?4\r\x02?8\r\x02" "01234\r"
                   "\x02" "012.3"),
              "12.34\n"
              "1.20 net\n"
              "error motion '?1'\n"
              "error overload '?2'\n"
              "error underload '?4'\n"
              "error indicator-error '?8'\n"
              "error malformed\n");
}

TEST(Formats, LinesRunTogetherOrCutByNoise) {
    // Junk before the first line, a line too long to be one, then lines back to back.
    std::string stream = "\r\n";
    stream += std::string(70, 'x');
    stream += "\r\nS S       1.000 kg\rS S       2.000 kg\nS S       3.000 kg\r\n";
    EXPECT_EQ(read("sics", stream),
              "error incomplete\n"
              "error malformed\n"
              "1.000 kg steady\n"
              "2.000 kg steady\n"
              "3.000 kg steady\n");
    // A start byte inside a frame gives up the frame before it.
    EXPECT_EQ(read("rice-lake", "\x02   12\x02   12.34LG \r"), "error incomplete\n12.34 lb gross steady\n");
}

}  // namespace
}  // namespace scale::test
