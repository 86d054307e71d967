// scale-read as a child process reading the indicator simulator through a pseudo-terminal: every
// frame of each protocol as a record, the three formats, which records are written, the ending
// signals, a recording decoded offline, finding the settings, and a recorded session replayed.
#include <signal.h>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <cstdlib>
#include <functional>

#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

using Event = SimulatorProcess::Event;

const QString kRaw25 = QStringLiteral("02 2B 30 30 30 30 32 35 31 31 44 03");  // 2.5 kg

class ScaleReadTest : public ReaderFixture {
protected:
    // The record `form` makes of each write the simulator logged so far, in order.
    static QStringList sent(SimulatorProcess& indicator,
                            const std::function<QString(const Event&)>& form) {
        indicator.collect();
        QStringList records;
        for (const Event& event : indicator.events()) {
            if (event.kind == QLatin1String("tx")) {
                records << form(event);
            }
        }
        return records;
    }
    // The jsonl reading of each intact frame sent, its weight with `decimals` digits.
    QStringList sentReadings(SimulatorProcess& indicator, const QString& protocol, int decimals,
                             bool stable = false) const {
        QStringList readings = sent(indicator, [&](const Event& event) {
            const double weight = event.text.chopped(2).toDouble();
            return event.text == QLatin1String("-")
                       ? QString()
                       : reading(link(), protocol, QString::number(weight, 'f', decimals),
                                 event.text, stable, event.bytes);
        });
        readings.removeAll(QString());
        return readings;
    }
    // `got` is a run of what `sent` gives without a frame left out; the simulator's last lines
    // may come a moment after the reader's. Returns where the run starts in `sent`.
    static qsizetype expectRunOf(const QStringList& got, const std::function<QStringList()>& sent) {
        if (got.isEmpty()) {
            ADD_FAILURE() << "no records";
            return -1;
        }
        QStringList all;
        LiveWindow::waitFor(
            [&] {
                all = sent();
                return all.contains(got.back());
            },
            1000);
        const qsizetype first = all.indexOf(got.front());
        EXPECT_GE(first, 0) << got.front().toStdString() << "\nnot among\n" << joined(all);
        EXPECT_EQ(joined(got), joined(all.mid(first, got.size())));
        return first;
    }
};

