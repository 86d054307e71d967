#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "readersupport.h"
#include "tools/scale-read/records/recordformat.h"

namespace scaleread {
namespace {

constexpr std::int64_t kTime = test::ReaderClock::kStart + 3'723'045;  // 13:02:03.045

const std::uint8_t kRaw[] = {0x02, 0x2D, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31, 0x46, 0x03};

scale::StreamFrame reading() {
    scale::StreamFrame frame;
    frame.weight = -12.345;
    frame.decimals = 3;
    frame.number = "-12.345";
    frame.text = "-12,345kg";  // a host whose separator is a comma
    frame.unit = "kg";
    frame.raw = kRaw;
    return frame;
}

scale::StreamFrame rejected() {
    scale::StreamFrame frame;
    frame.error = scale::FrameError::Checksum;
    frame.raw = kRaw;
    return frame;
}

std::string readingLine(OutputFormat format, const RecordSource& source, bool errorColumn) {
    RecordFormatter formatter(format, errorColumn);
    std::string out;
    formatter.appendReading(out, source, kTime, reading(), true);
    return out;
}

std::string errorLine(OutputFormat format, const RecordSource& source) {
    RecordFormatter formatter(format, true);
    std::string out;
    formatter.appendError(out, source, kTime, rejected());
    return out;
}

const RecordSource kCom1{"Com1", "continuous", ""};

TEST(RecordFormat, ReadingsInEachFormat) {
    EXPECT_EQ(readingLine(OutputFormat::Jsonl, kCom1, false),
              "{\"time\":\"2026-12-07T13:02:03.045Z\",\"port\":\"Com1\",\"protocol\":"
              "\"continuous\",\"weight\":-12.345,\"text\":\"-12,345kg\",\"stable\":true,"
              "\"raw\":\"02 2D 30 31 32 33 34 35 33 31 46 03\",\"unit\":\"kg\"}\n");
    EXPECT_EQ(readingLine(OutputFormat::Csv, kCom1, false),
              "2026-12-07T13:02:03.045Z,Com1,continuous,-12.345,\"-12,345kg\",true,"
              "02 2D 30 31 32 33 34 35 33 31 46 03,kg,,,\n");
    EXPECT_EQ(readingLine(OutputFormat::Csv, kCom1, true),
              "2026-12-07T13:02:03.045Z,Com1,continuous,-12.345,\"-12,345kg\",true,"
              "02 2D 30 31 32 33 34 35 33 31 46 03,,kg,,,\n");
    EXPECT_EQ(readingLine(OutputFormat::Text, kCom1, false),
              "2026-12-07 13:02:03.045Z  Com1  -12,345kg  stable\n");
}

TEST(RecordFormat, TextInLocalTimeShowsTheZonesOffset) {
    // A zone by rule, so that no time zone database is needed.
    const char* const saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    for (const auto& [zone, expected] :
         {std::pair{"CST-8", "2026-12-07 21:02:03.045+08:00  Com1  -12,345kg  stable\n"},
          std::pair{"NST3:30", "2026-12-07 09:32:03.045-03:30  Com1  -12,345kg  stable\n"}}) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        RecordFormatter formatter(OutputFormat::Text, false, true);
        std::string out;
        formatter.appendReading(out, kCom1, kTime, reading(), true);
        EXPECT_EQ(out, expected);
        // csv stays in UTC whatever is asked.
        RecordFormatter csv(OutputFormat::Csv, false, true);
        out.clear();
        csv.appendReading(out, kCom1, kTime, reading(), true);
        EXPECT_EQ(out.substr(0, 24), "2026-12-07T13:02:03.045Z");
    }
    if (saved) {
        ::setenv("TZ", before.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

TEST(RecordFormat, RejectedFramesInEachFormat) {
    EXPECT_EQ(errorLine(OutputFormat::Jsonl, kCom1),
              "{\"time\":\"2026-12-07T13:02:03.045Z\",\"port\":\"Com1\",\"protocol\":"
              "\"continuous\",\"error\":\"checksum\",\"raw\":\"02 2D 30 31 32 33 34 35 33 31 46 "
              "03\"}\n");
    EXPECT_EQ(errorLine(OutputFormat::Csv, kCom1),
              "2026-12-07T13:02:03.045Z,Com1,continuous,,,,02 2D 30 31 32 33 34 35 33 31 46 03,"
              "checksum,,,,\n");
    EXPECT_EQ(errorLine(OutputFormat::Text, kCom1),
              "2026-12-07 13:02:03.045Z  Com1  rejected (checksum): 02 2D 30 31 32 33 34 35 33 31 "
              "46 03\n");
    EXPECT_EQ(RecordFormatter(OutputFormat::Csv, true).header(false),
              "time,port,protocol,weight,text,stable,raw,error,unit,mode,motion,tare\n");
}

TEST(RecordFormat, ModeMotionTareAndTheIndicatorsOwnWords) {
    const std::uint8_t raw[] = {0x53, 0x0D};
    scale::StreamFrame frame;
    frame.weight = 2.5;
    frame.decimals = 2;
    frame.number = "2.50";
    frame.text = "2.50lb";
    frame.unit = "lb";
    frame.mode = scale::WeighMode::Net;
    frame.motion = scale::Motion::Moving;
    frame.tare = "1.00";
    frame.raw = raw;
    const RecordSource source{"Com1", "toledo", ""};
    const auto line = [&](OutputFormat format) {
        std::string out;
        RecordFormatter(format, true).appendRecord(out, source, kTime, frame, false);
        return out;
    };
    EXPECT_EQ(line(OutputFormat::Jsonl),
              "{\"time\":\"2026-12-07T13:02:03.045Z\",\"port\":\"Com1\",\"protocol\":\"toledo\","
              "\"weight\":2.50,\"text\":\"2.50lb\",\"stable\":false,\"raw\":\"53 0D\",\"unit\":"
              "\"lb\",\"mode\":\"net\",\"motion\":true,\"tare\":1.00}\n");
    EXPECT_EQ(line(OutputFormat::Csv),
              "2026-12-07T13:02:03.045Z,Com1,toledo,2.50,2.50lb,false,53 0D,,lb,net,true,1.00\n");
    EXPECT_EQ(line(OutputFormat::Text), "2026-12-07 13:02:03.045Z  Com1  2.50lb net\n");

    frame.error = scale::FrameError::IndicatorError;
    frame.message = "Err \"7\"";
    EXPECT_EQ(line(OutputFormat::Jsonl),
              "{\"time\":\"2026-12-07T13:02:03.045Z\",\"port\":\"Com1\",\"protocol\":\"toledo\","
              "\"error\":\"indicator-error\",\"text\":\"Err \\\"7\\\"\",\"raw\":\"53 0D\"}\n");
    EXPECT_EQ(line(OutputFormat::Csv),
              "2026-12-07T13:02:03.045Z,Com1,toledo,,\"Err \"\"7\"\"\",,53 0D,indicator-error,,,,\n");
    EXPECT_EQ(line(OutputFormat::Text),
              "2026-12-07 13:02:03.045Z  Com1  rejected (indicator-error: Err \"7\"): 53 0D\n");
}

TEST(RecordFormat, PortsAndStationsAreQuotedWhereTheFormatNeedsIt) {
    const RecordSource odd{"/dev/serial/by-id/a \"b\",c\\", "continuous", "in\tgate"};
    EXPECT_EQ(readingLine(OutputFormat::Jsonl, odd, false),
              "{\"time\":\"2026-12-07T13:02:03.045Z\",\"station\":\"in\\u0009gate\",\"port\":"
              "\"/dev/serial/by-id/a \\\"b\\\",c\\\\\",\"protocol\":\"continuous\",\"weight\":"
              "-12.345,\"text\":\"-12,345kg\",\"stable\":true,\"raw\":\"02 2D 30 31 32 33 34 35 "
              "33 31 46 03\",\"unit\":\"kg\"}\n");
    EXPECT_EQ(readingLine(OutputFormat::Csv, odd, false),
              "2026-12-07T13:02:03.045Z,in\tgate,\"/dev/serial/by-id/a \"\"b\"\",c\\\",continuous,"
              "-12.345,\"-12,345kg\",true,02 2D 30 31 32 33 34 35 33 31 46 03,kg,,,\n");
}

TEST(RecordFormat, TimesRoundTripAcrossDaysAndBeforeTheEpoch) {
    for (const std::int64_t time : {std::int64_t{0}, std::int64_t{-1}, kTime,
                                    std::int64_t{951'782'400'999}}) {
        EXPECT_EQ(parseIsoTime(isoTime(time)), time) << isoTime(time);
    }
    EXPECT_EQ(isoTime(-1), "1969-12-31T23:59:59.999Z");
    EXPECT_EQ(isoTime(951'782'400'999), "2000-02-29T00:00:00.999Z");
    for (const char* bad : {"2026-12-07T12:00:00Z", "2026-12-07 12:00:00.000Z",
                            "2026-12-07T12:00:00.0000", "2026-1x-07T12:00:00.000Z"}) {
        EXPECT_EQ(parseIsoTime(bad), -1) << bad;
    }
}

}  // namespace
}  // namespace scaleread
