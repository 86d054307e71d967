// scale-read publishing to a real mosquitto broker on loopback: two simulated stations, retained
// stable weights, the broker's last will, a broker that goes away and comes back, an unplugged
// station, and commands from the topic, honest and not.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFileInfo>
#include <QHostInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "brokerprocess.h"
#include "subscriberprocess.h"
#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/readerprocess.h"
#include "tests/e2e/harness/simulatorprocess.h"

namespace scale::test {
namespace {

using Message = SubscriberProcess::Message;

QString masked(QString payload) {
    static const QRegularExpression time(QStringLiteral(R"("time":"[^"]*")"));
    return payload.replace(time, QStringLiteral(R"("time":TIME)"));
}

// The reader, quiet: the broker's lines are what these tests read, not the notes on the ports.
class Reader : public ReaderProcess {
public:
    bool start(const QStringList& arguments) {
        return ReaderProcess::start(QStringList{"--quiet"} + arguments);
    }
    QString errors() { return errorText(); }
};

QStringList lines(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
               : QStringList();
}

auto on(const QString& topic, const QString& payload = {}) {
    return [topic, payload](const Message& message) {
        return message.topic == topic && (payload.isEmpty() || message.payload == payload);
    };
}

class BrokerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!broker.start()) {
            GTEST_SKIP() << "no mosquitto broker to start";
        }
    }
    QString link(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    BrokerProcess broker;
};

TEST_F(BrokerTest, TwoStationsPublishUnderTheirTopicsAndAKilledReaderIsReportedOffline) {
    SimulatorProcess gate;
    SimulatorProcess silo;
    ASSERT_TRUE(gate.start(link("gate"), {"--weight", "fixed:1.5"}));
    ASSERT_TRUE(silo.start(link("silo"), {"--protocol", "command", "--weight", "fixed:-2.25"}));
    SubscriberProcess all;
    ASSERT_TRUE(all.start(broker.port(), "plant/#"));
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "gate=" + link("gate") + ",continuous", "--station",
                              "silo=" + link("silo") + ",9600,N,8,1,command", "--mqtt",
                              broker.url(), "--mqtt-prefix", "plant"}));

    ASSERT_TRUE(all.waitFor(on("plant/gate/stable"), 5000)) << reader.errors().toStdString();
    ASSERT_TRUE(all.waitFor(on("plant/silo/stable"), 5000));
    EXPECT_EQ(all.payloads("plant/gate/status"), QStringList{"online"});
    EXPECT_EQ(all.payloads("plant/silo/status"), QStringList{"online"});
    const QString gateReading =
        R"({"time":TIME,"station":"gate","port":")" + link("gate") +
        R"(","protocol":"continuous","weight":1.5,"text":"1.5kg","stable":%1,"raw":"02 2B 30 30 30 30 31 35 31 31 45 03","unit":"kg"})";
    const QString siloReading =
        R"({"time":TIME,"station":"silo","port":")" + link("silo") +
        R"(","protocol":"command","weight":-2.25,"text":"-2.25kg","stable":%1,"raw":"02 41 42 2D 30 30 30 32 32 35 32 31 39 03","unit":"kg"})";
    EXPECT_EQ(masked(all.payloads("plant/gate/reading").first()), gateReading.arg("false"));
    EXPECT_EQ(masked(all.payloads("plant/silo/reading").first()), siloReading.arg("false"));
    EXPECT_EQ(masked(all.payloads("plant/gate/stable").first()), gateReading.arg("true"));
    // Once: a weight that stays put becomes stable once.
    EXPECT_EQ(all.payloads("plant/silo/stable").size(), 1);

    // A subscriber that comes later gets the last stable weight at once, retained.
    SubscriberProcess later;
    ASSERT_TRUE(later.start(broker.port(), "plant/silo/stable"));
    ASSERT_TRUE(later.waitFor(on("plant/silo/stable"), 3000));
    EXPECT_TRUE(later.messages().front().retained);
    EXPECT_EQ(masked(later.messages().front().payload), siloReading.arg("true"));

    // Killed, the reader says nothing more; the broker publishes its last will.
    reader.signal(SIGKILL);
    EXPECT_TRUE(all.waitFor(on("plant/gate/status", "offline"), 5000));
    EXPECT_TRUE(all.waitFor(on("plant/silo/status", "offline"), 5000));
}