TEST_F(ScaleReadTest, EveryFrameOfEachProtocolBecomesOneRecordInOrder) {
    struct Case {
        QString protocol;
        QStringList simulator;
        QStringList reader;
        int decimals;
    };
    // Ramps that do not come round within the run, so that each frame is told apart.
    const Case cases[] = {
        {"continuous", {"--weight", "ramp:-50:50:0.25", "--rate", "50"}, {}, 2},
        // A request 10 ms after each reply: some 30 ms a reading with the reply's 20 ms delay.
        {"command", {"--weight", "ramp:-5:5:0.125"}, {"--poll-interval", "10"}, 3},
        {"shentong", {"--weight", "ramp:-9.5:99.5:0.5", "--decimals", "1", "--rate", "50"}, {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.protocol.toStdString());
        SimulatorProcess indicator;
        ASSERT_TRUE(indicator.start(link(), QStringList{"--protocol", c.protocol} + c.simulator))
            << indicator.errors().toStdString();
        ReaderProcess reader;
        EXPECT_EQ(
            reader.run(
                QStringList{"--port", link(), "--protocol", c.protocol, "--count", "20"} + c.reader,
                5000),
            0);
        const QStringList got = reader.maskedLines();
        EXPECT_EQ(got.size(), 20);
        const qsizetype first =
            expectRunOf(got, [&] { return sentReadings(indicator, c.protocol, c.decimals); });
        if (c.protocol == QLatin1String("command")) {
            EXPECT_EQ(first, 0);  // every reply answers one of the reader's requests
        }
        EXPECT_EQ(joined(reader.errorLines()), "scale-read: reading " + link().toStdString() +
                                                   " at 9600,N,8,1, protocol " +
                                                   c.protocol.toStdString());
    }
}

TEST_F(ScaleReadTest, EachFormatWritesTheWholeRecord) {
    // A port path with a quote and a comma: escaped in JSON, quoted in CSV.
    const QString port = path(QStringLiteral("bay \"2\",left"));
    ASSERT_TRUE(sim.start(port, {"--weight", "fixed:-12.345"})) << sim.errors().toStdString();
    const QString raw = QStringLiteral("02 2D 30 31 32 33 34 35 33 31 46 03");
    const QString jsonPort = QString(port).replace(QStringLiteral("\""), QStringLiteral("\\\""));
    const QString csvPort = QLatin1Char('"') +
                            QString(port).replace(QStringLiteral("\""), QStringLiteral("\"\"")) +
                            QLatin1Char('"');
    const struct {
        QString format;
        QStringList expected;
    } cases[] = {
        {"jsonl", {reading(jsonPort, "continuous", "-12.345", "-12.345kg", false, raw)}},
        {"csv",
         {"time,port,protocol,weight,text,stable,raw,unit,mode,motion,tare",
          "TIME," + csvPort + ",continuous,-12.345,-12.345kg,false," + raw + ",kg,,,"}},
        {"text", {"TIME  " + port + "  -12.345kg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format.toStdString());
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        ReaderProcess reader;
        EXPECT_EQ(reader.run({"--port", port, "--format", c.format, "--count", "1"}, 5000), 0);
        const qint64 after = QDateTime::currentMSecsSinceEpoch();
        EXPECT_EQ(joined(reader.maskedLines()), joined(c.expected));
        // The time is the wall clock's, in UTC, while the reader ran.
        ASSERT_FALSE(reader.times().isEmpty());
        EXPECT_GE(reader.times().back(), before);
        EXPECT_LE(reader.times().back(), after);
    }
}

TEST_F(ScaleReadTest, ErrorsGiveARecordForEveryCorruptFrame) {
    ASSERT_TRUE(sim.start(
        link(), {"--weight", "ramp:0:99.75:0.25", "--rate", "50", "--bad-checksum", "1"}));
    const auto sentAs = [&](const QString& form) {
        return [&, form] { return sent(sim, [&](const Event& e) { return form.arg(e.bytes); }); };
    };
    ReaderProcess jsonl;
    EXPECT_EQ(jsonl.run({"--port", link(), "--errors", "--duration", "500"}, 5000), 0);
    EXPECT_GE(jsonl.lines().size(), 10);
    expectRunOf(jsonl.maskedLines(),
                sentAs(R"({"time":"TIME","port":")" + link() +
                       R"(","protocol":"continuous","error":"checksum","raw":"%1"})"));

    ReaderProcess csv;
    EXPECT_EQ(csv.run({"--port", link(), "--errors", "--format", "csv", "--duration", "300"}, 5000),
              0);
    QStringList rows = csv.maskedLines();
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows.takeFirst(), "time,port,protocol,weight,text,stable,raw,error,unit,mode,motion,tare");
    expectRunOf(rows, sentAs("TIME," + link() + ",continuous,,,,%1,checksum,,,,"));
}

TEST_F(ScaleReadTest, ChangesOnlyWritesAFixedWeightOnce) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:2.5", "--rate", "20"}));
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--port", link(), "--changes-only", "--duration", "800"}, 5000), 0);
    EXPECT_EQ(joined(reader.maskedLines()),
              joined({reading(link(), "continuous", "2.5", "2.5kg", false, kRaw25)}));
}

TEST_F(ScaleReadTest, StableOnlyWritesOnceEachTimeTheWeightSettlesWithinTheBand) {
    const struct {
        QString weight;
        int decimals;
        QString band;
        int records;
    } cases[] = {
        {"fixed:2.5", 1, "1", 1},
        // 1.00 to 1.03 and round again: always within three counts, never for long within one,
        // whichever reading the reader starts at.
        {"ramp:1.00:1.03:0.01", 2, "1", 0},
        {"ramp:1.00:1.03:0.01", 2, "3", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE((c.weight + " band " + c.band).toStdString());
        SimulatorProcess indicator;
        ASSERT_TRUE(indicator.start(link(), {"--weight", c.weight, "--rate", "20"}));
        ReaderProcess reader;
        EXPECT_EQ(reader.run({"--port", link(), "--stable-only", "--stable-band", c.band,
                              "--stable-time", "300", "--duration", "1000"},
                             5000),
                  0);
        const QStringList got = reader.maskedLines();
        EXPECT_EQ(got.size(), c.records) << joined(got);
        const QStringList stableReadings = sentReadings(indicator, "continuous", c.decimals, true);
        for (const QString& line : got) {
            EXPECT_TRUE(stableReadings.contains(line)) << line.toStdString();
        }
    }
}

TEST_F(ScaleReadTest, StableTurnsTrueOnceTheWeightHeldForTheStableTime) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:2.5", "--rate", "50"}));
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--port", link(), "--stable-time", "300", "--duration", "700"}, 5000), 0);
    const QStringList got = reader.maskedLines();
    const QList<qint64> times = reader.times();
    ASSERT_GE(got.size(), 10);
    for (qsizetype i = 0; i < got.size(); ++i) {
        const qint64 held = times[i] - times.front();
        // Stability runs on the steady clock, the record's time on the wall clock: at the
        // boundary they may round apart.
        if (std::abs(held - 300) <= 2) {
            continue;
        }
        EXPECT_EQ(got[i], reading(link(), "continuous", "2.5", "2.5kg", held >= 300, kRaw25))
            << "after " << held << " ms";
    }
    EXPECT_TRUE(got.back().contains(QLatin1String("\"stable\":true"))) << joined(got);
}

