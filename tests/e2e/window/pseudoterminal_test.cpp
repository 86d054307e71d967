// The three protocols end to end: bytes written on a pseudo-terminal reach the window through the
// real serial control, and command-mode requests arrive on the line.
#include <gtest/gtest.h>
#include <QLabel>
#include <QTimer>

#include "tests/e2e/harness/indicatorend.h"
#include "tests/e2e/harness/livewindow.h"

namespace scale::test {
namespace {

const QByteArray kNegativeFrame = QByteArray::fromHex("022D303132333435323145 03");
const QByteArray kRequest = QByteArray::fromHex("024142303303");

class PseudoTerminalTest : public ::testing::Test {
protected:
    PseudoTerminalTest() : line(live.portLink()) {}

    // Writes `bytes` every `milliseconds` while the test waits.
    void repeat(const QByteArray& bytes, int milliseconds) {
        m_sender.disconnect();
        QObject::connect(&m_sender, &QTimer::timeout, [this, bytes] { line.write(bytes); });
        m_sender.start(milliseconds);
    }
    void stopSending() { m_sender.stop(); }
    QString readout() const { return live.window.readoutCaption(); }
    QString caption(FormView::Label label) const { return live.window.labelCaption(label); }

    LiveWindow live;
    IndicatorEnd line;

private:
    QTimer m_sender;
};

TEST_F(PseudoTerminalTest, ContinuousFramesShowTheSignedWeight) {
    ASSERT_TRUE(line.isOpen());
    live.writeSettings(8, 0);  // 28400 baud: a custom rate must open too
    live.start();
    EXPECT_TRUE(live.window.messages.isEmpty()) << live.window.messages.join('|').toStdString();
    EXPECT_EQ(readout(), "Load...");

    repeat(kNegativeFrame, 40);
    ASSERT_TRUE(LiveWindow::waitFor([&] { return readout() == "-123.45kg"; }, 3000));
    EXPECT_EQ(caption(FormView::Label::Decimal),
              "十进制显示： 02 45 48 49 50 51 52 53 50 49 69 03");
    EXPECT_EQ(caption(FormView::Label::Hex), "十六进制显示： 2 2D 30 31 32 33 34 35 32 31 45 3");
    EXPECT_EQ(caption(FormView::Label::Characters),
              QStringLiteral("字符串： \x02 - 0 1 2 3 4 5 2 1 E \x03"));

    // Silence: "Load..." within one watchdog period (plus slack for a loaded machine).
    stopSending();
    EXPECT_TRUE(LiveWindow::waitFor([&] { return readout() == "Load..."; }, 1500));
}

TEST_F(PseudoTerminalTest, CommandModeRequestsArriveAndRepliesAreShown) {
    live.writeSettings(4, 1);
    live.start();
    EXPECT_TRUE(live.window.messages.isEmpty());

    QByteArray reply = QByteArray::fromHex("0241422B303132333435333141 03");
    QByteArray received;
    int requests = 0;
    QTimer indicator;
    QObject::connect(&indicator, &QTimer::timeout, [&] {
        received += line.readAvailable();
        while (received.size() >= kRequest.size()) {
            EXPECT_EQ(received.left(kRequest.size()).toHex(' '), kRequest.toHex(' '));
            received.remove(0, kRequest.size());
            ++requests;
            line.write(reply);
        }
    });
    indicator.start(5);

    ASSERT_TRUE(LiveWindow::waitFor([&] { return readout() == "12.345kg"; }, 3000));
    reply = QByteArray::fromHex("0241422D303031323334323138 03");
    ASSERT_TRUE(LiveWindow::waitFor([&] { return readout() == "-12.34kg"; }, 3000));
    EXPECT_GE(requests, 2);
    EXPECT_EQ(received, QByteArray());
}

TEST_F(PseudoTerminalTest, ShenTongFramesShowTheReversedNumber) {
    live.writeSettings(2, 2);
    live.start();
    repeat(QByteArray("=5.43210"), 30);
    ASSERT_TRUE(LiveWindow::waitFor([&] { return readout() == "1234.5kg"; }, 3000));
    EXPECT_EQ(caption(FormView::Label::Hex), "十六进制显示： 3D 35 2E 34 33 32 31 ");
}

TEST_F(PseudoTerminalTest, HangUpClosesThePortWithoutSpinningAndApplyReopens) {
    live.writeSettings(4, 0);
    live.start();
    repeat(kNegativeFrame, 40);
    ASSERT_TRUE(LiveWindow::waitFor([&] { return readout() == "-123.45kg"; }, 3000));

    stopSending();
    line.hangUp();
    ASSERT_TRUE(LiveWindow::waitFor([&] { return !live.comm.PortOpen(); }, 2000));
    EXPECT_TRUE(LiveWindow::waitFor([&] { return readout() == "Load..."; }, 1500));

    const double before = LiveWindow::processCpuSeconds();
    LiveWindow::pump(2000);
    EXPECT_LT(LiveWindow::processCpuSeconds() - before, 0.3);

    // The indicator comes back on a new line behind the same link; apply reopens it.
    IndicatorEnd again(live.portLink());
    live.window.messages.clear();
    live.form->Command1_Click();
    EXPECT_TRUE(live.window.messages.isEmpty()) << live.window.messages.join('|').toStdString();
    QTimer sender;
    QObject::connect(&sender, &QTimer::timeout, [&] { again.write(kNegativeFrame); });
    sender.start(40);
    EXPECT_TRUE(LiveWindow::waitFor([&] { return readout() == "-123.45kg"; }, 3000));
}

}  // namespace
}  // namespace scale::test
