// What scale-read and indicator-sim tell a user who got something wrong: a wrong baud or
// protocol, a silent line, an option mistyped, a file that would be overwritten or mixed.
#include <signal.h>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

class ScaleReadNoteTest : public ReaderFixture {
protected:
    // The errors a run wrote, with a count of bytes (which depends on timing) as "N".
    static std::string counted(const QStringList& lines) {
        QStringList masked = lines;
        for (QString& line : masked) {
            line.replace(QRegularExpression(QStringLiteral(R"(: \d+ bytes in \d s)")),
                         QStringLiteral(": N bytes in 3 s"));
        }
        return joined(masked);
    }
    static QString started(const QString& port, const QString& protocol) {
        return "scale-read: reading " + port + " at 9600,N,8,1, protocol " + protocol;
    }
    static bool write(const QString& file, const QByteArray& content) {
        QFile out(file);
        return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
    }
    static QByteArray read(const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
    }
};

const char kTryDetect[] = "no continuous frame: wrong baud, framing or protocol? try --detect";

TEST_F(ScaleReadNoteTest, WrongBaudOrProtocolGivesOneNoteWithTheBytesHeard) {
    // Both at once, each on its own line.
    const QString wrongBaud = path(QStringLiteral("baud"));
    const QString wrongProtocol = path(QStringLiteral("protocol"));
    SimulatorProcess fast;
    ASSERT_TRUE(fast.start(wrongBaud, {"--settings", "19200,N,8,1", "--line-model"}))
        << fast.errors().toStdString();
    SimulatorProcess shentong;
    ASSERT_TRUE(shentong.start(wrongProtocol, {"--protocol", "shentong"}));
    ReaderProcess readers[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(readers[i].start({"--port", i == 0 ? wrongBaud : wrongProtocol, "--format",
                                      "text", "--duration", "4500"}));
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i == 0 ? "19200 read at 9600" : "shentong read as continuous");
        ASSERT_TRUE(readers[i].waitForExit(10000));
        EXPECT_EQ(readers[i].exitCode(), 0);
        EXPECT_TRUE(readers[i].output().isEmpty()) << readers[i].output().toStdString();
        EXPECT_EQ(counted(readers[i].errorLines()),
                  joined({started(i == 0 ? wrongBaud : wrongProtocol, "continuous"),
                          QStringLiteral("scale-read: N bytes in 3 s, ") + kTryDetect}));
    }
}

TEST_F(ScaleReadNoteTest, SilentLineGivesOneNote) {
    // An indicator that waits to be asked, read as one that sends unasked.
    const QString other = path(QStringLiteral("other"));
    ASSERT_TRUE(sim.start(link(), {"--protocol", "command"}));
    SimulatorProcess second;
    ASSERT_TRUE(second.start(other, {"--protocol", "command"}));
    ReaderProcess reader;
    ASSERT_TRUE(reader.start({"--port", link(), "--duration", "6000"}));
    ReaderProcess quiet;
    ASSERT_TRUE(quiet.start({"--port", other, "--duration", "6000", "--quiet"}));
    ASSERT_TRUE(reader.waitForExit(10000));
    ASSERT_TRUE(quiet.waitForExit(10000));
    EXPECT_EQ(reader.exitCode(), 0);
    EXPECT_EQ(joined(reader.errorLines()),
              joined({started(link(), "continuous"),
                      "scale-read: nothing received in 5 s: check the indicator, the cable and "
                      "--port; one that waits to be asked needs the --protocol of its format (or "
                      "try --detect)"}));
    EXPECT_EQ(quiet.exitCode(), 0);
    EXPECT_TRUE(quiet.errorLines().isEmpty()) << joined(quiet.errorLines());
}

TEST_F(ScaleReadNoteTest, DetectSaysWhatItHeardAndEndsOnSigintWithStatusZero) {
    ASSERT_TRUE(sim.start(link(), {"--protocol", "command", "--drop", "1"}));
    ReaderProcess reader;
    ASSERT_TRUE(reader.start({"--detect", "--port", link()}));
    ASSERT_TRUE(reader.waitForErrorLine(
        "scale-read: listening on " + link() + " at each setting for up to 30 s", 5000));
    reader.signal(SIGINT);
    ASSERT_TRUE(reader.waitForExit(5000));
    EXPECT_EQ(reader.exitCode(), 0);
    EXPECT_EQ(joined(reader.lines()), "not found: the line was silent");
    EXPECT_TRUE(reader.errorLines().last().startsWith("scale-read: interrupted after "))
        << joined(reader.errorLines());
}

