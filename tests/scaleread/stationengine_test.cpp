// The station engine on fake ports: each frame one record for every outlet, each text made once
// however many outlets ask, and a port's changes told to all of them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "readersupport.h"
#include "support/fakeserialcontrol.h"
#include "support/manualclock.h"
#include "tools/scale-read/engine/stationengine.h"

namespace scaleread {
namespace {

using scale::test::FakeSerialControl;
using scale::test::ManualClock;
using scale::test::ManualTimer;
using test::checksummed;

// Keeps what it is handed: the texts it asks for, or the port's changes.
struct FakeOutlet : Outlet {
    std::vector<TextForm> forms;  // asked of every record
    std::vector<std::string> seen;
    std::vector<std::string> ports;  // "STATION STATE REASON"
    std::vector<const char*> where;  // where each text lay: the same place is the same text
    std::size_t made = 0;            // texts written down so far, after this outlet's turn
    std::function<void()> onRecord;

    void record(const Record& record) override {
        for (const TextForm& form : forms) {
            const std::string_view text = record.texts.line(form);
            seen.emplace_back(text);
            where.push_back(text.data());
        }
        if (record.chosen && forms.empty()) {
            seen.push_back(record.source.station + " " + record.frame.text);
        }
        made = record.texts.made();
        if (onRecord) {
            onRecord();
        }
    }
    void portChanged(std::size_t station, PortState state, const QString& reason) override {
        ports.push_back(std::to_string(station) + " " + std::to_string(static_cast<int>(state)) +
                        " " + reason.toStdString());
    }
};

struct ReadingRun {
    explicit ReadingRun(const std::vector<StationConfig>& stations, bool several = false,
                        std::optional<std::int64_t> reconnectTimeoutMs = {})
        : readerClock(clock) {
        EngineSettings settings;
        settings.reconnectTimeoutMs = reconnectTimeoutMs;
        settings.several = several;
        settings.quiet = true;
        settings.decimalSeparator = ".";
        engine = std::make_unique<StationEngine>(
            stations, settings,
            EngineHost{[this](const StationConfig&) {
                           auto port = std::make_unique<FakeSerialControl>(clock);
                           ports.push_back(port.get());
                           return port;
                       },
                       [this] { return std::make_unique<ManualTimer>(clock); }, readerClock,
                       [this](const QString& text) { notes.push_back(text.toStdString()); },
                       [this](int status) { ended.push_back(status); }});
    }
    FakeOutlet& add() {
        auto outlet = std::make_unique<FakeOutlet>();
        FakeOutlet& kept = *outlet;
        engine->addOutlet(std::move(outlet));
        return kept;
    }

    ManualClock clock;
    test::ReaderClock readerClock;
    std::vector<FakeSerialControl*> ports;
    std::vector<std::string> notes;
    std::vector<int> ended;
    std::unique_ptr<StationEngine> engine;
};

StationConfig station(const char* name, int commPort) {
    StationConfig config;
    config.name = QString::fromLatin1(name);
    config.port = QStringLiteral("Com%1").arg(commPort);
    config.commPort = commPort;
    return config;
}

TEST(StationEngine, WritesEachFormOfARecordOnceForAllOutlets) {
    ReadingRun run({station("gate", 1)});
    FakeOutlet& file = run.add();
    FakeOutlet& broker = run.add();
    FakeOutlet& board = run.add();
    file.forms = {{.format = OutputFormat::Text, .station = false}};
    broker.forms = {{}};
    board.forms = {{}, {.typed = true}};
    ASSERT_TRUE(run.engine->open());
    run.clock.advance(5);
    run.ports[0]->feed(checksummed("+0001002") + checksummed("-0002002"));
    run.clock.runPending();

    const std::string head = R"({"time":"2026-12-07T12:00:00.005Z","station":"gate",)"
                             R"("port":"Com1","protocol":"continuous",)";
    const std::string first = head + R"("weight":1.00,"text":"1.00kg","stable":false,)"
                                     R"("raw":"02 2B 30 30 30 31 30 30 32 31 38 03","unit":"kg"})";
    EXPECT_EQ(file.seen, (std::vector<std::string>{
                             "2026-12-07 12:00:00.005Z  Com1  1.00kg\n",
                             "2026-12-07 12:00:00.005Z  Com1  -2.00kg\n"}));
    ASSERT_EQ(broker.seen.size(), 2u);
    EXPECT_EQ(broker.seen[0], first + "\n");
    EXPECT_EQ(board.seen[1], R"({"type":"record",)" + first.substr(1) + "\n");
    // The broker's text is the board's: three forms for three outlets, each written once.
    EXPECT_EQ(board.where[0], broker.where[0]);
    EXPECT_EQ(board.made, 6u);
}

TEST(StationEngine, EndsHandingOutRecordsOnceAnOutletEndsTheRun) {
    ReadingRun run({station("gate", 1), station("silo", 2)}, true);
    FakeOutlet& count = run.add();
    FakeOutlet& broker = run.add();
    count.onRecord = [&run] { run.engine->end(0); };
    ASSERT_TRUE(run.engine->open());
    run.ports[1]->feed(checksummed("+0001002"));
    run.ports[0]->feed(checksummed("+0002002"));
    run.clock.runPending();
    EXPECT_EQ(count.seen, std::vector<std::string>{"silo 1.00kg"});
    EXPECT_TRUE(broker.seen.empty());
    EXPECT_EQ(run.ended, std::vector<int>{0});
}

TEST(StationEngine, TellsEveryOutletOfAPortLostBackAndGivenUp) {
    for (const bool several : {false, true}) {
        ReadingRun run({station("gate", 1)}, several, 3000);
        FakeOutlet& first = run.add();
        FakeOutlet& second = run.add();
        ASSERT_TRUE(run.engine->open());
        run.ports[0]->unplug();
        run.clock.advance(500);
        run.ports[0]->replug();
        run.clock.advance(500);
        run.ports[0]->unplug();
        run.clock.advance(4000);
        // PortState: 1 open, 2 lost, 3 abandoned. One station given up ends the run instead.
        // The device that went away is named, not what "Com1" finds once it is gone.
        std::vector<std::string> told{
            "0 1 ", "0 2 Com1 (/dev/fake1) is gone; waiting for it to come back", "0 1 ",
            "0 2 Com1 (/dev/fake1) is gone; waiting for it to come back"};
        if (several) {
            told.emplace_back("0 3 Com1 (/dev/fake1) did not come back; it is no longer read");
        }
        EXPECT_EQ(first.ports, told) << several;
        EXPECT_EQ(second.ports, told);
        EXPECT_EQ(run.ended, std::vector<int>{1});
    }
}

}  // namespace
}  // namespace scaleread
