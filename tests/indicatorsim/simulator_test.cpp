#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/indicatorsim/simtestsupport.h"
#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/formats/requestscanner.h"
#include "tools/indicator-sim/indicator/simulator.h"

namespace indicatorsim {
namespace {

using Lines = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

const Bytes kRequest{0x02, 0x41, 0x42, 0x30, 0x33, 0x03};

TEST(ContinuousSimulator, SendsAFrameAtEachSlotWithItsReadout) {
    Simulator sim(optionsFrom({"--link", "/x", "--weight", "fixed:-12.345", "--rate", "10"}), 1);

    const std::vector<SimOutput> first = sim.due(0);
    EXPECT_EQ(linesOf(first), Lines{"0.000 tx 02 2D 30 31 32 33 34 35 33 31 46 03 -12.345kg"});
    EXPECT_EQ(first[0].bytes,
              (Bytes{0x02, 0x2D, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31, 0x46, 0x03}));
    EXPECT_EQ(sim.nextDue(), 100'000);
    EXPECT_TRUE(sim.due(99'999).empty());
    EXPECT_EQ(linesOf(sim.due(100'250)),
              Lines{"100.250 tx 02 2D 30 31 32 33 34 35 33 31 46 03 -12.345kg"});
    EXPECT_EQ(sim.nextDue(), 200'000);
}

TEST(ContinuousSimulator, AfterAHoldUpItCarriesOnInsteadOfCatchingUp) {
    Simulator sim(optionsFrom({"--link", "/x", "--weight", "ramp:0:9:1", "--rate", "10"}), 1);
    sim.due(0);
    EXPECT_EQ(linesOf(sim.due(1'000'000)),
              Lines{"1000.000 tx 02 2B 30 30 30 30 30 31 30 31 41 03 1kg"});
    EXPECT_EQ(sim.nextDue(), 1'100'000);
}

TEST(ContinuousSimulator, KeepsQuietDuringSilencesAndResumesWithTheNextWeight) {
    Simulator sim(optionsFrom({"--link", "/x", "--protocol", "shentong", "--weight", "ramp:1:9:1",
                               "--silence", "150:100"}),
                  1);
    Lines lines;
    for (Micros now = 0; now <= 700'000; now += 100'000) {
        for (const std::string& line : linesOf(sim.due(now))) {
            lines.push_back(line);
        }
    }
    EXPECT_EQ(
        lines,
        (Lines{"0.000 tx 3D 31 30 30 30 30 30 30 1kg", "100.000 tx 3D 32 30 30 30 30 30 30 2kg",
               "300.000 tx 3D 33 30 30 30 30 30 30 3kg", "500.000 tx 3D 34 30 30 30 30 30 30 4kg",
               "600.000 tx 3D 35 30 30 30 30 30 30 5kg"}));
}

TEST(ContinuousSimulator, ALongCutPauseHoldsBackTheNextFrame) {
    Simulator sim(optionsFrom({"--link", "/x", "--weight", "fixed:1", "--cut", "1", "--cut-pause",
                               "250", "--rate", "10"}),
                  4);
    const std::vector<SimOutput> start = sim.due(0);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(sim.nextDue(), 250'000);
    EXPECT_TRUE(sim.due(249'999).empty());

    // The second half, then the next frame's first half right behind it.
    const std::vector<SimOutput> resumed = sim.due(250'000);
    ASSERT_EQ(resumed.size(), 2u);
    Bytes joined = start[0].bytes;
    joined.insert(joined.end(), resumed[0].bytes.begin(), resumed[0].bytes.end());
    EXPECT_EQ(joined,
              (Bytes{0x02, 0x2B, 0x30, 0x30, 0x30, 0x30, 0x30, 0x31, 0x30, 0x31, 0x41, 0x03}));
    EXPECT_EQ(resumed[0].line, "250.000 tx " + hexBytes(resumed[0].bytes) + " -");
    EXPECT_EQ(resumed[1].line, "250.000 tx " + hexBytes(resumed[1].bytes) + " -");
    EXPECT_EQ(resumed[1].bytes[0], 0x02);
    EXPECT_EQ(sim.nextDue(), 500'000);  // cut again, held back again
}

TEST(ContinuousSimulator, LogsRequestsButDoesNotAnswerThem) {
    Simulator sim(optionsFrom({"--link", "/x", "--weight", "fixed:1"}), 1);
    sim.due(0);
    EXPECT_EQ(linesOf(sim.received(42'000, kRequest)),
              (Lines{"42.000 rx 02 41 42 30 33 03", "42.000 request"}));
    EXPECT_EQ(sim.nextDue(), 100'000);
}

TEST(CommandSimulator, AnswersARequestSplitOverReadsAfterTheReplyDelay) {
    Simulator sim(
        optionsFrom({"--link", "/x", "--protocol", "command", "--weight", "fixed:12.345"}), 1);
    EXPECT_EQ(sim.nextDue(), std::nullopt);
    EXPECT_TRUE(sim.due(1'000'000).empty());

    EXPECT_EQ(linesOf(sim.received(5'000, Bytes{0xFF, 0x02, 0x41, 0x42})),
              Lines{"5.000 rx FF 02 41 42"});
    EXPECT_EQ(sim.nextDue(), std::nullopt);
    EXPECT_EQ(linesOf(sim.received(6'500, Bytes{0x30, 0x33, 0x03})),
              (Lines{"6.500 rx 30 33 03", "6.500 request"}));
    EXPECT_EQ(sim.nextDue(), 26'500);

    const std::vector<SimOutput> reply = sim.due(26'600);
    EXPECT_EQ(linesOf(reply),
              Lines{"26.600 tx 02 41 42 2B 30 31 32 33 34 35 33 31 41 03 12.345kg"});
    EXPECT_EQ(reply[0].bytes, (Bytes{0x02, 0x41, 0x42, 0x2B, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35,
                                     0x33, 0x31, 0x41, 0x03}));
    EXPECT_EQ(sim.nextDue(), std::nullopt);
}

TEST(CommandSimulator, AnswersEachOfSeveralRequestsWithTheNextWeight) {
    Simulator sim(optionsFrom({"--link", "/x", "--protocol", "command", "--weight", "ramp:1:3:1",
                               "--reply-delay", "0"}),
                  1);
    Bytes two = kRequest;
    two.insert(two.end(), kRequest.begin(), kRequest.end());
    EXPECT_EQ(
        linesOf(sim.received(1'000, two)),
        (Lines{"1.000 rx 02 41 42 30 33 03 02 41 42 30 33 03", "1.000 request", "1.000 request"}));
    EXPECT_EQ(linesOf(sim.due(1'000)),
              (Lines{"1.000 tx 02 41 42 2B 30 30 30 30 30 31 30 31 39 03 1kg",
                     "1.000 tx 02 41 42 2B 30 30 30 30 30 32 30 31 41 03 2kg"}));
}

TEST(CommandSimulator, DroppedRequestsAndRequestsDuringSilenceGoUnanswered) {
    Simulator dropping(optionsFrom({"--link", "/x", "--protocol", "command", "--drop", "1"}), 1);
    EXPECT_EQ(linesOf(dropping.received(0, kRequest)),
              (Lines{"0.000 rx 02 41 42 30 33 03", "0.000 request"}));
    EXPECT_EQ(dropping.nextDue(), std::nullopt);

    // Quiet from 100 to 200 ms: a request at 85 ms would be answered at 105.
    Simulator quiet(optionsFrom({"--link", "/x", "--protocol", "command", "--silence", "100:100"}),
                    1);
    quiet.received(85'000, kRequest);
    EXPECT_EQ(quiet.nextDue(), std::nullopt);
    quiet.received(185'000, kRequest);
    EXPECT_EQ(quiet.nextDue(), 205'000);
}

TEST(RequestScanner, FindsWholeRequestsAmongJunkAndSplitReads) {
    RequestScanner scanner;
    EXPECT_EQ(scanner.feed(Bytes{0x02, 0x02, 0x41, 0x42, 0x30, 0x33, 0x03}), 1);
    EXPECT_EQ(scanner.feed(Bytes{0x41, 0x42, 0x30, 0x33, 0x03}), 0);        // no start byte
    EXPECT_EQ(scanner.feed(Bytes{0x02, 0x41, 0x42, 0x30, 0x34, 0x03}), 0);  // wrong checksum
    EXPECT_EQ(scanner.feed(Bytes{0x02, 0x41}), 0);
    EXPECT_EQ(scanner.feed(Bytes{0x42, 0x30}), 0);
    EXPECT_EQ(scanner.feed(Bytes{0x33, 0x03, 0x02, 0x41, 0x42, 0x30, 0x33, 0x03}), 2);
}

TEST(EventLog, MillisecondsAlwaysShowThreeDecimals) {
    EXPECT_EQ(millisText(0), "0.000");
    EXPECT_EQ(millisText(7), "0.007");
    EXPECT_EQ(millisText(1'005), "1.005");
    EXPECT_EQ(millisText(123'456'789), "123456.789");
    EXPECT_EQ(rxLine(310'502, Bytes{0x0A}), "310.502 rx 0A");
}

}  // namespace
}  // namespace indicatorsim
