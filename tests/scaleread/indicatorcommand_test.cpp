// Commands to the indicator on the fake serial control and the manual clock: what goes out, and
// each result from answer lines, from the frames that follow, and from silence.
#include <gtest/gtest.h>

#include <optional>
#include <string>
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

struct Station {
    explicit Station(std::string_view format)
        : port(clock), pollTimer(clock), watchTimer(clock), commandTimer(clock),
          readerClock(clock) {
        (void)port.setPortOpen(true);
        port.onWrite = [this](const QByteArray& bytes) { written += bytes.toStdString(); };
        ReadingRules rules;
        rules.format = scale::builtinFormat(format);
        reader.emplace(port, pollTimer, watchTimer, readerClock, rules, ".");
        reader->setCommandTimer(commandTimer);
        EXPECT_TRUE(reader->start());
    }
    // Sends `kind`, feeds `answer` 50 ms later and waits up to `waitMs`: "RESULT TEXT@MS".
    std::string command(CommandKind kind, const char* answer, int waitMs = 100) {
        std::string outcome = "pending";
        const qint64 sent = clock.now();
        reader->sendCommand(kind, [&, sent](CommandResult result, const std::string& text) {
            outcome = std::string(resultName(result)) + " " + text + "@" +
                      std::to_string(clock.now() - sent);
        });
        clock.advance(50);
        port.feed(answer);
        clock.advance(waitMs - 50);
        return outcome;
    }
    ManualClock clock;
    FakeSerialControl port;
    ManualTimer pollTimer;
    ManualTimer watchTimer;
    ManualTimer commandTimer;
    test::ReaderClock readerClock;
    std::optional<StationReader> reader;
    std::string written;
};

TEST(IndicatorCommand, ReadsEachResultFromTheAnswerLinesWhilePollsGoOn) {
    struct Case {
        CommandKind kind;
        const char* answer;
        const char* outcome;
    };
    const Case cases[] = {
        // A poll's reply in between settles nothing.
        {CommandKind::Zero, "S S      12.345 kg\r\nZ A\r\n", "done Z A@50"},
        {CommandKind::Zero, "Z I\r\n", "refused Z I@50"},
        {CommandKind::Zero, "Z +\r\n", "overload Z +@50"},
        {CommandKind::Zero, "Z -\r\n", "underload Z -@50"},
        {CommandKind::Tare, "T S      12.345 kg\r\n", "done T S      12.345 kg@50"},
        {CommandKind::Tare, "T I\r\n", "refused T I@50"},
        {CommandKind::ClearTare, "T S      1.000 kg\r\nTAC A\r\n", "done TAC A@50"},
        {CommandKind::ClearTare, "TAC I\r\n", "refused TAC I@50"},
    };
    for (const Case& c : cases) {
        Station station("sics");
        station.clock.advance(30);  // the first poll
        EXPECT_EQ(station.command(c.kind, c.answer), c.outcome) << c.answer;
        const char* sent = c.kind == CommandKind::Zero   ? "SI\r\nZ\r\n"
                           : c.kind == CommandKind::Tare ? "SI\r\nT\r\n"
                                                         : "SI\r\nTAC\r\n";
        EXPECT_EQ(station.written, sent);
    }
}

TEST(IndicatorCommand, ReadsEachResultFromTheFramesThatFollow) {
    struct Case {
        const char* format;
        CommandKind kind;
        const char* frames;
        const char* outcome;
    };
    const Case cases[] = {
        // The frame still on its way settles nothing; the one showing the change does.
        {"sma", CommandKind::Zero, "\n 1G       12.34kg \r\nZ1G           0kg \r", "done 0kg@50"},
        {"sma", CommandKind::Tare, "\n 1N        0.00kg \r", "done 0.00kg@50"},
        {"sma", CommandKind::ClearTare, "\n 1G       12.34kg \r", "done 12.34kg@50"},
        {"sma", CommandKind::Zero, "\nO1G        0.00kg \r", "overload @50"},
        {"sma", CommandKind::Zero, "\nU1G        0.00kg \r", "underload @50"},
        {"sma", CommandKind::Zero, "\nE1G       12.34kg \r", "refused E@50"},
        {"ad", CommandKind::Tare, "ST,NT,+0000.00kg\r\n", "done 0.00kg@50"},
        // Silence, and frames that never show the change.
        {"toledo", CommandKind::Zero, "", "no-answer @2000"},
        {"sma", CommandKind::ClearTare, "\n 1N        0.00kg \r", "no-answer @2000"},
    };
    for (const Case& c : cases) {
        Station station(c.format);
        EXPECT_EQ(station.command(c.kind, c.frames, 2100), c.outcome) << c.frames;
    }
}

