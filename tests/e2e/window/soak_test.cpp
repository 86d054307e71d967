// Long runs through real pseudo-terminals, kept short here: SCALE_SOAK_SECONDS,
// SCALE_SOAK_CYCLES and SCALE_NOISE_SECONDS make them long (scripts/soak.sh).
//   - a stream at the full line rate keeps the port open and the readout following it;
//   - a pulled and replugged cable brings the weight back with no button press, and the
//     program stays idle while the line is gone;
//   - random bytes at the full line rate neither crash nor stall it.
#include <gtest/gtest.h>
#include <QSet>
#include <QTimer>

#include <random>

#include "tests/e2e/harness/indicatorend.h"
#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/simulatorprocess.h"

namespace scale::test {
namespace {

int fromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

struct FullRateCase {
    int baudPosition;
    const char* baud;
    int mode;
    const char* protocol;
};

TEST(SoakTest, FullRateStreamsKeepThePortOpenAndTheReadoutFollowing) {
    const int seconds = fromEnvironment("SCALE_SOAK_SECONDS", 2);
    const FullRateCase cases[] = {
        {9, "57600", 0, "continuous"}, {12, "256000", 0, "continuous"},
        {9, "57600", 1, "command"},    {12, "256000", 1, "command"},
        {9, "57600", 2, "shentong"},   {12, "256000", 2, "shentong"},
    };
    for (const FullRateCase& c : cases) {
        SCOPED_TRACE(std::string(c.protocol) + " at " + c.baud);
        LiveWindow live;
        QStringList arguments = {"--protocol", c.protocol, "--baud",
                                 c.baud,       "--weight", "ramp:0:99.99:0.01"};
        arguments +=
            c.mode == 1 ? QStringList{"--reply-delay", "0"} : QStringList{"--rate", "1000000"};
        SimulatorProcess sim;
        ASSERT_TRUE(sim.start(live.portLink(), arguments)) << sim.errors().toStdString();
        live.writeSettings(c.baudPosition, c.mode);
        live.start();

        int closedLooks = 0;
        QStringList shown;
        bool waitingAfterWeight = false;
        LiveWindow::waitFor(
            [&] {
                sim.collect();
                closedLooks += live.comm.PortOpen() ? 0 : 1;
                const QString caption = live.window.readoutCaption();
                if (caption == QLatin1String("Load...")) {
                    waitingAfterWeight = waitingAfterWeight || !shown.isEmpty();
                } else if (shown.isEmpty() || shown.back() != caption) {
                    shown << caption;
                }
                return false;
            },
            seconds * 1000);
        sim.collect();

        EXPECT_EQ(closedLooks, 0);
        EXPECT_FALSE(waitingAfterWeight);
        // Several new weights a second, every one of them sent by the indicator.
        EXPECT_GE(shown.size(), 5 * seconds);
        const QStringList sent = sim.shownTexts();
        const QSet<QString> sentSet(sent.begin(), sent.end());
        for (const QString& text : shown) {
            EXPECT_TRUE(sentSet.contains(text)) << text.toStdString();
        }
        EXPECT_TRUE(live.window.messages.isEmpty()) << live.window.messages.join('|').toStdString();
        std::printf("full rate: %s at %s baud, %lld weights shown in %d s, port closed %d times\n",
                    c.protocol, c.baud, static_cast<long long>(shown.size()), seconds, closedLooks);
    }
}

TEST(SoakTest, ReplugBringsTheWeightBackWithinASecondAndTheWaitIsIdle) {
    const int cycles = fromEnvironment("SCALE_SOAK_CYCLES", 3);
    LiveWindow live;
    live.writeSettings(4, 0);
    double cpuWhileGone = 0;
    double secondsGone = 0;
    double worstReturnMs = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const QString weight = QString::number(cycle % 90 + 1) + QStringLiteral(".25");
        SimulatorProcess sim;
        ASSERT_TRUE(sim.start(live.portLink(), {"--weight", "fixed:" + weight, "--rate", "20",
                                                "--unplug-after", "700"}));
        if (cycle == 0) {
            live.start();  // on the first line; the later ones it finds by itself
        }
        // Back without a button press, within a second of the line coming up.
        const QString expected = weight + QStringLiteral("kg");
        ASSERT_TRUE(
            LiveWindow::waitFor([&] { return live.window.readoutCaption() == expected; }, 1000))
            << live.window.readoutCaption().toStdString();
        worstReturnMs = std::max(worstReturnMs, sim.now());

        ASSERT_TRUE(sim.waitForExit(3000));
        ASSERT_TRUE(LiveWindow::waitFor([&] { return !live.comm.PortOpen(); }, 1000));
        EXPECT_TRUE(live.comm.watching());
        // Measured once the watchdog has drawn "Load...": the wait itself must cost nothing.
        ASSERT_TRUE(LiveWindow::waitFor(
            [&] { return live.window.readoutCaption() == QLatin1String("Load..."); }, 1500));
        const double before = LiveWindow::processCpuSeconds();
        LiveWindow::pump(1000);
        cpuWhileGone += LiveWindow::processCpuSeconds() - before;
        secondsGone += 1;
    }
    // Taken over all cycles, so one busy moment of a shared machine does not decide it; a wait
    // that polls in a tight loop costs tens of percent in every cycle.
    const double cpuShare = cpuWhileGone / secondsGone;
    EXPECT_LE(cpuShare, 0.01);  // at most 1 % of a core while the line is gone
    EXPECT_TRUE(live.window.messages.isEmpty()) << live.window.messages.join('|').toStdString();
    std::printf(
        "replug: %d cycles, slowest return %.0f ms after the line came up, "
        "CPU while gone %.2f %%\n",
        cycles, worstReturnMs, cpuShare * 100);
}

TEST(SoakTest, RandomBytesAtFullRateNeitherCrashNorStall) {
    const int seconds = fromEnvironment("SCALE_NOISE_SECONDS", 2);
    LiveWindow live;
    IndicatorEnd line(live.portLink());
    ASSERT_TRUE(line.isOpen());
    live.writeSettings(12, 0);
    live.start();

    // 256000 baud at ten bits a byte: 256 bytes every 10 ms.
    std::mt19937 random(7);
    QByteArray burst(256, '\0');
    QTimer noise;
    QObject::connect(&noise, &QTimer::timeout, [&] {
        for (char& byte : burst) {
            byte = static_cast<char>(random() & 0xFF);
        }
        line.write(burst);
    });
    noise.start(10);
    int closedLooks = 0;
    LiveWindow::waitFor(
        [&] {
            closedLooks += live.comm.PortOpen() ? 0 : 1;
            return false;
        },
        seconds * 1000);
    noise.stop();
    EXPECT_EQ(closedLooks, 0);

    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout,
                     [&] { line.write(QByteArray::fromHex("022D303132333435323145 03")); });
    frames.start(20);
    EXPECT_TRUE(
        LiveWindow::waitFor([&] { return live.window.readoutCaption() == "-123.45kg"; }, 500));
    EXPECT_TRUE(live.comm.PortOpen());
}

}  // namespace
}  // namespace scale::test
