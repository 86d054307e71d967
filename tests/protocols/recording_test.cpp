#include "protocols/recording.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace scale::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(RecordingLine, IsWrittenWithSixDecimalsAndUpperCaseHex) {
    EXPECT_EQ(formatRecordingLine(0, Bytes{0x02, 0x2B, 0x03}), "0.000000 02 2B 03\n");
    EXPECT_EQ(formatRecordingLine(100'231, Bytes{0xAF}), "0.100231 AF\n");
    EXPECT_EQ(formatRecordingLine(86'400'000'001, Bytes{0x00, 0xFF}), "86400.000001 00 FF\n");
}

TEST(RecordingLine, EveryByteValueAndTimeReadsBackAsWritten) {
    Bytes all;
    for (int value = 0; value < 256; ++value) {
        all.push_back(static_cast<std::uint8_t>(value));
    }
    std::int64_t micros = -1;
    Bytes bytes{0x55};  // emptied before it is refilled
    for (const std::int64_t time : {0LL, 999'999LL, 1'000'000LL, 999'999'999'999'999'999LL}) {
        ASSERT_TRUE(parseRecordingLine(formatRecordingLine(time, all), micros, bytes));
        EXPECT_EQ(micros, time);
        EXPECT_EQ(bytes, all);
    }
    // Lower case, no line end and a Windows line end read too.
    ASSERT_TRUE(parseRecordingLine("1.500000 ab 0f", micros, bytes));
    EXPECT_EQ(micros, 1'500'000);
    EXPECT_EQ(bytes, (Bytes{0xAB, 0x0F}));
    ASSERT_TRUE(parseRecordingLine("2.000000 7E\r\n", micros, bytes));
    EXPECT_EQ(bytes, Bytes{0x7E});
}

TEST(RecordingLine, MalformedLinesAreRefused) {
    const char* const lines[] = {
        "",
        "\n",
        "0.000000",                        // no byte
        "0.000000 ",                       // no byte after the space
        "0.000000\n",                      // no byte
        "0.00000 02",                      // five decimals
        "0.0000000 02",                    // seven decimals
        "0 02",                            // no point
        ".000000 02",                      // no whole seconds
        "-1.000000 02",                    // negative
        "+1.000000 02",                    // sign
        "1000000000000.000000 02",         // thirteen digits of seconds
        "99999999999999999999.000000 02",  // more than 64 bits
        "0,000000 02",                     // comma
        "0.000000  02",                    // two spaces
        "0.000000 02 ",                    // trailing space
        "0.000000 2",                      // one digit
        "0.000000 020",                    // three digits
        "0.000000 02 3",                   // a short last byte
        "0.000000 0G",                     // not hex
        "0.000000 02\t03",                 // tab
        "0.000000 02\r",                   // a lone carriage return
        "0.000000 02\n\n",                 // two line ends
        "# port=Com1",                     // a header or comment
        "0.000000 02 03 x",
    };
    for (const char* line : lines) {
        std::int64_t micros = 7;
        Bytes bytes{0x55};
        EXPECT_FALSE(parseRecordingLine(line, micros, bytes)) << "for '" << line << "'";
        EXPECT_EQ(micros, 7) << "for '" << line << "'";
        EXPECT_TRUE(bytes.empty()) << "for '" << line << "'";
    }
}

TEST(RecordingLine, CommentsAndEmptyLinesCarryNoData) {
    EXPECT_TRUE(isRecordingComment(""));
    EXPECT_TRUE(isRecordingComment("\r\n"));
    EXPECT_TRUE(isRecordingComment("# port unplugged"));
    EXPECT_TRUE(isRecordingComment("#"));
    EXPECT_FALSE(isRecordingComment("0.000000 02"));
    EXPECT_FALSE(isRecordingComment(" # indented"));
}

TEST(RecordingHeader, ReadsBackAsWrittenWithSpacesAndPercentsEscaped) {
    const RecordingHeader header{"/dev/serial/by-id/usb FTDI 100%",
                                 "9600,N,8,1",
                                 "continuous",
                                 "2026-12-07T12:00:00.123Z",
                                 {{"note", "tab\there"}}};
    const std::string line = formatRecordingHeader(header);
    EXPECT_EQ(line,
              "# port=/dev/serial/by-id/usb%20FTDI%20100%25 settings=9600,N,8,1 "
              "protocol=continuous start=2026-12-07T12:00:00.123Z note=tab%09here\n");
    EXPECT_EQ(parseRecordingHeader(line), header);
    EXPECT_EQ(formatRecordingHeader({}), "# port= settings= protocol= start=\n");
}

TEST(RecordingHeader, TakesFieldsInAnyOrderAndKeepsUnknownOnes) {
    const auto header = parseRecordingHeader("# protocol=shentong by=scale-read port=Com%322\r\n");
    ASSERT_TRUE(header);
    EXPECT_EQ(*header, (RecordingHeader{"Com22", "", "shentong", "", {{"by", "scale-read"}}}));
}

TEST(RecordingHeader, OtherLinesAreRefused) {
    const char* const lines[] = {
        "",
        "#",
        "# ",
        "#port=Com1",
        "port=Com1",
        "# port=Com1  settings=9600,N,8,1",  // two spaces
        "# port=Com1 ",                      // trailing space
        "# port",                            // no "="
        "# =Com1",                           // no name
        "# port=Com%2",                      // short escape
        "# port=Com%G1",                     // not hex
        "0.000000 02",
    };
    for (const char* line : lines) {
        EXPECT_EQ(parseRecordingHeader(line), std::nullopt) << "for '" << line << "'";
    }
}

}  // namespace
}  // namespace scale::test
