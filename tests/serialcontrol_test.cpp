// The serial control's contract, on the fake device: what is refused, what fails while closed,
// and when the receive event is raised.
#include <gtest/gtest.h>

#include "support/fakeserialcontrol.h"

namespace scale::test {
namespace {

class SerialControlTest : public ::testing::Test {
protected:
    SerialControlTest() : comm(clock) {
        comm.setOnComm([this] { events.push_back(comm.CommEvent()); });
    }
    ManualClock clock;
    FakeSerialControl comm;
    std::vector<std::int16_t> events;
};

TEST_F(SerialControlTest, SettingsAreValidatedWhenSet) {
    const char* accepted[] = {"2400,N,8,1",   "28400,E,7,2", "152000,O,5,1.5",
                              "256000,n,6,1", "9600,M,8,1",  "300,S,8,2"};
    for (const char* text : accepted) {
        EXPECT_TRUE(comm.setSettings(QString::fromLatin1(text))) << text;
        EXPECT_EQ(comm.Settings(), QString::fromLatin1(text));
    }
    const char* refused[] = {
        "0,N,8,1",    "-9600,N,8,1", "9600.5,N,8,1", "9600,X,8,1",  "9600,N,4,1", "9600,N,9,1",
        "9600,N,8,0", "9600,N,8,3",  "9600,N,8",     "9600,N,8,1,", "",           "abc,N,8,1"};
    for (const char* text : refused) {
        EXPECT_FALSE(comm.setSettings(QString::fromLatin1(text))) << text;
        EXPECT_EQ(comm.Settings(), "300,S,8,2") << text;
    }
}

TEST_F(SerialControlTest, PortNumberIsOneToTwentyAndOnlyChangesWhileClosed) {
    EXPECT_FALSE(comm.setCommPort(0));
    EXPECT_FALSE(comm.setCommPort(21));
    EXPECT_TRUE(comm.setCommPort(20));
    EXPECT_TRUE(comm.setCommPort(2));
    ASSERT_TRUE(comm.setPortOpen(true));
    EXPECT_FALSE(comm.setCommPort(3));
    EXPECT_EQ(comm.CommPort(), 2);
    EXPECT_FALSE(comm.setPortOpen(true));  // already open
    EXPECT_TRUE(comm.setPortOpen(false));
    EXPECT_TRUE(comm.setPortOpen(false));  // closing a closed port is fine
    EXPECT_TRUE(comm.setCommPort(3));
}

TEST_F(SerialControlTest, BuffersAndDataFailWhileClosed) {
    EXPECT_TRUE(comm.setInputMode(1));
    EXPECT_TRUE(comm.setInputLen(24));
    EXPECT_TRUE(comm.setRThreshold(24));
    EXPECT_FALSE(comm.setInBufferCount(0));
    EXPECT_FALSE(comm.setOutBufferCount(0));
    EXPECT_FALSE(comm.InBufferCount().has_value());
    EXPECT_FALSE(comm.Input().has_value());
    EXPECT_FALSE(comm.setOutput("x"));

    ASSERT_TRUE(comm.setPortOpen(true));
    EXPECT_TRUE(comm.setInBufferCount(0));
    EXPECT_TRUE(comm.setOutBufferCount(0));
    EXPECT_TRUE(comm.setOutput("x"));
    EXPECT_FALSE(comm.setInBufferCount(5));  // only emptying is possible
}

TEST_F(SerialControlTest, ReceiveEventIsPostedOnceTheThresholdIsReached) {
    ASSERT_TRUE(comm.setPortOpen(true));
    ASSERT_TRUE(comm.setInputMode(1));
    ASSERT_TRUE(comm.setInputLen(4));
    ASSERT_TRUE(comm.setRThreshold(5));

    comm.feed("abcd");
    clock.runPending();
    EXPECT_TRUE(events.empty());

    comm.feed("efg");
    EXPECT_TRUE(events.empty());  // queued, never raised inside the caller
    clock.runPending();
    EXPECT_EQ(events, std::vector<std::int16_t>({SerialControl::kEventReceive}));

    EXPECT_EQ(comm.InBufferCount(), std::optional<std::int16_t>(7));
    EXPECT_EQ(comm.Input(), std::optional<QByteArray>("abcd"));
    EXPECT_EQ(comm.Input(), std::optional<QByteArray>("efg"));
}

TEST_F(SerialControlTest, EventForBytesAlreadyTakenIsDropped) {
    ASSERT_TRUE(comm.setPortOpen(true));
    ASSERT_TRUE(comm.setRThreshold(2));
    comm.feed("ab");
    ASSERT_TRUE(comm.setInBufferCount(0));
    clock.runPending();
    EXPECT_TRUE(events.empty());
}

TEST_F(SerialControlTest, TextModeInputIsNoByteArray) {
    ASSERT_TRUE(comm.setPortOpen(true));
    comm.feed("abc");
    EXPECT_FALSE(comm.Input().has_value());
    ASSERT_TRUE(comm.setInputMode(1));
    EXPECT_EQ(comm.Input(), std::optional<QByteArray>("abc"));  // InputLen 0 takes everything
}

TEST_F(SerialControlTest, ThresholdZeroNeverRaisesTheEvent) {
    ASSERT_TRUE(comm.setPortOpen(true));
    comm.feed(QByteArray(100, 'x'));
    clock.runPending();
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace scale::test
