// The settings sweep on the fake serial control: an indicator that is heard only at its own
// settings, settings the host refuses, and the ranking.
#include <gtest/gtest.h>

#include "readersupport.h"
#include "support/fakeserialcontrol.h"
#include "support/manualclock.h"
#include "tools/scale-read/detector.h"

namespace scaleread {
namespace {

using scale::test::FakeSerialControl;
using scale::test::ManualClock;
using scale::test::ManualTimer;

TEST(Detector, TriesTheFramingsInTurnAtTheCommonestRatesFirst) {
    const auto candidates = detectionCandidates();
    ASSERT_EQ(candidates.size(), 65u);
    QStringList first;
    for (std::size_t i = 0; i < 14; ++i) {
        first << candidates[i].settings;
    }
    EXPECT_EQ(first.join(' '),
              "9600,N,8,1 19200,N,8,1 4800,N,8,1 2400,N,8,1 1200,N,8,1 57600,N,8,1 14400,N,8,1 "
              "28800,N,8,1 600,N,8,1 128000,N,8,1 256000,N,8,1 28400,N,8,1 152000,N,8,1 "
              "9600,E,7,1");
    EXPECT_EQ(candidates.back().settings, "152000,O,8,1");
    EXPECT_EQ(candidates.back().framing, "8O1");
}

// A sweep's port and timers on the manual clock.
class DetectorSweep : public ::testing::Test {
protected:
    ManualClock clock;
    FakeSerialControl port{clock};
    ManualTimer dwell{clock};
    ManualTimer requests{clock};
    test::ReaderClock readerClock{clock};
};

TEST_F(DetectorSweep, FindsTheIndicatorSkippingWhatTheHostRefuses) {
    // Like a pseudo-terminal: no parity, no 7 data bits. The indicator answers requests, but
    // only at 2400 8N1; at 9600 its replies arrive as garbage.
    port.refusesSettings = [](const scale::LineSettings& settings) {
        return settings.parity != scale::Parity::None || settings.dataBits != 8;
    };
    port.onWrite = [&](const QByteArray&) {
        const QString settings = port.Settings();
        clock.callAt(clock.now() + 20, [this, settings] {
            port.feed(settings == "2400,N,8,1" ? test::checksummed("AB+0012342")
                      : settings == "9600,N,8,1" ? QByteArray("\x02" "\xF0\x0F" "AB\x03")
                                                 : QByteArray());
        });
    };
    (void)port.setPortOpen(true);
    QStringList skipped;
    Detector detector(port, dwell, requests, readerClock, detectionCandidates());
    detector.setOnSkip([&](const DetectionCandidate& candidate, const QString& reason) {
        skipped << candidate.settings + ": " + reason;
    });
    detector.start();
    clock.advance(30'000);
    ASSERT_TRUE(detector.finished());
    // Found at the fourth candidate, so only the first framing was tried.
    EXPECT_TRUE(skipped.isEmpty());
    std::vector<DetectionScore> scores = detector.scores();
    rankScores(scores);
    ASSERT_EQ(scores.size(), 4u);
    EXPECT_EQ(scores[0].settings, "2400,N,8,1");
    EXPECT_EQ(scores[0].protocol, scale::IndicatorProtocol::Command);
    EXPECT_EQ(scores[0].valid, Detector::kEarlyRun);
    EXPECT_EQ(scores[0].rejected, 0);
    const auto found = foundScore(scores);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->settings, "2400,N,8,1");
    // The other decoders refused the garbage at 9600 and the replies at 2400.
    EXPECT_EQ(scores[1].valid + scores[2].valid + scores[3].valid, 0);
    QStringList heard;
    for (const HeardSetting& setting : detector.heard()) {
        heard << setting.settings + " " + QString::number(setting.bytes);
    }
    EXPECT_EQ(heard.join(", ").toStdString(),
              "9600,N,8,1 18, 19200,N,8,1 0, 4800,N,8,1 0, 2400,N,8,1 70");
}

TEST_F(DetectorSweep, ASilentLineEndsWithinTheSweepAndFindsNothing) {
    port.refusesSettings = [](const scale::LineSettings& settings) {
        return settings.parity == scale::Parity::Even;
    };
    (void)port.setPortOpen(true);
    int skips = 0;
    Detector detector(port, dwell, requests, readerClock, detectionCandidates());
    detector.setOnSkip([&](const DetectionCandidate&, const QString& reason) {
        EXPECT_EQ(reason, "the port does not take these settings");
        ++skips;
    });
    detector.start();
    clock.advance(Detector::kSweepMillis + 1500);
    EXPECT_TRUE(detector.finished());
    EXPECT_EQ(skips, 26);
    EXPECT_TRUE(detector.scores().empty());
    EXPECT_FALSE(foundScore(detector.scores()).has_value());
}

TEST(Detector, RanksByValidFramesASecondThenByRejected) {
    std::vector<DetectionScore> scores = {
        {"9600,N,8,1", scale::IndicatorProtocol::Continuous, 2, 9, 0, 1.0},
        {"19200,N,8,1", scale::IndicatorProtocol::ShenTong, 8, 1, 4, 1.0},
        {"4800,N,8,1", scale::IndicatorProtocol::Continuous, 8, 0, 4, 1.0},
    };
    rankScores(scores);
    EXPECT_EQ(scores[0].settings, "4800,N,8,1");
    EXPECT_EQ(scores[1].settings, "19200,N,8,1");
    EXPECT_EQ(foundScore(scores)->settings, "4800,N,8,1");
    scores = {{"9600,N,8,1", scale::IndicatorProtocol::Continuous, 4, 2, 1, 1.0}};
    EXPECT_FALSE(foundScore(scores).has_value());
}

TEST(Detector, ReportTellsASilentLineFromAGarbledOne) {
    const std::string header = "settings       protocol     valid/s  rejected     bytes\n";
    EXPECT_EQ(detectionReport({}, {{"9600,N,8,1", 0}, {"19200,N,8,1", 0}}),
              header + "not found: the line was silent\n");
    EXPECT_EQ(detectionReport({}, {{"9600,N,8,1", 0}, {"1200,N,8,1", 120}}),
              header +
                  "1200,N,8,1     -                  -         -       120\n"
                  "not found: 120 bytes heard, none in a known format\n");
    const std::vector<DetectionScore> scores = {
        {"9600,N,8,1", scale::IndicatorProtocol::ShenTong, 1, 6, 0, 2.0, 90},
        {"19200,N,8,1", scale::IndicatorProtocol::Continuous, 20, 0, 20, 2.0, 240},
    };
    EXPECT_EQ(detectionReport(scores, {{"9600,N,8,1", 90}, {"19200,N,8,1", 240}}),
              header +
                  "19200,N,8,1    continuous      10.0         0       240\n"
                  "9600,N,8,1     shentong         0.5         6        90\n"
                  "found: --settings 19200,N,8,1 --protocol continuous\n");
    EXPECT_EQ(detectionReport({scores[0]}, {{"9600,N,8,1", 90}}),
              header +
                  "9600,N,8,1     shentong         0.5         6        90\n"
                  "not found: 90 bytes heard, too few valid frames at any setting\n");
}

}  // namespace
}  // namespace scaleread
