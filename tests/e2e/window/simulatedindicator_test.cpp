// The real window (offscreen) against the indicator simulator running as its own process on a
// pseudo-terminal: one group per protocol, then a pulled cable.
#include <gtest/gtest.h>
#include <QPushButton>
#include <QSet>

#include <algorithm>
#include <cmath>

#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/simulatorprocess.h"

namespace scale::test {
namespace {

// Every caption the readout takes, with its time on the simulator's clock.
struct ReadoutLog {
    std::vector<std::pair<double, QString>> entries;
    QStringList weights() const {
        QStringList texts;
        for (const auto& entry : entries) {
            if (entry.second != QLatin1String("Load...")) {
                texts << entry.second;
            }
        }
        return texts;
    }
};

class SimulatedIndicatorTest : public ::testing::Test {
protected:
    // Starts the simulator, then the window in `mode` on its line, and watches both for
    // `milliseconds`.
    void run(int mode, const QStringList& simulatorArguments, int milliseconds) {
        ASSERT_TRUE(sim.start(live.portLink(), simulatorArguments)) << sim.errors().toStdString();
        live.writeSettings(4, mode);
        live.start();
        watch(milliseconds);
    }
    void watch(int milliseconds) {
        LiveWindow::waitFor(
            [this] {
                sim.collect();
                const QString shown = live.window.readoutCaption();
                if (readout.entries.empty() || readout.entries.back().second != shown) {
                    readout.entries.emplace_back(sim.now(), shown);
                }
                return false;
            },
            milliseconds);
        sim.collect();
    }
    // Every weight shown came from an intact frame: faulty frames never reach the readout.
    void expectOnlyIntactWeights() {
        const QStringList intact = sim.shownTexts();
        const QSet<QString> sent(intact.begin(), intact.end());
        for (const QString& text : readout.weights()) {
            EXPECT_TRUE(sent.contains(text)) << text.toStdString();
        }
    }

