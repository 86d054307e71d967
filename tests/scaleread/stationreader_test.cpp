// Reading a station on the fake serial control: every frame, polling, loss and return.
#include <gtest/gtest.h>

#include <vector>

#include "readersupport.h"
#include "support/fakeserialcontrol.h"
#include "support/manualclock.h"
#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {
namespace {

using scale::test::FakeSerialControl;
using scale::test::ManualClock;
using scale::test::ManualTimer;
using test::checksummed;


struct Station {
    explicit Station(ReadingRules rules)
        : port(clock), timer(clock), watchTimer(clock), readerClock(clock) {
        (void)port.setPortOpen(true);
        reader.emplace(port, timer, watchTimer, readerClock, rules, ".");
        reader->setOnFrame([this](std::int64_t utc, const scale::StreamFrame& frame, bool stable,
                                  bool became) {
            if (became) {
                settled.push_back(frame.text);
            }
            texts.push_back(std::to_string(utc - test::ReaderClock::kStart) + " " +
                            (frame.error == scale::FrameError::None
                                 ? frame.text
                                 : std::string(scale::frameErrorName(frame.error))) +
                            (stable ? " stable" : ""));
        });
        reader->setOnLineEvent([this](scale::SerialControl::LineEvent event) {
            texts.push_back(event == scale::SerialControl::LineEvent::Lost ? "lost" : "back");
        });
    }
    ManualClock clock;
    FakeSerialControl port;
    ManualTimer timer;
    ManualTimer watchTimer;
    test::ReaderClock readerClock;
    std::optional<StationReader> reader;
    std::vector<std::string> texts;
    std::vector<std::string> settled;  // the weights that have just settled
};

const QByteArray kRequest("\x02" "AB03\x03");
const QByteArray kReply = checksummed("AB+0012342");  // 12.34 kg

TEST(StationReader, DecodesEveryFrameOfEachReadWithItsTime) {
    Station station({});
    ASSERT_TRUE(station.reader->start());
    station.clock.advance(10);
    station.port.feed(checksummed("+0001002") + checksummed("+0002002") + "\x02+00");
    station.clock.advance(90);
    station.port.feed("00302" + checksummed("-0012342").mid(8));
    station.clock.runPending();
    EXPECT_EQ(station.texts,
              (std::vector<std::string>{"10 1.00kg", "10 2.00kg", "100 checksum"}));
}

TEST(StationReader, ReportsStabilityAfterTheStableTime) {
    Station station({&scale::formatOf(scale::IndicatorProtocol::Continuous), 100, 1, 250});
    ASSERT_TRUE(station.reader->start());
    for (int i = 0; i < 4; ++i) {
        station.port.feed(checksummed(i == 1 ? "+0010011" : "+0010001"));  // 100.1, 100.0
        station.clock.advance(100);
    }
    EXPECT_EQ(station.texts, (std::vector<std::string>{"0 100.0kg", "100 100.1kg",
                                                       "200 100.0kg", "300 100.0kg stable"}));
}

TEST(StationReader, PollsAsTheWindowDoesAndAtTheGivenInterval) {
    for (const int interval : {100, 250}) {
        Station station({&scale::formatOf(scale::IndicatorProtocol::Command), interval, 1, 500});
        std::vector<qint64> requests;
        station.port.onWrite = [&](const QByteArray& bytes) {
            EXPECT_EQ(bytes, kRequest);
            requests.push_back(station.clock.now());
        };
        ASSERT_TRUE(station.reader->start());
        station.clock.advance(1);   // the first request at once
        station.clock.advance(20);  // the reply 20 ms later
        station.port.feed(kReply);
        station.clock.advance(1500);  // then silence
        EXPECT_EQ(requests, (std::vector<qint64>{1, 21 + interval, 621 + interval,
                                                 1221 + interval}))
            << "interval " << interval;
        EXPECT_EQ(station.texts, (std::vector<std::string>{"21 12.34kg"}));
    }
}

TEST(StationReader, StopsPollingWhileThePortIsGoneAndResumesOnReturn) {
    Station station({&scale::formatOf(scale::IndicatorProtocol::Command), 100, 1, 500});
    int requests = 0;
    station.port.onWrite = [&](const QByteArray&) { ++requests; };
    ASSERT_TRUE(station.reader->start());
    station.clock.advance(5);
    ASSERT_EQ(requests, 1);
    station.port.feed("\x02" "AB+00");  // a reply cut off by the loss is not completed later
    station.port.unplug();
    station.clock.advance(2000);
    EXPECT_EQ(requests, 1);
    station.port.replug();
    station.clock.advance(201);
    EXPECT_EQ(requests, 2);
    station.port.feed(kReply);
    station.clock.runPending();
    EXPECT_EQ(station.texts, (std::vector<std::string>{"lost", "back", "2206 12.34kg"}));
}

TEST(StationReader, SaysOnceWhatIsWrongWithASilentOrUndecodableLine) {
    const std::string silent =
        "nothing received in 5 s: check the indicator, the cable and --port; one that waits to be "
        "asked needs the --protocol of its format (or try --detect)";
    Station station({});
    station.reader->setOnNote([&](const QString& text) {
        station.texts.push_back(std::to_string(station.clock.now()) + " " + text.toStdString());
    });
    ASSERT_TRUE(station.reader->start());
    station.clock.advance(15'000);  // one note, not one a second
    station.port.feed(checksummed("+0001002"));
    station.clock.advance(500);
    station.port.feed("\x7F\x80 garbage");  // a wrong baud's bytes
    station.clock.advance(10'000);
    station.port.unplug();
    station.clock.advance(10'000);  // the loss is reported already
    EXPECT_EQ(station.texts,
              (std::vector<std::string>{
                  "5000 " + silent, "15000 1.00kg",
                  "18000 10 bytes in 3 s, no continuous frame: wrong baud, framing or protocol? "
                  "try --detect",
                  "lost"}));

    Station polled({&scale::formatOf(scale::IndicatorProtocol::Command), 100, 1, 500});
    polled.reader->setOnNote([&](const QString& text) {
        polled.texts.push_back(std::to_string(polled.clock.now()) + " " + text.toStdString());
    });
    ASSERT_TRUE(polled.reader->start());
    polled.clock.advance(9'000);
    EXPECT_EQ(polled.texts,
              (std::vector<std::string>{
                  "5000 nothing received in 5 s: the indicator does not answer the command "
                  "request; check the cable, --port and --settings, or try --detect"}));
}

TEST(StationReader, ARunShorterThanTheNotesDelaysSaysAsItEndsWhyItReadNothing) {
    const QByteArray bytes[] = {"\x7F\x80 garbage", "", checksummed("+0001002")};
    std::vector<std::string> notes;
    for (const QByteArray& read : bytes) {
        Station station({});
        station.reader->setOnNote([&](const QString& text) { notes.push_back(text.toStdString()); });
        ASSERT_TRUE(station.reader->start());
        station.clock.advance(500);
        station.port.feed(read);
        station.clock.advance(1000);
        station.reader->finish();
        station.clock.advance(10'000);  // and nothing more after the end
    }
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "10 bytes in 1.5 s, no continuous frame: wrong baud, framing or "
                         "protocol? try --detect",
                         "nothing received in 1.5 s: check the indicator, the cable and --port; "
                         "one that waits to be asked needs the --protocol of its format (or try --detect)"}));
}

TEST(StationReader, AsksWithTheFormatsRequestAndTakesItsWordOnStability) {
    Station station({scale::builtinFormat("sics"), std::nullopt, 1, 500});
    std::vector<std::string> requests;
    station.port.onWrite = [&](const QByteArray& bytes) {
        requests.push_back(std::to_string(station.clock.now()) + " " + bytes.toStdString());
    };
    ASSERT_TRUE(station.reader->start());
    station.clock.advance(1);
    station.port.feed("S D      12.340 kg\r\n");
    station.clock.advance(100);
    station.port.feed("S S      12.345 kg\r\nS S      12.345 kg\r\n");
    station.clock.runPending();
    EXPECT_EQ(requests, (std::vector<std::string>{"1 SI\r\n", "101 SI\r\n"}));
    // Stable at once where the balance says so, not after the stable time.
    EXPECT_EQ(station.texts, (std::vector<std::string>{"1 12.340kg", "101 12.345kg stable",
                                                       "101 12.345kg stable"}));
    // Zeroed, it shows 0 at once, steady all along: a weight that settled all the same.
    station.port.feed("S S       0.000 kg\r\nS S       0.000 kg\r\n");
    station.clock.runPending();
    EXPECT_EQ(station.settled, (std::vector<std::string>{"12.345kg", "0.000kg"}));
}

}  // namespace
}  // namespace scaleread
