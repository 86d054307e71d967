// scale-read when its line goes away and comes back or does not, when the port is missing, and
// when the command line is wrong: the notes on standard error and the exit status.
#include <signal.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

class ScaleReadFaultTest : public ReaderFixture {};

TEST_F(ScaleReadFaultTest, ReadingGoesOnWhenTheDeviceComesBack) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:1.5"}));
    ReaderProcess reader;
    ASSERT_TRUE(reader.start({"--port", link(), "--changes-only", "--reconnect-timeout", "10"}));
    ASSERT_TRUE(reader.waitForLines(1, 5000)) << joined(reader.errorLines());
    sim.unplug();
    const QString gone = "scale-read: " + link() + " is gone; waiting for it to come back";
    ASSERT_TRUE(reader.waitForErrorLine(gone, 3000)) << joined(reader.errorLines());
    // Gone for good before the next one links the same path, which the first removes on exit.
    ASSERT_TRUE(sim.waitForExit(3000));
    SimulatorProcess again;
    ASSERT_TRUE(again.start(link(), {"--weight", "fixed:2.5"}));
    EXPECT_TRUE(reader.waitForLines(2, 3000));
    reader.signal(SIGTERM);
    ASSERT_TRUE(reader.waitForExit(3000));

    EXPECT_EQ(reader.exitCode(), 0);
    EXPECT_EQ(joined(reader.maskedLines()),
              joined({reading(link(), "continuous", "1.5", "1.5kg", false,
                              "02 2B 30 30 30 30 31 35 31 31 45 03"),
                      reading(link(), "continuous", "2.5", "2.5kg", false,
                              "02 2B 30 30 30 30 32 35 31 31 44 03")}));
    EXPECT_EQ(joined(reader.errorLines()),
              joined({"scale-read: reading " + link() + " at 9600,N,8,1, protocol continuous", gone,
                      "scale-read: " + link() + " is back; reading again"}));
}

TEST_F(ScaleReadFaultTest, ComPortNotBackWithinTheReconnectTimeoutEndsWithStatusOne) {
    // A copy of the program in a folder of its own, whose ports/Com1 the simulator links.
    const QString program = path(QStringLiteral("bin/scale-read"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("bin"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(SCALE_READ_PATH), program));
    const QString com1 = path(QStringLiteral("bin/ports/Com1"));
    ASSERT_TRUE(sim.start(com1, {"--weight", "fixed:1.5"}));
    const QString label = "Com1 (" + QFileInfo(com1).symLinkTarget() + ")";

    ReaderProcess reader;
    ASSERT_TRUE(
        reader.start({"--port", "Com1", "--changes-only", "--reconnect-timeout", "1"}, program));
    ASSERT_TRUE(reader.waitForLines(1, 5000)) << joined(reader.errorLines());
    sim.unplug();
    ASSERT_TRUE(reader.waitForExit(5000));
    EXPECT_EQ(reader.exitCode(), 1);
    EXPECT_EQ(joined(reader.maskedLines()),
              joined({reading("Com1", "continuous", "1.5", "1.5kg", false,
                              "02 2B 30 30 30 30 31 35 31 31 45 03")}));
    EXPECT_EQ(joined(reader.errorLines()),
              joined({"scale-read: reading " + label + " at 9600,N,8,1, protocol continuous",
                      "scale-read: " + label + " is gone; waiting for it to come back",
                      "scale-read: " + label + " did not come back within 1 s"}));
}

TEST_F(ScaleReadFaultTest, MissingDeviceEndsWithStatusOne) {
    const QString absent = path(QStringLiteral("absent"));
    for (const QStringList& arguments :
         {QStringList{"--port", absent}, QStringList{"--detect", "--port", absent}}) {
        SCOPED_TRACE(joined(arguments));
        ReaderProcess reader;
        EXPECT_EQ(reader.run(arguments, 5000), 1);
        EXPECT_TRUE(reader.output().isEmpty());
        EXPECT_EQ(joined(reader.errorLines()),
                  "scale-read: cannot open " + absent.toStdString() + ": no such file");
    }
}

TEST_F(ScaleReadFaultTest, APathThatIsNoTerminalIsNotASerialDevice) {
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--port", "/dev/null"}, 5000), 1);
    EXPECT_TRUE(reader.output().isEmpty());
    EXPECT_EQ(joined(reader.errorLines()),
              "scale-read: cannot open /dev/null: not a serial device");
}

TEST_F(ScaleReadFaultTest, BadCommandLinesEndWithStatusTwoAndOneLine) {
    const struct {
        QStringList arguments;
        QString error;
    } cases[] = {
        {{}, "--port is missing (ComN or a device path)"},
        {{"--port", "Com21"}, "--port Com21: ports go from Com1 to Com20"},
        {{"--port", "Com1", "--protocol", "modbus"},
         "--protocol 'modbus' is none of continuous, command, shentong, toledo, sics, ad, sbi, "
         "sma, rice-lake, cardinal, weigh-tronix, 8217"},
        {{"--port", "Com1", "--settings", "9600,X,8,1"},
         "--settings '9600,X,8,1' is not baud,parity,data,stop such as 9600,N,8,1"},
        {{"--port", "Com1", "--format", "xml"}, "--format 'xml' is not jsonl, csv or text"},
        {{"--port", "Com1", "--count", "0"}, "--count wants a whole number from 1 on, not '0'"},
        {{"--port", "Com1", "--poll-interval", "50"}, 
         "--poll-interval is for a protocol that asks for the weight (command, sics, sbi, sma, "
         "8217)"},
        {{"--port", "Com1", "--port", "Com2"}, "--port given twice"},
        {{"--detect", "--port", "Com1", "--settings", "9600,N,8,1"},
         "--detect tries every setting; leave out --settings"},
        {{"--input", "line.rec", "--port", "Com1"},
         "--port is for reading a port, not with --input"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.arguments));
        ReaderProcess reader;
        EXPECT_EQ(reader.run(c.arguments, 5000), 2);
        EXPECT_TRUE(reader.output().isEmpty());
        EXPECT_EQ(joined(reader.errorLines()),
                  "scale-read: " + c.error.toStdString() + " (see --help)");
    }
}

}  // namespace
}  // namespace scale::test
