// The simulator reads a settings text as the window and the reader do, and refuses only the
// framings it cannot send.
#include <gtest/gtest.h>

#include "device/linesettings.h"
#include "tools/indicator-sim/line/device/serialsettings.h"
#include "tools/indicator-sim/cli/usageerror.h"

namespace indicatorsim {
namespace {

TEST(SerialSettingsText, TheSimulatorSendsWhatTheReaderListensFor) {
    for (const char* text : {"9600,N,8,1", "256000,e,7,2", " 28400 , O , 5 , 1 ", "152000,n,+6,2"}) {
        const auto listened = scale::parseLineSettings(text);
        ASSERT_TRUE(listened) << text;
        EXPECT_EQ(parseSerialSettings(text), *listened) << text;
    }
    for (const char* text : {"9600,M,8,1", "9600,S,8,1", "9600,N,8,1.5", "4294977296,N,8,1"}) {
        EXPECT_THROW(parseSerialSettings(text), UsageError) << text;
    }
}

}  // namespace
}  // namespace indicatorsim
