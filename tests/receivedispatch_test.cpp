// Receive dispatch and the two timers on the manual clock: the watchdog, the command-mode poll
// cycle and what survives a change of mode.
#include <gtest/gtest.h>

#include "support/formfixture.h"

namespace scale::test {
namespace {

const QByteArray kFrame = QByteArray::fromHex("022B303132333435333139 03");      // 12.345kg
const QByteArray kReply = QByteArray::fromHex("0241422B3031323334353331 4103");  // 12.345kg
const QByteArray kRequest = QByteArray::fromHex("024142303303");

class ReceiveDispatchTest : public FormFixture {
protected:
    void selectMode(int mode) {
        writeSettings("0\r\n2\r\n2\r\n0\r\n0\r\n" + QByteArray::number(mode) + "\r\n");
    }
    // An indicator that answers every request after `delay` milliseconds.
    void answerRequests(qint64 delay) {
        comm.onWrite = [this, delay](const QByteArray& bytes) {
            requestTimes.push_back(clock.now());
            EXPECT_EQ(bytes, kRequest);
            if (delay >= 0) {
                clock.callAt(clock.now() + delay, [this] { comm.feed(kReply); });
            }
        };
    }
    std::vector<qint64> requestTimes;
};

TEST_F(ReceiveDispatchTest, SilentLineShowsWaitingAtEveryWatchdogTick) {
    start();
    comm.feed(kFrame + kFrame);
    clock.advance(100);
    ASSERT_EQ(view.readout, "12.345kg");

    // The frame counts for the tick at 500; the tick at 1000 finds nothing.
    clock.advance(400);
    EXPECT_EQ(view.readout, "12.345kg");
    clock.advance(500);
    EXPECT_EQ(view.readout, "Load...");
    EXPECT_EQ(view.foreColor, Form1::kRed);
    EXPECT_EQ(form->state().RxFrame, RxFrameBytes{});

    view.clearHistory();
    clock.advance(1500);
    EXPECT_EQ(view.readoutHistory, std::vector<QString>({"Load...", "Load...", "Load..."}));
    EXPECT_EQ(timer3.ticks(), 5);
}

TEST_F(ReceiveDispatchTest, FramesFasterThanTheWatchdogKeepTheWeight) {
    start();
    view.clearHistory();
    for (int i = 0; i < 15; ++i) {
        comm.feed(kFrame + kFrame);
        clock.advance(200);
    }
    // Shown once (the later frames repeat it), never replaced by "Load...".
    EXPECT_EQ(view.readoutHistory, std::vector<QString>({"12.345kg"}));
}

TEST_F(ReceiveDispatchTest, WeightReturnsAfterSilenceEvenWithTheSameFrame) {
    start();
    comm.feed(kFrame + kFrame);
    clock.advance(1000);
    ASSERT_EQ(view.readout, "Load...");
    comm.feed(kFrame + kFrame);
    clock.runPending();
    EXPECT_EQ(view.readout, "12.345kg");
}

TEST_F(ReceiveDispatchTest, EachReceiveEventDiscardsWhatTheReaderLeft) {
    start();
    comm.feed(kFrame + kFrame + kFrame);
    clock.runPending();
    EXPECT_EQ(comm.waiting(), QByteArray());
    // Fewer bytes than the threshold raise nothing.
    comm.feed(kFrame);
    clock.runPending();
    EXPECT_EQ(comm.waiting(), kFrame);
}

TEST_F(ReceiveDispatchTest, CommandModePollsOneHundredMillisecondsAfterEachReply) {
    selectMode(1);
    answerRequests(30);
    start();
    clock.advance(1250);

    // A request 100 ms after each reply (30 ms after its request). The watchdog, started by the
    // first poll at 1 and ticking at 501 and 1101, restarts the pending poll for 100 ms later.
    EXPECT_EQ(requestTimes, std::vector<qint64>({1, 131, 261, 391, 601, 731, 861, 991, 1201}));
    EXPECT_EQ(view.readout, "12.345kg");
    EXPECT_EQ(comm.writes.size(), requestTimes.size());
}

TEST_F(ReceiveDispatchTest, CommandModeWithoutRepliesPollsEverySixHundredMilliseconds) {
    selectMode(1);
    answerRequests(-1);
    start();
    clock.advance(2500);

    EXPECT_EQ(requestTimes, std::vector<qint64>({1, 601, 1201, 1801, 2401}));
    EXPECT_EQ(view.readout, "Load...");
}

TEST_F(ReceiveDispatchTest, PendingPollSendsExactlyOneRequestAfterSwitchingMode) {
    selectMode(1);
    answerRequests(30);
    start();
    clock.advance(170);  // the reply to the request at 131 came at 161: a poll is due at 261
    ASSERT_EQ(requestTimes.size(), 2u);
    ASSERT_TRUE(timer1.running());

    comm.onWrite = [this](const QByteArray&) { requestTimes.push_back(clock.now()); };
    view.boxes[5].listIndex = 0;
    form->Command1_Click();
    clock.advance(3000);

    EXPECT_EQ(requestTimes.size(), 3u);
    EXPECT_EQ(form->state().ProtocolMode, 0);
    EXPECT_FALSE(timer1.Enabled());
    EXPECT_TRUE(timer3.running());
}

TEST_F(ReceiveDispatchTest, RefusedRequestChangesNothingAndPollingGoesOn) {
    selectMode(1);
    comm.refuseWrites = true;
    start();
    view.clearHistory();
    clock.advance(700);

    // No reply: the watchdog at 501 shows "Load..." as after any unanswered request.
    EXPECT_EQ(view.readoutHistory, std::vector<QString>({"Load..."}));
    EXPECT_TRUE(comm.writes.empty());
    EXPECT_EQ(timer1.ticks(), 2);  // the second poll, at 601, was tried too
}

TEST_F(ReceiveDispatchTest, TicksDueDuringAMessageBoxRunAfterTheHandler) {
    start();
    comm.busyPorts.insert(1);
    std::vector<QString> seenDuringMessage;
    view.onMessage = [&](const QString&) {
        clock.advance(1200);  // the box stays open while the watchdog falls due twice
        seenDuringMessage = view.readoutHistory;
    };
    view.clearHistory();
    form->Command1_Click();

    EXPECT_TRUE(seenDuringMessage.empty());
    // Arming fails after the box is closed; the held-back watchdog tick comes after that, once.
    EXPECT_EQ(view.readoutHistory, std::vector<QString>({"0kg", "Load..."}));
}

}  // namespace
}  // namespace scale::test