TEST_F(ScaleReadTest, OutputFileIsAppendedToWithOneCsvHeader) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:2.5", "--rate", "20"}));
    const QString records = path(QStringLiteral("weights.csv"));
    for (int run = 0; run < 2; ++run) {
        ReaderProcess reader;
        EXPECT_EQ(
            reader.run({"--port", link(), "--format", "csv", "--count", "2", "--output", records},
                       5000),
            0);
        EXPECT_TRUE(reader.output().isEmpty()) << reader.output().toStdString();
    }
    QFile file(records);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    EXPECT_EQ(lines.takeLast(), QString());  // the last line ends too
    const QString row = "TIME," + link() + ",continuous,2.5,2.5kg,false," + kRaw25 + ",kg,,,";
    EXPECT_EQ(joined(withTimesMasked(lines)),
              joined({"time,port,protocol,weight,text,stable,raw,unit,mode,motion,tare", row, row,
                      row, row}));
}

TEST_F(ScaleReadTest, TermAndIntEndTheRunWithStatusZeroAndEveryRecordWhole) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "ramp:0:99.75:0.25", "--rate", "50"}));
    for (const int number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(number);
        ReaderProcess reader;
        ASSERT_TRUE(reader.start({"--port", link()}));
        ASSERT_TRUE(reader.waitForLines(5, 3000));
        reader.signal(number);
        ASSERT_TRUE(reader.waitForExit(3000));
        EXPECT_EQ(reader.exitCode(), 0);
        EXPECT_TRUE(reader.output().endsWith('\n'));
        expectRunOf(reader.maskedLines(), [&] { return sentReadings(sim, "continuous", 2); });
        EXPECT_EQ(joined(reader.errorLines()), "scale-read: reading " + link().toStdString() +
                                                   " at 9600,N,8,1, protocol continuous");
    }
}

TEST_F(ScaleReadTest, RecordingDecodedOfflineGivesTheLiveRecords) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "ramp:0:99.75:0.25", "--rate", "50"}));
    const QString recording = path(QStringLiteral("line.rec"));
    ReaderProcess live;
    EXPECT_EQ(live.run({"--port", link(), "--record", recording, "--duration", "800"}, 5000), 0);
    ReaderProcess offline;
    EXPECT_EQ(offline.run({"--input", recording}, 5000), 0);

    ASSERT_GE(live.lines().size(), 10);
    EXPECT_EQ(joined(offline.maskedLines()), joined(live.maskedLines()));
    // Offline a time is the recording's start plus the read's offset on the steady clock; live
    // it is the wall clock at the read. The two may round a millisecond apart.
    const QList<qint64> liveTimes = live.times();
    const QList<qint64> offlineTimes = offline.times();
    ASSERT_EQ(offlineTimes.size(), liveTimes.size());
    for (qsizetype i = 0; i < liveTimes.size(); ++i) {
        EXPECT_LE(std::abs(offlineTimes[i] - liveTimes[i]), 1) << "record " << i;
    }

    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString header = QString::fromUtf8(file.readLine()).trimmed();
    EXPECT_EQ(withTimesMasked({header}).front(),
              "# port=" + link() + " settings=9600,N,8,1 protocol=continuous start=TIME");
    EXPECT_LE(std::abs(recordTimes({header}).front() - liveTimes.front()), 1);
}

TEST_F(ScaleReadTest, DetectFindsAContinuousIndicatorAt9600) {
    ASSERT_TRUE(sim.start(link(), {}));
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--detect", "--port", link()}, 10000), 0);
    ASSERT_FALSE(reader.lines().isEmpty());
    EXPECT_EQ(reader.lines().back(), "found: --settings 9600,N,8,1 --protocol continuous");
    const QStringList notes = reader.errorLines();
    ASSERT_EQ(notes.size(), 2) << joined(notes);
    EXPECT_EQ(notes[0], "scale-read: listening on " + link() + " at each setting for up to 30 s");
    // Found at the first setting, well within its share of the sweep.
    EXPECT_TRUE(QRegularExpression(R"(^scale-read: listened at 1 setting in \d+\.\d s$)")
                    .match(notes[1])
                    .hasMatch())
        << joined(notes);
}