// At the full rate several readings come between two turns of the reader's event loop and leave
// together: each still reaches the broker, in order, up to the last one before a stop.
TEST_F(BrokerTest, AtTheFullRateEveryReadingReachesTheBrokerInOrderUpToTheStop) {
    SimulatorProcess scale;
    ASSERT_TRUE(scale.start(link("a"), {"--baud", "256000", "--rate", "1000000", "--weight",
                                        "ramp:0:9999.99:0.01"}));
    SubscriberProcess all;
    ASSERT_TRUE(all.start(broker.port(), "plant/a/reading"));
    const QString records = folder.filePath("records.jsonl");
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "a=" + link("a") + ",continuous",
                              "--output", records, "--mqtt", broker.url(), "--mqtt-prefix",
                              "plant"}));
    ASSERT_TRUE(all.waitFor([&](const Message&) { return all.messages().size() >= 500; }, 10000))
        << reader.errors().toStdString();
    reader.signal(SIGTERM);
    ASSERT_TRUE(reader.waitForExit(5000));
    const QStringList kept = lines(records);
    ASSERT_FALSE(kept.isEmpty());
    ASSERT_TRUE(all.waitFor(on("plant/a/reading", kept.last()), 3000));

    // Readings before the connection are not published: the broker's are the file's last ones.
    const QStringList published = all.payloads("plant/a/reading");
    ASSERT_GE(kept.size(), published.size());
    EXPECT_EQ(kept.mid(kept.size() - published.size()), published);
}

TEST_F(BrokerTest, StableWeightsFromWhileTheBrokerWasAwayArriveInOrderOnce) {
    SimulatorProcess scale;
    // A walk that settles now and then: a new stable weight every second or two.
    ASSERT_TRUE(scale.start(link("scale"), {"--weight", "walk:5:20", "--rate", "20"}));
    // A subscriber whose session the broker keeps (and saves on its way down), so that it misses
    // nothing it was sent while one of them was away.
    {
        SubscriberProcess first;
        ASSERT_TRUE(first.start(broker.port(), "scale-readout/+/stable", "keeper"));
    }
    SubscriberProcess keeper;
    ASSERT_TRUE(keeper.start(broker.port(), "scale-readout/+/stable", "keeper"));
    Reader reader;
    const QString local = folder.filePath("stable.jsonl");
    ASSERT_TRUE(reader.start({"--station", "w=" + link("scale") + ",continuous", "--mqtt",
                              broker.url(), "--stable-only", "--stable-time", "150", "--output",
                              local}));
    const auto localLines = [&] { return lines(local); };
    const auto live = [&] { return keeper.payloads("scale-readout/w/stable", false); };
    // Stopped while nothing is on its way: QoS 1 may deliver a message twice that the broker
    // took but had not acknowledged when it died, and that is not what this test is about.
    ASSERT_TRUE(LiveWindow::waitFor(
        [&] { return localLines().size() >= 2 && live().size() == localLines().size(); },
        10000));
    LiveWindow::waitFor([] { return false; }, 200);
    broker.stop();
    const int before = static_cast<int>(localLines().size());
    LiveWindow::waitFor([] { return false; }, 5000);
    const int during = static_cast<int>(localLines().size()) - before;
    ASSERT_TRUE(broker.start());
    // The reader tries again after 1, 2, 4 ... s; then what it kept goes out, and more follows.
    ASSERT_TRUE(
        LiveWindow::waitFor([&] { return live().size() >= before + during + 1; }, 20000));
    reader.signal(SIGTERM);
    ASSERT_TRUE(reader.waitForExit(5000));
    LiveWindow::waitFor([&] { return live().size() == localLines().size(); }, 2000);

    EXPECT_GE(during, 1) << "no stable weight fell in the broker's absence";
    // What the subscriber was sent live, in order, is exactly what the reader wrote; the
    // retained copies it is given on each new subscription are not part of that.
    EXPECT_EQ(live().join('\n').toStdString(), localLines().join('\n').toStdString());
    // One note when it went, one when it was back, whatever the count kept.
    const QString address = "127.0.0.1:" + QString::number(broker.port());
    EXPECT_EQ(reader.errors().replace(QRegularExpression("publishing [0-9]+ "), "publishing N "),
              "scale-read: the broker at " + address +
                  " is gone; keeping stable weights until it is back\n"
                  "scale-read: the broker at " +
                  address + " is back; publishing N stable weights kept meanwhile\n");
}

