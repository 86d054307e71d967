// A described indicator's frames without a weight, end to end: the simulator sending the
// example file's overload frames with their check, --detect finding the format by them, and the
// simulator refusing --capacity for a format that has no overload frame to send.
#include <QFile>

#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

using StatusFramesTest = ReaderFixture;

TEST_F(StatusFramesTest, AnIndicatorSendingOnlyOverloadsIsFoundByThem) {
    const QString formats = QStringLiteral(SCALE_DOCS_DIR "/wt-line.toml");
    ASSERT_TRUE(sim.start(link(), {"--formats", formats, "--protocol", "wt-line-xor", "--weight",
                                   "fixed:12.34", "--capacity", "5"}))
        << sim.errors().toStdString();
    ReaderProcess reader;
    EXPECT_EQ(reader.run({"--detect", "--port", link(), "--formats", formats}, 20000), 0);
    ASSERT_FALSE(reader.lines().isEmpty());
    EXPECT_EQ(reader.lines().back(),
              "found: --settings 9600,N,8,1 --protocol wt-line-xor --formats " + formats);
}

TEST_F(StatusFramesTest, CapacityIsRefusedForAFormatWithoutAnOverloadFrame) {
    QFile file(path(QStringLiteral("plant.toml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[[format]]\nname = \"plain\"\npattern = '(?<value>\\d+)'\nsend = \"{value}\\r\"\n");
    file.close();
    ReaderProcess simulator;
    ASSERT_TRUE(simulator.start({"--link", link(), "--formats", file.fileName(), "--protocol",
                                 "plain", "--capacity", "5"},
                                QStringLiteral(INDICATOR_SIM_PATH)));
    ASSERT_TRUE(simulator.waitForExit(10000));
    EXPECT_EQ(simulator.exitCode(), 2);
    EXPECT_EQ(joined(simulator.errorLines()),
              "indicator-sim: --capacity: format 'plain' has no send-overload template, so the "
              "simulator cannot send its overload (see --help)");
}

}  // namespace
}  // namespace scale::test
