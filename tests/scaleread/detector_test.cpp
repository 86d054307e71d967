// The settings sweep on the fake serial control: an indicator that is heard only at its own
// settings, settings the host refuses, what goes out on the line, and the ranking.
#include <gtest/gtest.h>
#include <QSet>

#include <functional>

#include "protocols/formats/registry.h"
#include "protocols/stream/formattable.h"
#include "protocols/userformats/formatcatalog.h"
#include "readersupport.h"
#include "support/fakeserialcontrol.h"
#include "support/manualclock.h"
#include "tools/scale-read/detect/detector.h"

namespace scaleread {
namespace {

using scale::test::FakeSerialControl;
using scale::test::ManualClock;
using scale::test::ManualTimer;

std::vector<const scale::FormatDescription*> builtins() {
    std::vector<const scale::FormatDescription*> formats;
    for (const scale::FormatDescription& format : scale::builtinFormats()) {
        formats.push_back(&format);
    }
    return formats;
}

// Every rate with every framing, each once; the commonest setting first and 8N1 at every rate
// before any other framing.
TEST(Detector, TriesEverySettingOnceTheCommonestFirst) {
    const auto candidates = detectionCandidates();
    ASSERT_FALSE(candidates.empty());
    EXPECT_EQ(candidates.front().settings, "9600,N,8,1");
    QSet<QString> settings;
    QSet<QString> rates;
    QSet<QString> framings;
    bool otherFraming = false;
    for (const auto& candidate : candidates) {
        EXPECT_FALSE(settings.contains(candidate.settings)) << candidate.settings.toStdString();
        settings.insert(candidate.settings);
        rates.insert(candidate.settings.section(',', 0, 0));
        framings.insert(candidate.framing);
        otherFraming = otherFraming || candidate.framing != "8N1";
        EXPECT_FALSE(otherFraming && candidate.framing == "8N1") << candidate.settings.toStdString();
    }
    EXPECT_EQ(settings.size(), rates.size() * framings.size());
    EXPECT_GE(framings.size(), 5);
    EXPECT_GE(rates.size(), 13);
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

TEST_F(DetectorSweep, FindsAPolledIndicatorAnsweringOnlyItsOwnRequest) {
    // Like a pseudo-terminal: no parity, no 7 data bits. The indicator answers its request, but
    // only at 2400 8N1; at 9600 its replies arrive as garbage.
    port.refusesSettings = [](const scale::LineSettings& settings) {
        return settings.parity != scale::Parity::None || settings.dataBits != 8;
    };
    const QByteArray commandRequest(
        scale::formatOf(scale::IndicatorProtocol::Command).request.data());
    port.onWrite = [&](const QByteArray& written) {
        if (written != commandRequest) {
            return;
        }
        const QString settings = port.Settings();
        clock.callAt(clock.now() + 20, [this, settings] {
            port.feed(settings == "2400,N,8,1"   ? test::checksummed("AB+0012342")
                      : settings == "9600,N,8,1" ? QByteArray("\x02"
                                                              "\xF0\x0F"
                                                              "AB\x03")
                                                 : QByteArray());
        });
    };
    (void)port.setPortOpen(true);
    QStringList skipped;
    Detector detector(port, dwell, requests, readerClock, detectionCandidates(), builtins());
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
    const auto found = foundScore(scores);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->settings, "2400,N,8,1");
    EXPECT_EQ(found->format, "command");
    EXPECT_EQ(found->valid, Detector::kEarlyRun);
    // Once it answered, only its request went out: five requests for five replies.
    QStringList table;
    for (const DetectionScore& score : scores) {
        table << score.settings + " " + QString::fromStdString(score.format) + " " +
                     QString::number(score.valid) + "/" + QString::number(score.rejected);
    }
    EXPECT_EQ(table.join(", ").toStdString(),
              "2400,N,8,1 command 5/0, 9600,N,8,1 continuous 0/1, 9600,N,8,1 command 0/1, "
              "2400,N,8,1 sics 0/1, 2400,N,8,1 ad 0/1, 2400,N,8,1 sbi 0/1, "
              "2400,N,8,1 weigh-tronix 0/1, 2400,N,8,1 toledo 0/4, 2400,N,8,1 rice-lake 0/4, "
              "2400,N,8,1 8217 0/4, 2400,N,8,1 continuous 0/5");
}

// A read request's answer that comes late, just after sbi's ESC P went out: the answered
// request is then repeated, but never straight after the P a line-reading indicator still holds,
// where the two would read as the one command "PSI".
TEST_F(DetectorSweep, ALateAnswerNeverGluesItsRequestToTextLeftBehind) {
    QByteArray line;
    port.onWrite = [&](const QByteArray& written) {
        line += written;
        if (written == "\x1bP") {
            clock.callAt(clock.now() + 1, [this] { port.feed("S S     12.345 kg\r\n"); });
        }
    };
    (void)port.setPortOpen(true);
    Detector detector(port, dwell, requests, readerClock, detectionCandidates(), builtins());
    detector.start();
    clock.advance(3'000);
    ASSERT_TRUE(line.contains("\x1bP"));
    EXPECT_FALSE(line.contains("\x1bPSI")) << line.toHex(' ').toStdString();
}

// Each format, streaming or answering its request with its golden frame only at 4800,E,7,1, is
// found there and named.
TEST_F(DetectorSweep, FindsEachFormatAtItsSettings) {
    for (const scale::FormatUnit* unit : scale::formatUnits()) {
        if (unit->golden.empty()) {
            continue;
        }
        ManualClock unitClock;
        FakeSerialControl line{unitClock};
        ManualTimer unitDwell{unitClock};
        ManualTimer unitRequests{unitClock};
        test::ReaderClock unitReaderClock{unitClock};
        const QByteArray frame(unit->golden.front().bytes.data(),
                               static_cast<qsizetype>(unit->golden.front().bytes.size()));
        const auto sendAtItsSettings = [&] {
            if (line.Settings() == "4800,E,7,1") {
                line.feed(frame);
            }
        };
        const QByteArray request(unit->format.request.data(),
                                 static_cast<qsizetype>(unit->format.request.size()));
        std::function<void()> stream = [&] {
            sendAtItsSettings();
            unitClock.callAt(unitClock.now() + 100, stream);
        };
        if (unit->format.asks()) {
            line.onWrite = [&](const QByteArray& written) {
                if (written == request) {
                    unitClock.callAt(unitClock.now() + 20, sendAtItsSettings);
                }
            };
        } else {
            stream();
        }
        (void)line.setPortOpen(true);
        Detector detector(line, unitDwell, unitRequests, unitReaderClock, detectionCandidates(),
                          builtins());
        detector.start();
        unitClock.advance(60'000);
        ASSERT_TRUE(detector.finished()) << unit->format.name;
        std::vector<DetectionScore> scores = detector.scores();
        rankScores(scores);
        const auto found = foundScore(scores);
        ASSERT_TRUE(found.has_value()) << unit->format.name;
        EXPECT_EQ(found->settings.toStdString() + " " + found->format,
                  "4800,E,7,1 " + std::string(unit->format.name));
    }
}

TEST_F(DetectorSweep, SendsOnlyReadRequestsOneAtATimeWithAPause) {
    // A user's polled format too; its zero command is never sent.
    scale::FormatCatalog catalog;
    ASSERT_FALSE(
        catalog.addFile("[[format]]\nname = \"silo-poll\"\nstart = \"\\u0002\"\n"
                        "terminator = \"\\u0003\"\npattern = '(?<value>-?\\d+\\.\\d+)'\n"
                        "unit = \"t\"\nrequest = \"\\u0005\"\nzero = \"Z\"\n",
                        "plant.toml"));
    QList<QByteArray> written;
    QList<std::int64_t> at;
    QList<int> bauds;
    port.onWrite = [&](const QByteArray& bytes) {
        written << bytes;
        at << clock.now();
        bauds << port.Settings().section(',', 0, 0).toInt();
        // The user's indicator answers at 4800 baud only.
        if (bytes == "\x05" && port.Settings() == "4800,N,8,1") {
            clock.callAt(clock.now() + 30, [this] {
                port.feed(
                    "\x02"
                    "12.50\x03");
            });
        }
    };
    (void)port.setPortOpen(true);
    Detector detector(port, dwell, requests, readerClock,
                      {{"9600,N,8,1", "8N1"}, {"4800,N,8,1", "8N1"}}, catalog.formats());
    detector.start();
    clock.advance(10'000);
    ASSERT_TRUE(detector.finished());
    std::vector<DetectionScore> scores = detector.scores();
    rankScores(scores);
    const auto found = foundScore(scores);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->settings + " " + QString::fromStdString(found->format),
              "4800,N,8,1 silo-poll");
    // The first round at 9600: each format's read request once, those that leave an
    // unfinished line behind right before one that begins with a control byte.
    QStringList round;
    for (qsizetype i = 0; i < 6; ++i) {
        round << QString::fromLatin1(written[i].toHex(' '));
    }
    EXPECT_EQ(round.join(" | ").toStdString(),
              "53 49 0d 0a | 57 | 1b 50 | 02 41 42 30 33 03 | 05 | 0a 57 0d");
    const QSet<QByteArray> reads = {"SI\r\n",
                                    "W",
                                    "\x1bP",
                                    "\x02"
                                    "AB03\x03",
                                    "\x05",
                                    "\nW\r"};
    for (qsizetype i = 0; i < written.size(); ++i) {
        EXPECT_TRUE(reads.contains(written[i])) << written[i].toHex(' ').toStdString();
        if (i > 0) {
            // Each request has left the line (10 bits a byte) and a pause has passed.
            EXPECT_GE(at[i] - at[i - 1],
                      Detector::kPauseMillis + (written[i - 1].size() * 10'000) / bauds[i - 1])
                << "request " << i;
        }
    }
}

TEST_F(DetectorSweep, AFormatWithoutACheckNeedsTwiceTheRunAndRanksBelowOneWithIt) {
    // ShenTong at 9600, ten frames a second, unasked.
    std::function<void()> send = [&] {
        if (port.Settings() == "9600,N,8,1") {
            port.feed("=00.0021");
        }
        clock.callAt(clock.now() + 100, send);
    };
    send();
    (void)port.setPortOpen(true);
    Detector detector(port, dwell, requests, readerClock, detectionCandidates(), builtins());
    std::int64_t took = 0;
    detector.setOnFinished([&] { took = detector.elapsedMillis(); });
    detector.start();
    clock.advance(3'000);
    ASSERT_TRUE(detector.finished());
    std::vector<DetectionScore> scores = detector.scores();
    rankScores(scores);
    // The line formats gave up the bytes as lines too long; nothing else read a frame.
    ASSERT_FALSE(scores.empty());
    EXPECT_EQ(scores[0].format, "shentong");
    EXPECT_EQ(scores[1].valid, 0);
    EXPECT_FALSE(scores[0].checked);
    EXPECT_EQ(scores[0].validRun, Detector::kUncheckedRun);
    EXPECT_LT(took, 1'500);

    scores = {
        {"9600,N,8,1", "weigh-tronix", 12, 0, 12, 1.0, 0, false},
        {"9600,N,8,1", "sics", 5, 0, 5, 1.0, 0, true},
        {"9600,N,8,1", "continuous", 20, 3, 0, 1.0},
    };
    rankScores(scores);
    EXPECT_EQ(scores[0].format + " " + scores[1].format + " " + scores[2].format,
              "sics weigh-tronix continuous");
    EXPECT_EQ(foundScore(scores)->format, "sics");
    // Five frames name a format with a check, not one without.
    scores = {{"9600,N,8,1", "weigh-tronix", 5, 0, 5, 1.0, 0, false}};
    EXPECT_FALSE(foundScore(scores).has_value());
    scores[0].checked = true;
    EXPECT_TRUE(foundScore(scores).has_value());
}

TEST_F(DetectorSweep, ASilentLineHearsEverySettingWithinThirtySeconds) {
    (void)port.setPortOpen(true);
    Detector detector(port, dwell, requests, readerClock, detectionCandidates(), builtins());
    std::int64_t took = 0;
    detector.setOnFinished([&] { took = detector.elapsedMillis(); });
    detector.start();
    clock.advance(30'000);
    EXPECT_TRUE(detector.finished());
    EXPECT_EQ(detector.listened(), 65);
    EXPECT_GT(took, 20'000) << "each setting has its share";
    EXPECT_LE(took, Detector::kSweepMillis) << took;
    EXPECT_TRUE(detector.scores().empty());
}

TEST(Detector, RanksByValidFramesASecondThenByRejected) {
    std::vector<DetectionScore> scores = {
        {"9600,N,8,1", "continuous", 2, 9, 0, 1.0},
        {"19200,N,8,1", "toledo", 8, 1, 4, 1.0},
        {"4800,N,8,1", "continuous", 8, 0, 4, 1.0},
    };
    rankScores(scores);
    EXPECT_EQ(scores[0].settings, "4800,N,8,1");
    EXPECT_EQ(scores[1].settings, "19200,N,8,1");
    EXPECT_EQ(foundScore(scores)->settings, "4800,N,8,1");
    scores = {{"9600,N,8,1", "continuous", 4, 2, 1, 1.0}};
    EXPECT_FALSE(foundScore(scores).has_value());
}

TEST(Detector, ReportTellsASilentLineFromAGarbledOne) {
    const std::string header = "settings       protocol      valid/s  rejected     bytes\n";
    // No table over no rows.
    EXPECT_EQ(detectionReport({}, {{"9600,N,8,1", 0}, {"19200,N,8,1", 0}}),
              "not found: the line was silent\n");
    EXPECT_EQ(detectionReport({}, {{"9600,N,8,1", 0}, {"1200,N,8,1", 120}}),
              header +
                  "1200,N,8,1     -                   -         -       120\n"
                  "not found: 120 bytes heard, none in a known format\n");
    const std::vector<DetectionScore> scores = {
        {"9600,N,8,1", "shentong", 1, 6, 0, 2.0, 90, false},
        {"19200,N,8,1", "continuous", 20, 0, 20, 2.0, 240},
    };
    EXPECT_EQ(detectionReport(scores, {{"9600,N,8,1", 90}, {"19200,N,8,1", 240}},
                              " --formats plant.toml"),
              header +
                  "19200,N,8,1    continuous       10.0         0       240\n"
                  "9600,N,8,1     shentong          0.5         6        90\n"
                  "found: --settings 19200,N,8,1 --protocol continuous --formats plant.toml\n");
    EXPECT_EQ(detectionReport({scores[0]}, {{"9600,N,8,1", 90}}),
              header +
                  "9600,N,8,1     shentong          0.5         6        90\n"
                  "not found: 90 bytes heard, too few valid frames at any setting\n");
}

}  // namespace
}  // namespace scaleread