TEST_F(BrokerTest, AnUnpluggedStationReportsPortLostWhileTheOtherPublishes) {
    SimulatorProcess a;
    SimulatorProcess b;
    ASSERT_TRUE(a.start(link("a"), {"--weight", "fixed:3"}));
    ASSERT_TRUE(b.start(link("b"), {"--weight", "fixed:4"}));
    SubscriberProcess all;
    ASSERT_TRUE(all.start(broker.port(), "scale-readout/#"));
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "a=" + link("a") + ",continuous", "--station",
                              "b=" + link("b") + ",continuous", "--mqtt", broker.url()}));
    // b's stable weight is out before its cable is pulled.
    ASSERT_TRUE(all.waitFor(on("scale-readout/b/stable"), 5000)) << reader.errors().toStdString();
    b.unplug();
    ASSERT_TRUE(all.waitFor(on("scale-readout/b/status", "port-lost"), 5000))
        << reader.errors().toStdString();
    // Its last stable weight is no longer handed to those who come now: the broker was told to
    // forget it with an empty retained message.
    ASSERT_TRUE(all.waitFor(
        [](const Message& m) { return m.topic == "scale-readout/b/stable" && m.payload.isEmpty(); },
        3000));
    EXPECT_EQ(all.payloads("scale-readout/b/stable").size(), 2);  // the weight, then the clearing
    SubscriberProcess later;
    ASSERT_TRUE(later.start(broker.port(), "scale-readout/+/stable"));
    ASSERT_TRUE(later.waitFor(on("scale-readout/a/stable"), 3000));
    EXPECT_TRUE(later.payloads("scale-readout/b/stable").isEmpty());
    const auto readingsOfA = [&] { return all.payloads("scale-readout/a/reading").size(); };
    const qsizetype atLoss = readingsOfA();
    ASSERT_TRUE(LiveWindow::waitFor([&] { return readingsOfA() >= atLoss + 5; }, 3000));

    SimulatorProcess back;
    ASSERT_TRUE(back.start(link("b"), {"--weight", "fixed:4"}));
    ASSERT_TRUE(all.waitFor(on("scale-readout/b/status", "online"), 5000));
    const qsizetype readingsOfB = all.payloads("scale-readout/b/reading").size();
    EXPECT_TRUE(LiveWindow::waitFor(
        [&] { return all.payloads("scale-readout/b/reading").size() > readingsOfB; }, 3000));
    EXPECT_EQ(all.payloads("scale-readout/b/status"),
              (QStringList{"online", "port-lost", "online"}));
}

TEST_F(BrokerTest, WithNoBrokerTheReaderKeepsAFewStableWeightsAndEndsOnTime) {
    SimulatorProcess scale;
    ASSERT_TRUE(scale.start(link("scale"), {"--weight", "walk:5:20", "--rate", "20"}));
    Reader reader;
    // Nothing listens on port 1 of the loopback.
    ASSERT_TRUE(reader.start({"--station", "w=" + link("scale") + ",continuous", "--mqtt",
                              "mqtt://127.0.0.1:1", "--mqtt-queue", "1", "--stable-time", "150",
                              "--duration", "6000"}));
    ASSERT_TRUE(reader.waitForExit(9000));
    const QString errors = reader.errors();
    EXPECT_TRUE(errors.contains("station w: 1 stable weights not published, the broker being "
                                "away at the end"))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(QRegularExpression(
        "station w: [1-9][0-9]* stable weights dropped while the broker was away \\(the queue "
        "holds 1\\)")))
        << errors.toStdString();
}

