// The port procedures: line settings from the boxes' texts, the port from the port box's list
// position, and the two message boxes.
#include <gtest/gtest.h>

#include "support/formfixture.h"

namespace scale::test {
namespace {

class PortSetupTest : public FormFixture {
protected:
    // Start-up, then the boxes as given and one press of apply.
    void applyWith(const QStringList& texts, int portPosition) {
        start();
        view.messages.clear();
        for (int i = 1; i < 5; ++i) {
            view.boxes[static_cast<std::size_t>(i)].text = texts[i - 1];
            view.boxes[static_cast<std::size_t>(i)].listIndex = -1;
        }
        view.boxes[0].listIndex = portPosition;
        form->Command1_Click();
    }
};

TEST_F(PortSetupTest, SettingsComeFromTheTextsAndThePortFromThePosition) {
    struct Case {
        QStringList texts;  // baud, parity, data bits, stop bits
        int portPosition;
        QString settings;
        std::int16_t port;
    };
    const Case cases[] = {
        {{"2400", "None", "8", "1"}, -1, "2400,N,8,1", 1},
        {{"9600", "Even", "7", "2"}, 2, "9600,E,7,2", 3},
        {{"4800", " Odd", "8", "1"}, 0, "4800,O,8,1", 1},
        {{" 96 00x", "None ", "8", "1"}, 1, "9600,N,8,1", 2},
        {{"28400", "Even", "8", "1.5"}, 0, "28400,E,8,1.5", 1},
        {{"152000", "Odd", "5", "1"}, 19, "152000,O,5,1", 20},
        {{"256000", "None", "6", "2"}, 0, "256000,N,6,2", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings.toStdString());
        applyWith(c.texts, c.portPosition);
        EXPECT_EQ(comm.Settings(), c.settings);
        EXPECT_EQ(comm.CommPort(), c.port);
        EXPECT_EQ(view.messages.size(), c.port <= 3 ? 0u : 1u);  // only ports 1 to 3 exist
    }
}

TEST_F(PortSetupTest, RefusedSettingsLeaveThePortNumberAlone) {
    const QStringList refused[] = {
        {"", "None", "8", "1"},        // baud 0
        {"abc", "None", "8", "1"},     // baud 0
        {"2400.5", "None", "8", "1"},  // not a whole baud
        {"2400", "", "8", "1"},        // no parity letter
        {"2400", "Xtra", "8", "1"},    // unknown parity
        {"2400", "None", "4", "1"},    // 4 data bits: the host cannot
        {"2400", "None", "9", "1"},   {"2400", "None", "8", "3"}, {"2400", "None", "8", "-1"},
    };
    for (const QStringList& texts : refused) {
        SCOPED_TRACE(texts.join(',').toStdString());
        applyWith(texts, 2);
        ASSERT_FALSE(view.messages.empty());
        EXPECT_EQ(view.messages.front(), "指定端口不存在或者正在被使用！");
        EXPECT_EQ(comm.CommPort(), 1);  // as start-up left it
        EXPECT_EQ(comm.Settings(), "2400,N,8,1");
    }
}

TEST_F(PortSetupTest, AHeldPortIsReportedOnceAndStaysClosed) {
    start();
    view.messages.clear();
    comm.busyPorts.insert(1);
    form->Command1_Click();

    EXPECT_EQ(view.messages, std::vector<QString>({"端口不存在或正在被使用！"}));
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_EQ(view.readout, "0kg");
}

TEST_F(PortSetupTest, TypedPortNameWithoutChoosingSelectsPortOne) {
    start();
    view.boxes[0].text = "Com3";
    view.boxes[0].listIndex = -1;
    form->Command1_Click();
    EXPECT_EQ(comm.CommPort(), 1);
}

}  // namespace
}  // namespace scale::test