TEST(IndicatorCommand, AFormatWithoutTheCommandSendsNothing) {
    for (const auto& [format, kind] : {std::pair{"continuous", CommandKind::Zero},
                                       std::pair{"sbi", CommandKind::ClearTare},
                                       std::pair{"8217", CommandKind::Tare}}) {
        Station station(format);
        station.clock.advance(1);
        station.written.clear();
        EXPECT_EQ(station.command(kind, ""), "unsupported @0") << format;
        EXPECT_EQ(station.written.find_first_of("ZTCUV\x1b"), std::string::npos) << format;
    }
}

// A burst of commands: one out, one waiting, the rest busy; a poll's reading between them.
TEST(IndicatorCommand, CommandsCannotPileUpAndReadingsGoOnBetweenThem) {
    Station station("sics");
    std::vector<std::string> results;
    const auto keep = [&](CommandResult result, const std::string& text) {
        results.push_back(std::to_string(station.clock.now()) + " " +
                          std::string(resultName(result)) + " " + text);
    };
    station.reader->sendCommand(CommandKind::Zero, keep);
    station.reader->sendCommand(CommandKind::Tare, keep);
    for (int i = 0; i < 1000; ++i) {
        station.reader->sendCommand(CommandKind::Zero, keep);
    }
    station.clock.advance(10);
    EXPECT_EQ(station.written, "Z\r\nSI\r\n");
    station.port.feed("Z A\r\n");
    station.clock.advance(100);  // the next poll, not the tare
    EXPECT_EQ(station.written, "Z\r\nSI\r\nSI\r\n");
    station.port.feed("S S      12.345 kg\r\n");
    station.clock.runPending();
    EXPECT_EQ(station.written, "Z\r\nSI\r\nSI\r\nT\r\n");
    station.port.feed("T I\r\n");
    station.clock.runPending();
    ASSERT_EQ(results.size(), 1002u);
    EXPECT_EQ(results.front(), "0 busy ");
    EXPECT_EQ(results.back(), "110 refused T I");
    EXPECT_EQ(results[1000], "10 done Z A");

    // An indicator that answers no poll still gets the command, once one poll's time has passed.
    station.written.clear();
    station.reader->sendCommand(CommandKind::Zero, keep);
    station.clock.advance(1400);
    EXPECT_EQ(station.written, "SI\r\nZ\r\nSI\r\nSI\r\n");
}

// One waiting for its turn is never sent late: expired after 5 s, or dropped when cancelled.
TEST(IndicatorCommand, AWaitingCommandExpiresOrIsCancelledUnsent) {
    Station station("toledo");
    std::vector<std::string> results;
    const auto keep = [&](CommandResult result, const std::string&) {
        results.push_back(std::to_string(station.clock.now()) + " " +
                          std::string(resultName(result)));
    };
    station.reader->sendCommand(CommandKind::Zero, keep);
    station.clock.advance(500);
    station.port.unplug();
    station.reader->sendCommand(CommandKind::Tare, keep);
    station.clock.advance(6000);
    station.port.replug();
    station.clock.advance(1000);
    EXPECT_EQ(results, (std::vector<std::string>{"2000 no-answer", "5500 expired"}));
    EXPECT_EQ(station.written, "Z");

    results.clear();
    station.written.clear();
    const auto out = station.reader->sendCommand(CommandKind::Zero, keep);
    const auto waiting = station.reader->sendCommand(CommandKind::Tare, keep);
    EXPECT_FALSE(station.reader->cancelCommand(out));
    EXPECT_TRUE(station.reader->cancelCommand(waiting));
    EXPECT_FALSE(station.reader->cancelCommand(waiting));
    station.clock.advance(8000);
    EXPECT_EQ(results, (std::vector<std::string>{"9500 no-answer"}));
    EXPECT_EQ(station.written, "Z");
}

}  // namespace
}  // namespace scaleread