// mosquitto_pub at QoS 1: a command for a station.
bool publish(int port, const QString& topic, const QString& payload) {
    return QProcess::execute(QStringLiteral("mosquitto_pub"),
                             {"-h", "127.0.0.1", "-p", QString::number(port), "-q", "1", "-t",
                              topic, "-m", payload}) == 0;
}

// The commands the simulator took for its own format (its polls left out).
QStringList commandsTaken(SimulatorProcess& indicator, const QString& format) {
    indicator.collect();
    QStringList taken;
    for (const SimulatorProcess::Event& event : indicator.events()) {
        if (event.kind == QLatin1String("request") && event.text.startsWith(format + ' ') &&
            event.text != format + QStringLiteral(" SI")) {
            taken << event.text;
        }
    }
    return taken;
}

TEST_F(BrokerTest, CommandsFromTheTopicAreAnsweredWithTheirIdOnlyWhenAllowed) {
    SimulatorProcess allowed;
    SimulatorProcess closed;
    ASSERT_TRUE(allowed.start(link("a"), {"--protocol", "sics", "--weight", "fixed:12.345",
                                          "--refuse", "tare"}));
    ASSERT_TRUE(closed.start(link("c"), {"--protocol", "sics", "--weight", "fixed:12.345"}));
    SubscriberProcess all;
    ASSERT_TRUE(all.start(broker.port(), "plant/+/+/#"));
    SubscriberProcess status;
    ASSERT_TRUE(status.start(broker.port(), "plant/+/status"));
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "a=" + link("a") + ",sics", "--mqtt", broker.url(),
                              "--mqtt-prefix", "plant", "--allow-commands"}));
    Reader without;
    ASSERT_TRUE(without.start({"--station", "c=" + link("c") + ",sics", "--mqtt", broker.url(),
                               "--mqtt-prefix", "plant"}));
    ASSERT_TRUE(status.waitFor(on("plant/a/status", "online"), 5000));
    ASSERT_TRUE(status.waitFor(on("plant/c/status", "online"), 5000));

    ASSERT_TRUE(publish(broker.port(), "plant/a/command", R"({"command":"zero","id":"r-1"})"));
    ASSERT_TRUE(all.waitFor(on("plant/a/command/result"), 5000)) << reader.errors().toStdString();
    ASSERT_TRUE(publish(broker.port(), "plant/a/command", "tare"));
    ASSERT_TRUE(LiveWindow::waitFor(
        [&] { return all.payloads("plant/a/command/result").size() >= 2; }, 5000));
    ASSERT_TRUE(publish(broker.port(), "plant/a/command", R"({"command":"reboot","id":7})"));
    ASSERT_TRUE(publish(broker.port(), "plant/c/command", "zero"));
    ASSERT_TRUE(LiveWindow::waitFor(
        [&] { return all.payloads("plant/a/command/result").size() >= 3; }, 5000));
    LiveWindow::waitFor([] { return false; }, 500);  // time for a wrong answer to come

    const QString head = R"({"time":TIME,"station":"a","port":")" + link("a") +
                         R"(","protocol":"sics",)";
    QStringList results;
    for (const QString& payload : all.payloads("plant/a/command/result")) {
        results << masked(payload);
    }
    const QStringList expected{
        head + R"("command":"zero","id":"r-1","result":"done","text":"Z A"})",
        head + R"("command":"tare","result":"refused","text":"T I"})",
        head + R"("command":"reboot","id":7,"result":"unsupported","text":)"
               R"("expected zero, tare, clear-tare or {\"command\":\"zero\",\"id\":…}"})"};
    EXPECT_EQ(results.join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_FALSE(all.messages().back().retained);
    EXPECT_EQ(commandsTaken(allowed, "sics"), (QStringList{"sics Z", "sics T"}));
    // Without --allow-commands the topic is not even listened to.
    EXPECT_TRUE(all.payloads("plant/c/command/result").isEmpty());
    EXPECT_TRUE(commandsTaken(closed, "sics").isEmpty());
}