    LiveWindow live;
    SimulatorProcess sim;
    ReadoutLog readout;
};

TEST_F(SimulatedIndicatorTest, ContinuousWeightsWithSignAndDecimals) {
    run(0, {"--protocol", "continuous", "--weight", "ramp:-2.50:2.50:0.25", "--rate", "8"}, 3000);
    const QStringList shown = readout.weights();
    EXPECT_GE(shown.size(), 10);
    EXPECT_TRUE(shown.contains("-1.25kg")) << shown.join(' ').toStdString();
    EXPECT_TRUE(shown.contains("1.75kg")) << shown.join(' ').toStdString();
    expectOnlyIntactWeights();
}

TEST_F(SimulatedIndicatorTest, ContinuousCorruptFramesNeverShowAWeight) {
    // Wrong and lower-case checksums corrupt a frame; noise between frames must not matter.
    run(0,
        {"--protocol", "continuous", "--weight", "ramp:0.001:9.999:0.007", "--rate", "10",
         "--bad-checksum", "0.35", "--lowercase", "0.35", "--noise", "0.2", "--seed", "11"},
        4000);
    EXPECT_GE(readout.weights().size(), 5);
    int corrupt = 0;
    for (const auto& event : sim.events()) {
        corrupt += event.kind == QLatin1String("tx") && event.text == QLatin1String("-");
    }
    EXPECT_GE(corrupt, 10);
    expectOnlyIntactWeights();
}

TEST_F(SimulatedIndicatorTest, ContinuousStrayBytesAndCutFramesStillShowWeights) {
    // Stray bytes before a frame and a frame split over two writes leave the frame intact: the
    // weights keep coming, each one a value the ramp sent.
    run(0,
        {"--protocol", "continuous", "--weight", "ramp:0.001:9.999:0.007", "--rate", "10",
         "--stray", "0.4", "--cut", "0.4", "--seed", "5"},
        4000);
    const QStringList shown = readout.weights();
    EXPECT_GE(shown.size(), 8);
    for (const QString& text : shown) {
        const double grams = text.chopped(2).toDouble() * 1000.0 - 1.0;
        EXPECT_NEAR(std::fmod(grams + 0.5, 7.0), 0.5, 0.01) << text.toStdString();
    }
}

TEST_F(SimulatedIndicatorTest, ContinuousSilenceBringsBackWaitingWithinAWatchdogPeriod) {
    run(0,
        {"--protocol", "continuous", "--weight", "fixed:3.5", "--rate", "10", "--silence",
         "1500:2000"},
        3200);
    // The last frame before the silence, and the first "Load..." after it.
    double lastFrame = 0.0;
    for (const auto& event : sim.events()) {
        if (event.kind == QLatin1String("tx") && event.at < 2000.0) {
            lastFrame = event.at;
        }
    }
    ASSERT_GT(lastFrame, 1000.0);
    const auto waiting = std::find_if(readout.entries.begin(), readout.entries.end(), [&](auto& e) {
        return e.first > lastFrame && e.second == QLatin1String("Load...");
    });
    ASSERT_NE(waiting, readout.entries.end());
    // The watchdog that first finds no frame ticks less than 1000 ms after the last one; allow
    // for a loaded machine.
    EXPECT_LT(waiting->first - lastFrame, 1300.0);
    EXPECT_TRUE(readout.weights().contains("3.5kg"));
}

TEST_F(SimulatedIndicatorTest, CommandModeRequestsArePaced) {
    run(1, {"--protocol", "command", "--reply-delay", "20", "--weight", "ramp:-0.30:0.30:0.05"},
        3000);
    std::vector<double> afterReply;
    double lastReply = -1.0;
    for (const auto& event : sim.events()) {
        if (event.kind == QLatin1String("rx")) {
            EXPECT_EQ(event.bytes, "02 41 42 30 33 03");
        } else if (event.kind == QLatin1String("tx")) {
            lastReply = event.at;
        } else if (event.kind == QLatin1String("request") && lastReply >= 0.0) {
            afterReply.push_back(event.at - lastReply);
            lastReply = -1.0;
        }
    }
    ASSERT_GE(afterReply.size(), 10u);
    std::sort(afterReply.begin(), afterReply.end());
    // 100 ms after each reply; a watchdog tick in between restarts the countdown, so a few
    // gaps run up to 200 ms.
    EXPECT_NEAR(afterReply[afterReply.size() / 2], 100.0, 30.0);
    EXPECT_GE(afterReply.front(), 90.0);
    EXPECT_LE(afterReply.back(), 300.0);
    EXPECT_TRUE(readout.weights().contains("-0.20kg"));
    expectOnlyIntactWeights();
}

TEST_F(SimulatedIndicatorTest, CommandModeWithoutRepliesPollsEverySixHundredMilliseconds) {
    run(1, {"--protocol", "command", "--drop", "1"}, 3200);
    std::vector<double> requests;
    for (const auto& event : sim.events()) {
        if (event.kind == QLatin1String("request")) {
            requests.push_back(event.at);
        }
    }
    ASSERT_GE(requests.size(), 4u);
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_NEAR(requests[i] - requests[i - 1], 600.0, 60.0) << "request " << i;
    }
    EXPECT_TRUE(readout.weights().isEmpty());
}

TEST_F(SimulatedIndicatorTest, ShenTongWeights) {
    run(2,
        {"--protocol", "shentong", "--weight", "ramp:-9.5:12.0:0.5", "--decimals", "1", "--rate",
         "8"},
        3000);
    const QStringList shown = readout.weights();
    EXPECT_GE(shown.size(), 10);
    EXPECT_TRUE(shown.contains("-8kg") || shown.contains("-7.5kg"))
        << shown.join(' ').toStdString();
    expectOnlyIntactWeights();
}

TEST_F(SimulatedIndicatorTest, PulledCableLeavesTheWindowIdleAndApplyRecovers) {
    run(0, {"--protocol", "continuous", "--weight", "fixed:-7.25", "--unplug-after", "1000"}, 1500);
    ASSERT_TRUE(readout.weights().contains("-7.25kg"));
    ASSERT_TRUE(sim.waitForExit(3000));
    EXPECT_TRUE(LiveWindow::waitFor([&] { return !live.comm.PortOpen(); }, 2000));
    EXPECT_TRUE(
        LiveWindow::waitFor([&] { return live.window.readoutCaption() == "Load..."; }, 1500));

    // No busy loop while the cable is out.
    const double before = LiveWindow::processCpuSeconds();
    LiveWindow::pump(2000);
    EXPECT_LT(LiveWindow::processCpuSeconds() - before, 0.3);

    SimulatorProcess again;
    ASSERT_TRUE(
        again.start(live.portLink(), {"--protocol", "continuous", "--weight", "fixed:4.5"}));
    live.window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_TRUE(LiveWindow::waitFor([&] { return live.window.readoutCaption() == "4.5kg"; }, 3000));
    EXPECT_TRUE(live.window.messages.isEmpty()) << live.window.messages.join('|').toStdString();
}

}  // namespace
}  // namespace scale::test
