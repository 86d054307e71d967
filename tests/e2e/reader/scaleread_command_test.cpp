// scale-read --command against the indicator simulator: the command goes out once, and every
// result comes back as one record with the exit status scripts can use.
#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

class ScaleReadCommandTest : public ReaderFixture {};

TEST_F(ScaleReadCommandTest, SendsTheCommandOnceAndPrintsItsResult) {
    struct Case {
        QStringList simulator;
        const char* protocol;
        const char* command;
        const char* record;     // after "port" and "protocol"
        int status;
        const char* requested;  // what the simulator took for the format's commands
    };
    const Case cases[] = {
        {{"--weight", "fixed:12.345"}, "sics", "zero", R"("command":"zero","result":"done","text":"Z A")", 0, "Z"},
        {{"--weight", "fixed:12.345", "--refuse", "tare"}, "sics", "tare", R"("command":"tare","result":"refused","text":"T I")", 1, "T"},
        {{"--weight", "fixed:12.345", "--capacity", "10"}, "sics", "zero", R"("command":"zero","result":"overload","text":"Z +")", 1, "Z"},
        {{"--weight", "fixed:12.34"}, "sma", "tare", R"("command":"tare","result":"done","text":"0.00kg")", 0, "T"},
        {{"--weight", "fixed:12.34", "--refuse", "zero"}, "8217", "zero", R"("command":"zero","result":"refused","text":"?H")", 1, "Z"},
        {{"--weight", "fixed:12.34"}, "ad", "zero", R"("command":"zero","result":"done","text":"0.00kg")", 0, "R"},
        // The simulated Toledo takes no commands: its frames never show the zero.
        {{"--weight", "fixed:12.34"}, "toledo", "zero", R"("command":"zero","result":"no-answer")", 1, ""},
        {{"--weight", "fixed:12.34"}, "continuous", "zero", R"("command":"zero","result":"unsupported")", 1, ""},
    };
    for (const Case& c : cases) {
        SimulatorProcess indicator;
        const QString protocol = QLatin1String(c.protocol);
        ASSERT_TRUE(indicator.start(link(), QStringList{"--protocol", protocol} + c.simulator));
        ReaderProcess reader;
        EXPECT_EQ(reader.run({"--port", link(), "--protocol", protocol, "--command",
                              QLatin1String(c.command)},
                             5000),
                  c.status)
            << c.protocol << " " << c.command;
        EXPECT_EQ(joined(reader.maskedLines()),
                  QStringLiteral(R"({"time":"TIME","port":"%1","protocol":"%2",%3})")
                      .arg(link(), protocol, QLatin1String(c.record))
                      .toStdString());
        indicator.collect();
        QStringList commands;
        for (const SimulatorProcess::Event& event : indicator.events()) {
            if (event.kind == QLatin1String("request") && event.text.startsWith(protocol + ' ') &&
                event.text != protocol + QStringLiteral(" SI") &&
                event.text != protocol + QStringLiteral(" W")) {
                commands << event.text.mid(protocol.size() + 1);
            }
        }
        EXPECT_EQ(commands.join(' ').toStdString(), c.requested) << c.protocol << " " << c.command;
    }
}

}  // namespace
}  // namespace scale::test