TEST_F(ScaleReadTest, DetectFindsShenTongAt19200OnAModelledLine) {
    // The simulator delivers what the reader's settings would make of a 19200 baud line.
    ASSERT_TRUE(
        sim.start(link(), {"--protocol", "shentong", "--settings", "19200,N,8,1", "--line-model"}))
        << sim.errors().toStdString();
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--detect", "--port", link()}, 10000), 0);
    ASSERT_FALSE(reader.lines().isEmpty());
    EXPECT_EQ(reader.lines().back(), "found: --settings 19200,N,8,1 --protocol shentong");
}

TEST_F(ScaleReadTest, DetectReportsNotFoundWhenNothingAnswers) {
    // The whole sweep: on a pseudo-terminal only 8N1 applies, thirteen rates in some 6 s.
    ASSERT_TRUE(sim.start(link(), {"--protocol", "command", "--drop", "1"}));
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--detect", "--port", link()}, 20000), 1);
    ASSERT_FALSE(reader.lines().isEmpty());
    EXPECT_EQ(reader.lines().back(), "not found: the line was silent");
}

// Writes the recording `from` to `to` for a replay: every read `leadIn` seconds later, since a
// replay starts as its line comes up, before any reader has opened it. The replay hangs up as
// soon as its last read is taken, so the reader must keep what came just before a hang-up.
bool writeForReplay(const QString& from, const QString& to, double leadIn) {
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        return false;
    }
    double at = 0;
    for (const QByteArray& line : in.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (line.startsWith('#')) {
            out.write(line + '\n');
        } else if (space > 0) {
            at = line.left(space).toDouble() + leadIn;
            out.write(QByteArray::number(at, 'f', 6) + line.mid(space) + '\n');
        }
    }
    return true;
}

QStringList textsOf(const QStringList& readings) {
    static const QRegularExpression text(QStringLiteral(R"re("text":"([^"]*)")re"));
    QStringList texts;
    for (const QString& line : readings) {
        texts << text.match(line).captured(1);
    }
    return texts;
}

TEST_F(ScaleReadTest, ReplayedSessionGivesTheReaderAndTheWindowTheRecordedWeights) {
    const QString recording = path(QStringLiteral("session.rec"));
    QStringList recorded;
    {
        SimulatorProcess indicator;
        ASSERT_TRUE(indicator.start(link(), {"--weight", "ramp:0:9.75:0.25", "--rate", "20"}));
        ReaderProcess recorder;
        EXPECT_EQ(
            recorder.run({"--port", link(), "--record", recording, "--duration", "600"}, 5000), 0);
        recorded = recorder.maskedLines();
    }
    ASSERT_GE(recorded.size(), 6);
    const QString delayed = path(QStringLiteral("delayed.rec"));
    ASSERT_TRUE(writeForReplay(recording, delayed, 1.5));

    {
        SimulatorProcess replay;
        ASSERT_TRUE(replay.start(link(), {"--replay", delayed})) << replay.errors().toStdString();
        ReaderProcess reader;
        EXPECT_EQ(reader.run({"--port", link(), "--count", QString::number(recorded.size())}, 5000),
                  0);
        EXPECT_EQ(joined(reader.maskedLines()), joined(recorded));
    }

    LiveWindow live;
    SimulatorProcess replay;
    ASSERT_TRUE(replay.start(live.portLink(), {"--replay", delayed}))
        << replay.errors().toStdString();
    live.writeSettings(4, 0);
    live.start();
    const QStringList weights = textsOf(recorded);
    QStringList shown;
    LiveWindow::waitFor(
        [&] {
            const QString caption = live.window.readoutCaption();
            if (caption != QLatin1String("Load...") &&
                (shown.isEmpty() || shown.back() != caption)) {
                shown << caption;
            }
            return !shown.isEmpty() && weights.indexOf(shown.back()) >= weights.size() - 2;
        },
        3000);
    // The window reads two frames' worth at a time and shows the first whole frame in them, so
    // it shows every other weight, or fewer when a read comes late: at least a third of them,
    // each a recorded one, in the recorded order.
    EXPECT_GE(shown.size(), weights.size() / 3) << joined(shown);
    qsizetype next = 0;
    for (const QString& weight : shown) {
        next = weights.indexOf(weight, next);
        ASSERT_GE(next, 0) << weight.toStdString() << " out of order in\n" << joined(shown);
        ++next;
    }
}

}  // namespace
}  // namespace scale::test
