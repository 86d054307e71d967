// A port lost by a hang-up is watched and, when its device returns, reopened and re-armed with no
// button press; a port that apply could not open is left alone.
#include <gtest/gtest.h>

#include "protocols/formats/continuous/continuousframe.h"
#include "support/formfixture.h"

namespace scale::test {
namespace {

QByteArray continuousFrame(std::uint32_t digits, int decimals) {
    const auto frame = encodeContinuousFrame({false, digits, decimals});
    return QByteArray(reinterpret_cast<const char*>(frame.data()), frame.size());
}

class PortWatchTest : public FormFixture {
protected:
    // The operator's file, in a form that no save would write, so a rewrite shows.
    static constexpr const char* kStoredSettings = "0\n2\n2\n0\n0\n";
};

TEST_F(PortWatchTest, ContinuousModeComesBackWithinOneSecondWithoutSaving) {
    writeSettings(kStoredSettings);
    start();
    writeSettings(kStoredSettings);
    comm.feed(continuousFrame(1250, 2) + continuousFrame(1250, 2));
    clock.runPending();
    ASSERT_EQ(view.readout, "12.50kg");

    comm.unplug();
    clock.advance(1100);  // the watchdog's second look finds no frame
    EXPECT_EQ(view.readout, "Load...");
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(comm.watching());

    comm.replug();
    clock.advance(250);
    ASSERT_TRUE(comm.PortOpen());
    EXPECT_FALSE(comm.watching());
    EXPECT_EQ(comm.openedPorts.back(), 1);
    EXPECT_EQ(comm.openedSettings.back(), (LineSettings{2400, Parity::None, 8, StopBits::One}));
    EXPECT_EQ(comm.InputLen(), 24);
    EXPECT_EQ(comm.RThreshold(), 24);

    comm.feed(continuousFrame(99, 1) + continuousFrame(99, 1));
    clock.advance(10);
    EXPECT_EQ(view.readout, "9.9kg");
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(view.apply);
    EXPECT_EQ(readSettings(), QByteArray(kStoredSettings));
}

TEST_F(PortWatchTest, CommandModeSendsItsFirstRequestOnReturn) {
    writeSettings("0\r\n2\r\n2\r\n0\r\n0\r\n1\r\n");
    start();
    comm.unplug();
    clock.advance(2000);
    const std::size_t before = comm.writes.size();

    comm.replug();
    clock.advance(210);
    ASSERT_TRUE(comm.PortOpen());
    ASSERT_EQ(comm.writes.size(), before + 1);
    EXPECT_EQ(comm.writes.back(), QByteArray::fromHex("024142303303"));
}

TEST_F(PortWatchTest, ApplyTakesOverAndAPortThatNeverOpenedIsNotWatched) {
    start();
    comm.unplug();
    clock.advance(300);
    ASSERT_TRUE(comm.watching());

    // Apply while the adapter is still out: it reports the failure and stops watching.
    view.messages.clear();
    form->Command1_Click();
    EXPECT_EQ(view.messages, std::vector<QString>({"端口不存在或正在被使用！"}));
    EXPECT_FALSE(comm.watching());
    EXPECT_EQ(view.readout, "0kg");

    comm.replug();
    clock.advance(2000);
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_FALSE(view.apply);
}

}  // namespace
}  // namespace scale::test
