// The simulator as its own process, asked through its link as a reader would: its answers on the
// line and the requests it logs.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/simulatorprocess.h"

namespace scale::test {
namespace {

// The reader's end of the simulator's link, raw.
class ReaderEnd {
public:
    explicit ReaderEnd(const QString& link)
        : m_fd(::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios settings{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(m_fd, TCSANOW, &settings);
        }
    }
    ~ReaderEnd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool isOpen() const { return m_fd >= 0; }

    // Sends the request and gathers what comes back within `milliseconds`.
    QByteArray ask(const QByteArray& request, int milliseconds) {
        if (::write(m_fd, request.constData(), static_cast<std::size_t>(request.size())) !=
            request.size()) {
            return "write failed";
        }
        QByteArray answer;
        QElapsedTimer clock;
        clock.start();
        for (qint64 left = milliseconds; left > 0; left = milliseconds - clock.elapsed()) {
            pollfd watched{m_fd, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(left)) > 0) {
                char buffer[256];
                const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
                if (n > 0) {
                    answer.append(buffer, n);
                }
            }
        }
        return answer;
    }

private:
    int m_fd;
};

TEST(SimulatorFormats, AnswersRequestsOnItsLineAndLogsEachByName) {
    QTemporaryDir folder;
    const QString link = folder.path() + QStringLiteral("/Com1");
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(link, {"--protocol", "sma", "--weight", "fixed:12.345", "--refuse",
                                 "tare", "--answer-delay", "50"}))
        << sim.errors().toStdString();
    ReaderEnd reader(link);
    ASSERT_TRUE(reader.isOpen());

    EXPECT_EQ(reader.ask("\nW\r", 300), QByteArray("\n 1G      12.345kg \r"));
    EXPECT_EQ(reader.ask("\nT\r", 300), QByteArray("\nT1G      12.345kg \r"));
    EXPECT_EQ(reader.ask("\nZ\r", 300), QByteArray("\nZ1G       0.000kg \r"));
    EXPECT_EQ(reader.ask("SI\r\n", 300), QByteArray());

    // The event lines come a moment after the answers. "T" CR reads as a tare to the formats
    // whose commands end a line, too.
    QStringList requests;
    LiveWindow::waitFor(
        [&] {
            sim.collect();
            requests.clear();
            for (const SimulatorProcess::Event& event : sim.events()) {
                if (event.kind == QLatin1String("request")) {
                    requests << event.text;
                }
            }
            return requests.size() >= 9;
        },
        3000);
    EXPECT_EQ(requests.join(QStringLiteral(", ")).toStdString(),
              "8217 W, sma W, sics T, ad T, sma T, 8217 Z, sics Z, sma Z, sics SI");
}

}  // namespace
}  // namespace scale::test
