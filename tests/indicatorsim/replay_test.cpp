#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "protocols/formats/continuous/continuousframe.h"
#include "protocols/formats/command/commandreply.h"
#include "protocols/formats/shentong/shentongframe.h"
#include "tests/indicatorsim/simtestsupport.h"
#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/formats/framereadout.h"
#include "tools/indicator-sim/replay/replayer.h"
#include "tools/indicator-sim/replay/replayschedule.h"

namespace indicatorsim {
namespace {

using Lines = std::vector<std::string>;

constexpr std::string_view kHeader =
    "# port=Com1 settings=9600,N,8,1 protocol=continuous start=2026-12-07T12:00:00.123Z\n";

ReplaySchedule scheduleOf(std::string_view text) {
    auto result = readRecording(text);
    if (const auto* problem = std::get_if<RecordingProblem>(&result)) {
        ADD_FAILURE() << "line " << problem->line << ": " << problem->what;
        return {};
    }
    return std::get<ReplaySchedule>(std::move(result));
}

TEST(Recording, ReadsDataLinesAndSkipsCommentsAndEmptyLines) {
    const ReplaySchedule schedule = scheduleOf(std::string(kHeader) +
                                               "0.000000 02 2B\n"
                                               "# the cable moved\n"
                                               "\n"
                                               "0.100231 03\r\n"
                                               "0.100231 41 42 43");
    ASSERT_EQ(schedule.size(), 3u);
    EXPECT_EQ(schedule.at(0), 0);
    EXPECT_EQ(hexBytes(schedule.bytes(0)), "02 2B");
    EXPECT_EQ(schedule.at(1), 100'231);
    EXPECT_EQ(hexBytes(schedule.bytes(1)), "03");
    EXPECT_EQ(schedule.at(2), 100'231);
    EXPECT_EQ(hexBytes(schedule.bytes(2)), "41 42 43");
    EXPECT_EQ(scheduleOf(kHeader).size(), 0u);
}

TEST(Recording, AMalformedRecordingNamesItsFirstBadLine) {
    const std::string header =
        "expected the header, such as \"# port=Com1 settings=9600,N,8,1 protocol=continuous "
        "start=2026-12-07T12:00:00.123Z\"";
    const std::string data =
        "expected seconds with six decimals and hexadecimal bytes, such as \"0.100231 02 2B 03\"";
    const struct {
        std::string text;
        std::size_t line;
        std::string what;
    } cases[] = {
        {"", 1, header},
        {"0.000000 02\n", 1, header},
        {std::string(kHeader) + "0.000000 02\n0.1 03\n", 3, data},
        {std::string(kHeader) + "\n0.000000\n", 3, data},
        {std::string(kHeader) + "0.200000 02\n# late\n0.199999 03\n", 4,
         "the time goes back, from 0.200000 to 0.199999"},
    };
    for (const auto& c : cases) {
        auto result = readRecording(c.text);
        const auto* problem = std::get_if<RecordingProblem>(&result);
        ASSERT_TRUE(problem) << c.text;
        EXPECT_EQ(problem->line, c.line) << c.text;
        EXPECT_EQ(problem->what, c.what) << c.text;
    }
}

TEST(Replayer, SendsEachReadAtItsTimeOverTheSpeedAndThenFinishes) {
    const auto continuous = scale::encodeContinuousFrame({true, 12345, 3});
    const std::string recording = std::string(kHeader) + "0.000000 41\n" + "1.000000 " +
                                  hexBytes(continuous) + "\n" + "1.000000 42\n";
    Replayer replayer(scheduleOf(recording), 4);

    EXPECT_EQ(replayer.nextDue(), 0);
    EXPECT_EQ(linesOf(replayer.due(0)), Lines{"0.000 tx 41 -"});
    EXPECT_EQ(replayer.nextDue(), 250'000);
    EXPECT_TRUE(replayer.due(249'999).empty());
    // Requests are only logged: a replay answers nothing.
    EXPECT_EQ(linesOf(replayer.received(
                  100'000, std::vector<std::uint8_t>{0x02, 0x41, 0x42, 0x30, 0x33, 0x03})),
              Lines{"100.000 rx 02 41 42 30 33 03"});
    EXPECT_FALSE(replayer.finished());

    const std::vector<SimOutput> late = replayer.due(300'000);
    EXPECT_EQ(linesOf(late),
              (Lines{"300.000 tx " + hexBytes(continuous) + " -12.345kg", "300.000 tx 42 -"}));
    EXPECT_EQ(late[0].bytes, std::vector<std::uint8_t>(continuous.begin(), continuous.end()));
    EXPECT_TRUE(replayer.finished());
    EXPECT_EQ(replayer.nextDue(), std::nullopt);
}

TEST(Replayer, ShowsAReadoutOnlyForExactlyOneIntactFrame) {
    const scale::IndicatorReading reading{false, 1250, 2};
    const auto continuous = scale::encodeContinuousFrame(reading);
    const auto reply = scale::encodeCommandReply(reading);
    const auto shenTong = scale::encodeShenTongFrame({true, 15, 1});
    std::vector<std::uint8_t> twoFrames(continuous.begin(), continuous.end());
    twoFrames.insert(twoFrames.end(), continuous.begin(), continuous.end());
    std::vector<std::uint8_t> badChecksum(continuous.begin(), continuous.end());
    badChecksum[10] ^= 0x01;

    EXPECT_EQ(frameReadout(continuous), "12.50kg");
    EXPECT_EQ(frameReadout(reply), "12.50kg");
    EXPECT_EQ(frameReadout(shenTong), "-1.5kg");
    EXPECT_EQ(frameReadout(twoFrames), "-");
    EXPECT_EQ(frameReadout(badChecksum), "-");
    EXPECT_EQ(frameReadout(std::span(continuous).first(11)), "-");
    EXPECT_EQ(frameReadout(std::span(shenTong).first(7)), "-");
    EXPECT_EQ(frameReadout(std::vector<std::uint8_t>{}), "-");
}

}  // namespace
}  // namespace indicatorsim
