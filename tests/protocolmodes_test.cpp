// The three readers as the window shows them: the raw-data captions with their prefixes and the
// readout, for the protocols' worked frames.
#include <gtest/gtest.h>

#include "support/formfixture.h"

namespace scale::test {
namespace {

class ProtocolModesTest : public FormFixture {
protected:
    void startInMode(int mode) {
        writeSettings("0\r\n2\r\n2\r\n0\r\n0\r\n" + QByteArray::number(mode) + "\r\n");
        start();
    }
    void receive(const QByteArray& bytes) {
        comm.feed(bytes);
        clock.runPending();
    }
    QString label(FormView::Label which) { return view.labels[which]; }
};

TEST_F(ProtocolModesTest, ContinuousFrameAfterStrayBytes) {
    startInMode(0);
    const QByteArray chunk =
        QByteArray::fromHex("333139030 22B303132333435333139 03022B303132333435");
    receive(chunk);

    EXPECT_EQ(label(FormView::Label::Decimal), "十进制显示： 02 43 48 49 50 51 52 53 51 49 57 03");
    EXPECT_EQ(label(FormView::Label::Hex), "十六进制显示： 2 2B 30 31 32 33 34 35 33 31 39 3");
    EXPECT_EQ(label(FormView::Label::Characters),
              QStringLiteral("字符串： \x02 + 0 1 2 3 4 5 3 1 9 \x03"));
    EXPECT_EQ(view.readout, "12.345kg");
    EXPECT_EQ(view.foreColor, Form1::kGreen);
    EXPECT_EQ(form->state().WeightValue, 12.345);
    EXPECT_EQ(form->state().FrameSeen, -1);
}

TEST_F(ProtocolModesTest, CommandReplyAndItsRepeat) {
    startInMode(1);
    const QByteArray reply = QByteArray::fromHex("0241422B303132333435333141 03");
    receive(reply);
    EXPECT_EQ(label(FormView::Label::Decimal),
              "十进制显示： 02 65 66 43 48 49 50 51 52 53 51 49 65 03");
    EXPECT_EQ(label(FormView::Label::Hex),
              "十六进制显示： 2 41 42 2B 30 31 32 33 34 35 33 31 41 3");
    EXPECT_EQ(label(FormView::Label::Characters),
              QStringLiteral("字符串： \x02 A B + 0 1 2 3 4 5 3 1 A \x03"));
    EXPECT_EQ(view.readout, "12.345kg");

    view.clearHistory();
    receive(reply);
    EXPECT_TRUE(view.readoutHistory.empty());
    EXPECT_EQ(form->state().FrameSeen, -1);

    receive(QByteArray::fromHex("0241422D303031323334323138 03"));
    EXPECT_EQ(view.readout, "-12.34kg");
}

TEST_F(ProtocolModesTest, ShenTongFrame) {
    startInMode(2);
    receive(QByteArray::fromHex("3D352E3433323130 3D352E3433323130"));
    EXPECT_EQ(label(FormView::Label::Decimal), "十进制显示： 61 53 46 52 51 50 49 03");
    EXPECT_EQ(label(FormView::Label::Hex), "十六进制显示： 3D 35 2E 34 33 32 31 ");
    EXPECT_EQ(label(FormView::Label::Characters), "字符串： = 5 . 4 3 2 1 ");
    EXPECT_EQ(view.readout, "1234.5kg");
    EXPECT_EQ(view.foreColor, Form1::kGreen);
}

TEST_F(ProtocolModesTest, HighBytesShowAsOneCharacterEach) {
    startInMode(2);
    receive(QByteArray::fromHex("00FF3D80A0FFE9313233 0000000000000000"));
    EXPECT_EQ(label(FormView::Label::Decimal), "十进制显示： 61 128 160 255 233 49 50 03");
    EXPECT_EQ(label(FormView::Label::Characters),
              QStringLiteral("字符串： = \u0080 \u00A0 \u00FF \u00E9 1 2 "));
    // Read backwards the weight characters are "21éÿ", then the two others: 21.
    EXPECT_EQ(view.readout, "21kg");
}

TEST_F(ProtocolModesTest, ChunkWithoutFrameShowsOnlyTheTails) {
    startInMode(0);
    receive(QByteArray(24, 'x'));
    EXPECT_EQ(label(FormView::Label::Decimal), "十进制显示： 03");
    EXPECT_EQ(label(FormView::Label::Hex), "十六进制显示： 3");
    EXPECT_EQ(label(FormView::Label::Characters), QStringLiteral("字符串： \x03"));
    EXPECT_EQ(view.readout, "Load...");
}

TEST_F(ProtocolModesTest, DecimalSeparatorFollowsTheHost) {
    writeSettings("0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n");
    form = std::make_unique<Form1>(view, comm, timer1, timer3, folder.path(), QStringLiteral(","));
    form->Form_Load();
    receive(QByteArray::fromHex("022D303132333435323145 03022D303132333435323145 03"));
    EXPECT_EQ(view.readout, "-123,45kg");
    // The line settings keep their full stop.
    EXPECT_EQ(comm.Settings(), "2400,N,8,1");
}

}  // namespace
}  // namespace scale::test
