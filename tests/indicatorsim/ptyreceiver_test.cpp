#include "tools/indicator-sim/line/pty/ptyreceiver.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/indicator-sim/eventlog.h"
#include "tools/indicator-sim/line/linemodel.h"
#include "tools/indicator-sim/line/pty/ptyline.h"

namespace indicatorsim {
namespace {

TEST(PtyReceiver, ReadsFramingAndErrorHandlingFromTheTermiosFlags) {
    const struct {
        unsigned inputFlags, controlFlags, inputBaud, outputBaud;
        std::string text;
        bool checkErrors, ignoreErrors, markErrors;
    } cases[] = {
        {0, CS8 | CREAD, 9600, 9600, "9600,N,8,1", false, false, false},
        {INPCK, CS7 | PARENB, 0, 28400, "28400,E,7,1", true, false, false},
        {INPCK | IGNPAR, CS5 | PARENB | PARODD | CSTOPB, 4800, 19200, "4800,O,5,2", true, true,
         false},
        {PARMRK, CS6 | PARENB | PARODD | CMSPAR, 1200, 1200, "1200,M,6,1", false, false, true},
        {0, CS8 | PARENB | CMSPAR, 1200, 1200, "1200,S,8,1", false, false, false},
    };
    for (const auto& c : cases) {
        const ReceiverSettings receiver =
            receiverFromTermios(c.inputFlags, c.controlFlags, c.inputBaud, c.outputBaud);
        EXPECT_EQ(receiverText(receiver), c.text);
        EXPECT_EQ(receiver.checkErrors, c.checkErrors) << c.text;
        EXPECT_EQ(receiver.ignoreErrors, c.ignoreErrors) << c.text;
        EXPECT_EQ(receiver.markErrors, c.markErrors) << c.text;
    }
}

TEST(PtyReceiver, TheOtherSideGetsWhatItsBaudMakesOfTheLine) {
    const std::string folder = ::testing::TempDir() + "ptyreceiver" + std::to_string(::getpid());
    PtyLine line(folder + "/Com1");
    const int other = ::open(line.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(other, &settings), 0);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    ASSERT_EQ(::tcsetattr(other, TCSANOW, &settings), 0);

    const ReceiverSettings receiver = readReceiverSettings(line.fd());
    EXPECT_EQ(receiverText(receiver), "9600,N,8,1");
    const LineModel model({19200, Parity::None, 8, StopBits::One});
    line.send(model.deliver(std::vector<std::uint8_t>{0x00}, receiver));

    pollfd readable{other, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 2000), 1);
    std::uint8_t buffer[16];
    const ssize_t count = ::read(other, buffer, sizeof buffer);
    ASSERT_GT(count, 0);
    EXPECT_EQ(hexBytes(std::span(buffer, static_cast<std::size_t>(count))), "F8");
    ::close(other);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace indicatorsim
