// scale-read --detect against the simulator's modelled line: every built-in format and a user's
// polled one found at a rate other than 9600, and nothing sent to any of them but read requests.
#include <QFile>
#include <QSet>

#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

class DetectFormatsTest : public ReaderFixture {
protected:
    // What the simulator heard, as "FORMAT REQUEST" texts ("" for the command mode's request).
    static QSet<QString> requestsHeard(SimulatorProcess& simulator) {
        simulator.collect();
        QSet<QString> heard;
        for (const SimulatorProcess::Event& event : simulator.events()) {
            if (event.kind == QLatin1String("request")) {
                heard << event.text;
            }
        }
        return heard;
    }

    static QString sorted(const QSet<QString>& texts) {
        QStringList list(texts.begin(), texts.end());
        list.sort();
        return list.join(QStringLiteral(" | "));
    }
};

TEST_F(DetectFormatsTest, FindsEveryBuiltInFormatAt19200AskingOnlyForTheWeight) {
    // Pseudo-terminals take 8N1 only, so another baud stands for another setting here.
    QSet<QString> requests;
    for (const char* format : {"continuous", "command", "shentong", "toledo", "sics", "ad", "sbi",
                               "sma", "rice-lake", "cardinal", "weigh-tronix", "8217"}) {
        SCOPED_TRACE(format);
        SimulatorProcess simulator;
        const QString line = path(QStringLiteral("line-") + QLatin1String(format));
        ASSERT_TRUE(simulator.start(
            line, {"--protocol", format, "--settings", "19200,N,8,1", "--line-model"}))
            << simulator.errors().toStdString();
        ReaderProcess reader;
        EXPECT_EQ(reader.run({"--detect", "--port", line, "--station-line", "bay-1"}, 20000), 0);
        const QStringList lines = reader.lines();
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(joined(lines.mid(lines.size() - 2)),
                  joined({QStringLiteral("found: --settings 19200,N,8,1 --protocol ") + format,
                          "bay-1=" + line + ",19200,N,8,1," + format}));
        requests += requestsHeard(simulator);
    }
    // Each format's read request, and the other formats' requests as the sics and ad
    // indicators read them, whole; never a zero, a tare or a command glued from two requests.
    EXPECT_EQ(
        sorted(requests).toStdString(),
        " | 8217 W | ad unknown SI | ad unknown W | sbi ESC P | sics SI | sics unknown W | sma W");
}

TEST_F(DetectFormatsTest, FindsAUsersPolledFormatAndNamesItsFile) {
    const QString formats = path(QStringLiteral("plant.toml"));
    QFile file(formats);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "[[format]]\n"
        "name = \"silo-poll\"\n"
        "start = \"\\u0002\"\n"
        "terminator = \"\\u0003\"\n"
        "pattern = '(?<value>-?\\d+\\.\\d+)'\n"
        "unit = \"t\"\n"
        "request = \"\\u0005\"\n"
        "zero = \"Z\"\n"
        "send = \"\\u0002{sign:}{value}\\u0003\"\n");
    file.close();
    ASSERT_TRUE(sim.start(link(), {"--formats", formats, "--protocol", "silo-poll", "--settings",
                                   "4800,N,8,1", "--line-model"}))
        << sim.errors().toStdString();
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--detect", "--port", link(), "--formats", formats}, 20000), 0);
    ASSERT_FALSE(reader.lines().isEmpty());
    EXPECT_EQ(reader.lines().back(),
              "found: --settings 4800,N,8,1 --protocol silo-poll --formats " + formats);
    const QSet<QString> requests = requestsHeard(sim);
    EXPECT_FALSE(requests.contains(QStringLiteral("silo-poll Z")))
        << sorted(requests).toStdString();
}

}  // namespace
}  // namespace scale::test