// The results on plant/a/command/result, their times masked.
QStringList resultsOf(SubscriberProcess& subscriber) {
    QStringList results;
    for (const QString& payload : subscriber.payloads("plant/a/command/result")) {
        results << masked(payload);
    }
    return results;
}

TEST_F(BrokerTest, ABurstOfCommandsIsAnsweredBusyBeyondOneWaitingWhileReadingGoesOn) {
    broker.stop();
    broker.configure(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                    "max_queued_messages 20000\n")
                         .arg(broker.port()));
    ASSERT_TRUE(broker.start());
    SimulatorProcess indicator;
    ASSERT_TRUE(indicator.start(link("a"), {"--protocol", "sics", "--weight", "fixed:12.345"}));
    SubscriberProcess all;
    ASSERT_TRUE(all.start(broker.port(), "plant/a/#"));
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "a=" + link("a") + ",sics", "--mqtt", broker.url(),
                              "--mqtt-prefix", "plant", "--allow-commands"}));
    ASSERT_TRUE(all.waitFor(on("plant/a/status", "online"), 5000));

    // 5,000 zeros, one a line, as fast as one client sends them; the broker queues them all.
    QProcess burst;
    burst.start(QStringLiteral("mosquitto_pub"),
                {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-q", "1", "-t",
                 "plant/a/command", "-l"});
    ASSERT_TRUE(burst.waitForStarted(5000));
    burst.write(QByteArray("zero\n").repeated(5000));
    burst.closeWriteChannel();
    ASSERT_TRUE(burst.waitForFinished(20000));
    const qsizetype readings = all.payloads("plant/a/reading").size();
    ASSERT_TRUE(LiveWindow::waitFor([&] { return resultsOf(all).size() >= 5000; }, 20000))
        << resultsOf(all).size();
    // The indicator is read on at its pace (a poll each 100 ms and its reply).
    EXPECT_TRUE(LiveWindow::waitFor(
        [&] { return all.payloads("plant/a/reading").size() >= readings + 10; }, 3000));

    // Each zero sent was answered done, the rest busy at once: one ran while one waited, the
    // next got in only as the burst went on arriving (with the broker handing over 20 messages
    // at a time), and a poll's reading came between each two.
    const QString head = R"({"time":TIME,"station":"a","port":")" + link("a") +
                         R"(","protocol":"sics","command":"zero",)";
    const QStringList results = resultsOf(all);
    const qsizetype sent = commandsTaken(indicator, "sics").size();
    EXPECT_GE(sent, 2);
    EXPECT_LE(sent, 20);
    EXPECT_EQ(results.count(head + R"("result":"done","text":"Z A"})"), sent);
    EXPECT_EQ(results.count(head + R"("result":"busy"})"), 5000 - sent);
    QString sequence;  // Z a command, S a poll, r what the indicator sent
    for (const SimulatorProcess::Event& event : indicator.events()) {
        if (event.kind == QLatin1String("tx")) {
            sequence += 'r';
        } else if (event.kind == QLatin1String("request")) {
            sequence += event.text == QLatin1String("sics Z") ? 'Z' : 'S';
        }
    }
    const QStringList betweenZeros = sequence.split('Z').mid(1, sent - 1);
    for (const QString& between : betweenZeros) {
        EXPECT_TRUE(between.contains("Sr")) << sequence.toStdString();
    }
    // Nothing was kept back to go out later.
    LiveWindow::waitFor([] { return false; }, 2500);
    EXPECT_EQ(commandsTaken(indicator, "sics").size(), sent);
}

