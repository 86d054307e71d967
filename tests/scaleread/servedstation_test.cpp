// A station served as another format's indicator: what each request is answered with while the
// weight is fresh, stale or lost, commands refused or passed on, and S waiting for a stable one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/scale-read/serve/servedstation.h"

namespace scaleread {
namespace {

class ServedStationTest : public ::testing::Test {
protected:
    // A frame of the continuous indicator: "12.34" kg.
    static scale::StreamFrame weight(const std::string& number, int decimals) {
        scale::StreamFrame frame;
        frame.number = number;
        frame.decimals = decimals;
        frame.unit = "kg";
        return frame;
    }
    void ask(ServedClient& client, const std::string& bytes, std::int64_t at) {
        client.received(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                        at);
    }
    ServedClient client(const char* format, ServedClient::Command command = {}) {
        return ServedClient(*servedFormatNamed(format), view,
                            [this](const std::string& answer) { answers.push_back(answer); },
                            std::move(command));
    }

    StationView view;
    std::vector<std::string> answers;
};

TEST_F(ServedStationTest, AWeightIsServedOnlyWhileFresh) {
    ServedClient sics = client("sics");
    ask(sics, "SI\r\n", 0);  // nothing read yet
    view.frame(weight("12.34", 2), true, 1'000'000);
    ask(sics, "S", 1'500'000);  // a request split across reads
    ask(sics, "I\r\n", 1'500'000);
    ask(sics, "SI\r\n", 3'000'001);  // more than 2 s after the frame
    view.frame(weight("-0.5", 1), false, 4'000'000);
    ask(sics, "SI\r\n", 4'000'000);
    view.portOpen(false);
    ask(sics, "SI\r\n", 4'000'000);
    EXPECT_EQ(answers, (std::vector<std::string>{"S I\r\n", "S S      12.34 kg\r\n", "S I\r\n",
                                                 "S D       -0.5 kg\r\n", "S I\r\n"}));

    answers.clear();
    ServedClient sma = client("sma");
    ServedClient pos = client("8217");
    ask(sma, "\nW\r", 4'000'000);
    ask(pos, "W", 4'000'000);
    EXPECT_EQ(answers, (std::vector<std::string>{"\n?\r", "\x02?A\r"}));
}

TEST_F(ServedStationTest, ANonKgWeightOrAnErrorIsNoWeight) {
    ServedClient sics = client("sics");
    scale::StreamFrame pounds = weight("26.5", 1);
    pounds.unit = "lb";
    view.frame(pounds, true, 0);
    ask(sics, "SI\r\n", 0);
    scale::StreamFrame over;
    over.error = scale::FrameError::Overload;
    view.frame(over, false, 0);
    ask(sics, "SI\r\n", 0);
    scale::StreamFrame busy;
    busy.error = scale::FrameError::Busy;
    view.frame(busy, false, 0);
    ask(sics, "SI\r\n", 0);
    EXPECT_EQ(answers, (std::vector<std::string>{"S I\r\n", "S +\r\n", "S I\r\n"}));
}

TEST_F(ServedStationTest, StableWaitsForAStableFreshWeightAndResetCancelsIt) {
    ServedClient sics = client("sics");
    view.frame(weight("1.00", 2), false, 0);
    ask(sics, "S\r\n", 0);
    sics.frameArrived(0);
    EXPECT_TRUE(answers.empty());
    view.frame(weight("1.02", 2), true, 100'000);
    sics.frameArrived(100'000);
    ask(sics, "S\r\n", 200'000);  // stable now: at once
    view.frame(weight("1.02", 2), false, 300'000);
    ask(sics, "S\r\n", 300'000);
    ask(sics, "@\r\n", 300'000);
    view.frame(weight("1.02", 2), true, 400'000);
    sics.frameArrived(400'000);
    EXPECT_EQ(answers, (std::vector<std::string>{"S S       1.02 kg\r\n", "S S       1.02 kg\r\n",
                                                 "I4 A \"scale-read\"\r\n"}));
}

TEST_F(ServedStationTest, CommandsAreRefusedUnlessAllowedAndThenPassOnWithTheirResult) {
    view.frame(weight("5.000", 3), true, 0);
    ServedClient refusing = client("sics");
    ask(refusing, "Z\r\nT\r\nTAC\r\nXY\r\n", 0);
    ServedClient sma = client("sma");
    ask(sma, "\nZ\r", 0);
    EXPECT_EQ(answers, (std::vector<std::string>{"Z I\r\n", "T I\r\n", "TAC I\r\n", "ES\r\n",
                                                 "\nE1G       5.000kg \r"}));

    answers.clear();
    std::vector<CommandKind> sent;
    std::vector<ServedClient::CommandDone> pending;
    ServedClient allowed =
        client("sics", [&](CommandKind kind, ServedClient::CommandDone done) {
            sent.push_back(kind);
            pending.push_back(std::move(done));
        });
    ask(allowed, "Z\r\nT\r\n", 0);
    ASSERT_EQ(sent, (std::vector<CommandKind>{CommandKind::Zero, CommandKind::Tare}));
    pending[0](CommandResult::NoAnswer);
    pending[1](CommandResult::Done);
    EXPECT_EQ(answers, (std::vector<std::string>{"Z I\r\n", "T S      5.000 kg\r\n"}));
}

}  // namespace
}  // namespace scaleread
