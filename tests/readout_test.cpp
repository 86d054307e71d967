// The weight readout: start-up appearance, its three states and the centring rule.
#include <gtest/gtest.h>

#include "support/formfixture.h"

namespace scale::test {
namespace {

const QByteArray kNegativeFrame = QByteArray::fromHex("022D303132333435323145 03");
const QByteArray kZeroFrame = QByteArray::fromHex("022B303030303030303142 03");

class ReadoutTest : public FormFixture {
protected:
    void receive(const QByteArray& bytes) {
        comm.feed(bytes + bytes);
        clock.runPending();
    }
    float centred(const QString& caption) const {
        return (view.outerWidth - FakeFormView::widthFor(caption, view.fontSize)) / 2.0f;
    }
};

TEST_F(ReadoutTest, StartsWaitingCentredAtItsNewSize) {
    start();
    EXPECT_EQ(view.readout, "Load...");
    EXPECT_EQ(view.foreColor, Form1::kRed);
    EXPECT_EQ(view.fontSize, 100.0f);
    EXPECT_EQ(view.top, 50.0f);
    ASSERT_GE(view.leftHistory.size(), 2u);
    // The change event centres the caption at the design size; the last step at 100 points.
    EXPECT_FLOAT_EQ(view.leftHistory[0],
                    (view.outerWidth - FakeFormView::widthFor("Load...", 80.25f)) / 2.0f);
    EXPECT_FLOAT_EQ(view.leftHistory[1],
                    view.outerWidth / 2.0f - FakeFormView::widthFor("Load...", 100.0f) / 2.0f);
    EXPECT_FLOAT_EQ(view.left, centred("Load..."));
}

TEST_F(ReadoutTest, NegativeWeightIsCaptionedTwiceAndCentredEachTime) {
    start();
    view.clearHistory();
    receive(kNegativeFrame);

    EXPECT_EQ(view.readoutHistory, std::vector<QString>({"123.45kg", "-123.45kg"}));
    ASSERT_EQ(view.leftHistory.size(), 2u);
    EXPECT_FLOAT_EQ(view.leftHistory[0], centred("123.45kg"));
    EXPECT_FLOAT_EQ(view.leftHistory[1], centred("-123.45kg"));
    EXPECT_EQ(view.foreColor, Form1::kGreen);
    EXPECT_EQ(Form1::kGreen, 1376020u);
}

TEST_F(ReadoutTest, ZeroWeightAndPortFailureDifferOnlyInColour) {
    start();
    receive(kZeroFrame);
    EXPECT_EQ(view.readout, "0kg");
    EXPECT_EQ(view.foreColor, Form1::kGreen);

    comm.busyPorts.insert(1);
    form->Command1_Click();
    EXPECT_EQ(view.readout, "0kg");
    EXPECT_EQ(view.foreColor, Form1::kRed);
}

TEST_F(ReadoutTest, CaptionWiderThanTheWindowGetsANegativeLeft) {
    view.outerWidth = 400.0f;
    start();
    receive(kNegativeFrame);
    EXPECT_LT(view.left, 0.0f);
    EXPECT_FLOAT_EQ(view.left, centred("-123.45kg"));
}

TEST_F(ReadoutTest, FocusRecentresWithoutTouchingTextOrColour) {
    start();
    receive(kNegativeFrame);
    view.clearHistory();
    view.outerWidth = 12000.0f;  // the window was resized

    form->Form_GotFocus();
    EXPECT_TRUE(view.readoutHistory.empty());
    EXPECT_EQ(view.readout, "-123.45kg");
    EXPECT_EQ(view.foreColor, Form1::kGreen);
    EXPECT_FLOAT_EQ(view.left, centred("-123.45kg"));
}

}  // namespace
}  // namespace scale::test