TEST_F(BrokerTest, RetainedLongAndOddCommandMessagesAreRefusedUnsentAndNotEchoed) {
    SimulatorProcess indicator;
    ASSERT_TRUE(indicator.start(link("a"), {"--protocol", "sics", "--weight", "fixed:12.345"}));
    // Left on the topic from before: a restart must not tare the scale.
    ASSERT_EQ(QProcess::execute(QStringLiteral("mosquitto_pub"),
                                {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-q",
                                 "1", "-r", "-t", "plant/a/command", "-m", "tare"}),
              0);
    SubscriberProcess all;
    ASSERT_TRUE(all.start(broker.port(), "plant/a/command/result"));
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "a=" + link("a") + ",sics", "--mqtt", broker.url(),
                              "--mqtt-prefix", "plant", "--allow-commands"}));
    ASSERT_TRUE(LiveWindow::waitFor([&] { return resultsOf(all).size() >= 1; }, 5000))
        << reader.errors().toStdString();

    // A few MB, read as far as the limit only; an id of 65 characters.
    const QString big = folder.filePath("big.json");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({"command":"zero","id":")" + QByteArray(4 << 20, 'x') + R"("})");
    }
    ASSERT_EQ(QProcess::execute(QStringLiteral("mosquitto_pub"),
                                {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-q",
                                 "1", "-t", "plant/a/command", "-f", big}),
              0);
    ASSERT_TRUE(publish(broker.port(), "plant/a/command",
                        R"({"command":"zero","id":")" + QString(65, 'y') + R"("})"));
    ASSERT_TRUE(LiveWindow::waitFor([&] { return resultsOf(all).size() >= 3; }, 5000));
    LiveWindow::waitFor([] { return false; }, 500);  // time for a wrong command to go out

    const QString head = R"({"time":TIME,"station":"a","port":")" + link("a") +
                         R"(","protocol":"sics",)";
    const QStringList expected{
        head + R"("command":"tare","result":"refused","text":"a retained message is not taken )"
               R"(as a command"})",
        head + R"("command":"","result":"refused","text":"the message is over 4096 bytes"})",
        head + R"("command":"","result":"refused","text":"the id is a number or up to 64 )"
               R"(printable ASCII characters"})"};
    EXPECT_EQ(resultsOf(all).join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_TRUE(commandsTaken(indicator, "sics").isEmpty());
    // Each kind noted once, however many come.
    const QString errors = reader.errors();
    EXPECT_EQ(errors.count("is ignored"), 1) << errors.toStdString();
    EXPECT_EQ(errors.count("a command message refused"), 1) << errors.toStdString();
}

TEST_F(BrokerTest, AClientTakingTheReadersIdIsNotToldOfOnceAFlap) {
    SimulatorProcess indicator;
    ASSERT_TRUE(indicator.start(link("a"), {"--weight", "fixed:1"}));
    SubscriberProcess status;
    ASSERT_TRUE(status.start(broker.port(), "scale-readout/a/status"));
    Reader reader;
    ASSERT_TRUE(reader.start({"--station", "a=" + link("a") + ",continuous", "--mqtt",
                              broker.url()}));
    ASSERT_TRUE(status.waitFor(on("scale-readout/a/status", "online"), 5000));
    // Host and station, and a random part no other client can guess, kept beside the program
    // (the test's is a portable copy).
    QFile keyFile(QFileInfo(QStringLiteral(SCALE_READ_PATH)).dir().filePath("mqtt-client-key"));
    ASSERT_TRUE(keyFile.open(QIODevice::ReadOnly));
    const QString key = QString::fromLatin1(keyFile.readAll()).trimmed();
    ASSERT_TRUE(QRegularExpression("^[0-9a-f]{16}$").match(key).hasMatch()) << key.toStdString();
    const QString id = "scale-read-" + QHostInfo::localHostName() + "-a-" + key;

    // Another client with the reader's id, again and again: each connection pushes the other off.
    for (int round = 0; round < 8; ++round) {
        QProcess thief;
        thief.start(QStringLiteral("mosquitto_sub"), {"-h", "127.0.0.1", "-p",
                                                      QString::number(broker.port()), "-i", id,
                                                      "-t", "nothing"});
        LiveWindow::waitFor([] { return false; }, 1200);
        thief.kill();
        thief.waitForFinished(2000);
    }
    ASSERT_TRUE(status.waitFor(on("scale-readout/a/status", "online"), 5000));
    // "online" again after each time it was pushed off.
    EXPECT_GE(status.payloads("scale-readout/a/status").count("online"), 6);
    const QStringList notes = reader.errors().split('\n', Qt::SkipEmptyParts);
    EXPECT_LE(notes.size(), 2) << reader.errors().toStdString();
}

}  // namespace
}  // namespace scale::test