TEST_F(ScaleReadNoteTest, MistypedOptionsAndShortForms) {
    const struct {
        QString program;
        QStringList arguments;
        int status;
        QString error;  // empty: standard output starts with `out`
        QString out = {};
    } cases[] = {
        {SCALE_READ_PATH,
         {"--port", "Com1", "--prot", "command"},
         2,
         "scale-read: unknown option --prot (see --help)"},
        {SCALE_READ_PATH, {"--port"}, 2, "scale-read: --port needs a value (see --help)"},
        {SCALE_READ_PATH, {"-h"}, 0, {}, "Usage: scale-read --port PORT"},
        {SCALE_READ_PATH, {"-V"}, 0, {}, "scale-read " SCALE_READOUT_VERSION},
        {INDICATOR_SIM_PATH, {"-V"}, 0, {}, "indicator-sim " SCALE_READOUT_VERSION},
        {INDICATOR_SIM_PATH,
         {"--link", "/proc/self/x/Com1"},
         1,
         "indicator-sim: cannot make the folder /proc/self/x for /proc/self/x/Com1: no such file "
         "or directory"},
        {INDICATOR_SIM_PATH,
         {"--device", "/dev/null"},
         1,
         "indicator-sim: /dev/null is not a serial device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.arguments));
        QProcess process;
        process.start(c.program, c.arguments);
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), c.status);
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString error = QString::fromUtf8(process.readAllStandardError()).trimmed();
        if (c.error.isEmpty()) {
            EXPECT_TRUE(out.startsWith(c.out)) << out.toStdString();
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        } else {
            EXPECT_TRUE(out.isEmpty()) << out.toStdString();
            EXPECT_EQ(error.toStdString(), c.error.toStdString());
        }
    }
}

TEST_F(ScaleReadNoteTest, FilesAreNeitherOverwrittenNorMixedAndMissingOnesEndWithOne) {
    const QString recording = path(QStringLiteral("line.rec"));
    const QByteArray kept =
        "# port=Com1 settings=9600,N,8,1 protocol=shentong "
        "start=2026-12-07T12:00:00.000Z\n"
        "0.000000 3D 35 34 2E 33 32 31 30\n";
    ASSERT_TRUE(write(recording, kept));
    const QString jsonl = path(QStringLiteral("weights.jsonl"));
    ASSERT_TRUE(write(jsonl, "{\"time\":\"2026-12-07T12:00:00.000Z\"}\n"));
    const QString csv = path(QStringLiteral("weights.csv"));
    ASSERT_TRUE(write(csv, "time,port,protocol,weight,text,stable,raw\n"));
    const QString absent = path(QStringLiteral("absent"));
    const struct {
        QStringList arguments;
        int status;
        QStringList errors;
        QString output = {};
    } cases[] = {
        {{"--port", link(), "--record", recording},
         1,
         {"scale-read: the recording " + recording +
          " exists; give --overwrite to replace it, or another name"}},
        {{"--input", recording, "--format", "csv", "--output", jsonl},
         1,
         {"scale-read: " + jsonl +
          " holds jsonl records; give --format jsonl or another "
          "--output"}},
        {{"--input", recording, "--format", "csv", "--errors", "--output", csv},
         1,
         {"scale-read: " + csv +
          " holds csv records with other columns "
          "(time,port,protocol,weight,text,stable,raw); give another --output"}},
        {{"--input", absent},
         1,
         {"scale-read: cannot open the recording " + absent + ": no such file or directory"}},
        {{"--stations", absent},
         1,
         {"scale-read: cannot read the stations file " + absent + ": no such file or directory"}},
        {{"--input", recording, "--format", "text"}, 0, {}, "TIME  Com1  123.45kg\n"},
        {{"--input", recording, "--protocol", "continuous"},
         0,
         {"scale-read: decoding " + recording +
          " as continuous, as --protocol asks; it was recorded as shentong"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.arguments));
        ReaderProcess reader;
        EXPECT_EQ(reader.run(c.arguments, 5000), c.status);
        EXPECT_EQ(joined(withTimesMasked(reader.lines())) + (reader.lines().isEmpty() ? "" : "\n"),
                  c.output.toStdString());
        EXPECT_EQ(joined(reader.errorLines()), joined(c.errors));
    }
    EXPECT_EQ(read(recording), kept);
    EXPECT_EQ(read(csv), "time,port,protocol,weight,text,stable,raw\n");
}

}  // namespace
}  // namespace scale::test
