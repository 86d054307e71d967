// A line is set up at standard and custom rates alike, and a closed one is seen gone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include "device/terminal/terminalline.h"

namespace scale {
namespace {

TEST(TerminalLine, TakesStandardAndCustomRatesAndSeesAClosedLineGone) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    for (const LineSettings& asked : {LineSettings{9600, Parity::Even, 7, StopBits::Two},
                                      LineSettings{256000, Parity::Odd, 8, StopBits::One},
                                      LineSettings{28400, Parity::None, 8, StopBits::One}}) {
        // A pseudo-terminal takes the raw set-up and any rate; which framings it keeps
        // depends on the kernel, and it may say it keeps none.
        const LineSetup setup = setTerminalLine(slave, asked);
        EXPECT_TRUE(setup == LineSetup::Done || setup == LineSetup::FramingRefused) << asked.baud;
    }
    EXPECT_FALSE(terminalGone(slave));
    ::close(master);
    ::close(slave);
    EXPECT_TRUE(terminalGone(slave));
}

}  // namespace
}  // namespace scale
