// Start-up and apply against the fake window, port and clock: what is opened, restored, armed
// and saved, and what the operator sees when something fails.
#include <gtest/gtest.h>

#include "support/formfixture.h"

namespace scale::test {
namespace {

using StartupTest = FormFixture;

TEST_F(StartupTest, FirstRunWritesDefaultsAndArmsContinuousMode) {
    const Form1& f = start();

    EXPECT_EQ(readSettings(), QByteArray("0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n"));
    const QStringList shown = {view.boxes[0].text, view.boxes[1].text, view.boxes[2].text,
                               view.boxes[3].text, view.boxes[4].text, view.boxes[5].text};
    EXPECT_EQ(shown, QStringList({"Com1", "2400", "None", "8", "1", "连续"}));
    EXPECT_EQ(f.state().ProtocolMode, 0);
    EXPECT_EQ(f.state().ReadLength, 24);
    EXPECT_EQ(comm.InputLen(), 24);
    EXPECT_EQ(comm.RThreshold(), 24);
    EXPECT_EQ(comm.InputMode(), 1);
    EXPECT_TRUE(timer3.running());
    EXPECT_EQ(timer3.Interval(), 500);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(view.apply);
}

TEST_F(StartupTest, FillsWindowTextsAndListsWithoutSelectingAnything) {
    start();
    EXPECT_EQ(view.windowCaption, "通信测试程序");
    EXPECT_EQ(view.labels[FormView::Label::Version], "软件版本：V1.2");
    ASSERT_EQ(view.boxes[0].items.size(), 20);
    EXPECT_EQ(view.boxes[0].items.front(), "Com1");
    EXPECT_EQ(view.boxes[0].items.back(), "Com20");
    EXPECT_EQ(view.boxes[1].items,
              QStringList({"600", "1200", "2400", "4800", "9600", "14400", "19200", "28800",
                           "28400", "57600", "152000", "128000", "256000"}));
}

TEST_F(StartupTest, OpensDesignSettingsFirstThenReopensOnceForApply) {
    writeSettings("2\r\n4\r\n0\r\n1\r\n1\r\n0\r\n");
    start();

    EXPECT_EQ(comm.opens, 2);
    EXPECT_EQ(comm.closes, 1);
    ASSERT_EQ(comm.openedPorts.size(), 2u);
    // The first open uses the boxes' design texts: port 1 at 2400,N,8,1.
    EXPECT_EQ(comm.openedPorts[0], 1);
    EXPECT_EQ(comm.openedSettings[0], (LineSettings{2400, Parity::None, 8, StopBits::One}));
    EXPECT_EQ(comm.openedPorts[1], 3);
    EXPECT_EQ(comm.openedSettings[1], (LineSettings{9600, Parity::Even, 7, StopBits::Two}));
    EXPECT_EQ(comm.Settings(), "9600,E,7,2");
}

TEST_F(StartupTest, RestoresCommandModeFromTheFile) {
    writeSettings("0\r\n2\r\n2\r\n0\r\n0\r\n1\r\n");
    const Form1& f = start();

    EXPECT_EQ(f.state().ProtocolMode, 1);
    EXPECT_EQ(f.state().ReadLength, 14);
    EXPECT_EQ(timer1.Interval(), 1);
    EXPECT_TRUE(timer1.Enabled());
    EXPECT_FALSE(timer3.Enabled());
}

TEST_F(StartupTest, ShortFileKeepsTheRemainingBoxesAndIsRewrittenWhole) {
    writeSettings("1\r\n4\r\n2\r\n");
    start();

    EXPECT_EQ(view.boxes[0].text, "Com2");
    EXPECT_EQ(view.boxes[1].text, "9600");
    EXPECT_EQ(view.boxes[2].text, "None");
    EXPECT_EQ(view.boxes[3].listIndex, -1);
    EXPECT_EQ(view.boxes[3].text, "8");
    EXPECT_EQ(view.boxes[5].text, "连续");
    EXPECT_EQ(comm.openedPorts.back(), 2);
    EXPECT_EQ(readSettings(), QByteArray("1\r\n4\r\n2\r\n-1\r\n-1\r\n-1\r\n"));
}

TEST_F(StartupTest, UnusableFilesAreReplacedByTheDefaults) {
    const QByteArray unusable[] = {
        "",                      // nothing to read
        "99\r\n4\r\n",           // more than the port list holds
        "0\r\n2\r\n2\r\n9\r\n",  // more than the data-bits list holds
        "-2\r\n",                // below "nothing selected"
        "40000\r\n",             // does not fit 16 bits
        "0\r\n2\r\n3.5\r\n",     // rounds to 4, beyond the parity list
    };
    for (const QByteArray& text : unusable) {
        SCOPED_TRACE(text.toStdString());
        FakeFormView freshView;
        view = freshView;
        writeSettings(text);
        start();
        EXPECT_EQ(readSettings(), QByteArray("0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n"));
        EXPECT_EQ(view.boxes[0].listIndex, 0);
        EXPECT_EQ(view.boxes[1].listIndex, 2);
        EXPECT_EQ(view.boxes[5].listIndex, 0);
    }
}

TEST_F(StartupTest, FieldsRoundHalvesToEvenAndJunkReadsAsZero) {
    comm.existingPorts.insert(5);
    writeSettings("3.5\r\n2.5\r\njunk\r\n0\r\n\"1\"\r\n-1\r\n");
    const Form1& f = start();

    EXPECT_EQ(view.boxes[0].listIndex, 4);
    EXPECT_EQ(view.boxes[1].listIndex, 2);
    EXPECT_EQ(view.boxes[2].listIndex, 0);
    EXPECT_EQ(view.boxes[4].listIndex, 1);
    // No mode selected: the text is cleared and continuous mode is armed.
    EXPECT_EQ(view.boxes[5].listIndex, -1);
    EXPECT_EQ(view.boxes[5].text, "");
    EXPECT_EQ(f.state().ProtocolMode, 0);
    EXPECT_EQ(comm.openedPorts.back(), 5);
    EXPECT_EQ(comm.Settings(), "2400,E,8,2");
}

TEST_F(StartupTest, NoSelectionInThePortBoxOpensPortOne) {
    writeSettings("-1\r\n2\r\n2\r\n0\r\n0\r\n0\r\n");
    start();
    EXPECT_EQ(view.boxes[0].text, "");
    EXPECT_EQ(comm.CommPort(), 1);
    EXPECT_EQ(comm.openedPorts.back(), 1);
}

TEST_F(StartupTest, UnwritableSettingsAreReportedAndArmingStays) {
    // A folder that cannot be made: a file stands in its place (running as root, modes would not
    // stop a write).
    QFile blocker(folder.path() + QStringLiteral("/not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    form = std::make_unique<Form1>(view, comm, timer1, timer3,
                                   folder.path() + QStringLiteral("/not-a-folder"));
    form->Form_Load();
    clock.runPending();

    const QString message = QStringLiteral("设置无法保存：") + folder.path() +
                            QStringLiteral("/not-a-folder/Setting.ini");
    // Once for the defaults that replace the unreadable file, once for apply's save.
    EXPECT_EQ(view.messages, std::vector<QString>({message, message}));
    EXPECT_EQ(form->state().ProtocolMode, 0);
    EXPECT_TRUE(comm.PortOpen());
    EXPECT_TRUE(timer3.running());
    EXPECT_EQ(view.readout, "Load...");
}

TEST_F(StartupTest, WithNoPortArmingFailsVisibly) {
    struct Case {
        const char* file;
        std::int16_t mode;
        bool applyStaysEnabled;
    };
    const Case cases[] = {{"0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n", 0, false},
                          {"0\r\n2\r\n2\r\n0\r\n0\r\n1\r\n", 1, true},
                          {"0\r\n2\r\n2\r\n0\r\n0\r\n2\r\n", 2, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        FakeFormView freshView;
        view = freshView;
        comm.existingPorts.clear();
        writeSettings(c.file);
        const Form1& f = start();

        EXPECT_EQ(view.messages,
                  std::vector<QString>({"端口不存在或正在被使用！", "端口不存在或正在被使用！"}));
        EXPECT_EQ(f.state().ProtocolMode, c.mode);
        EXPECT_EQ(view.readout, "0kg");
        EXPECT_EQ(view.foreColor, Form1::kRed);
        EXPECT_EQ(view.apply, c.applyStaysEnabled);
        EXPECT_FALSE(timer3.Enabled());
        if (c.mode == 1) {
            EXPECT_EQ(timer1.Interval(), 0);  // the poll timer was never started
        }
    }
}

TEST_F(StartupTest, ApplyStoresTheModeBeforeArmingAndSavesIt) {
    Form1& f = start();
    std::int16_t modeWhileArming = -100;
    comm.onDiscardInput = [&] { modeWhileArming = f.state().ProtocolMode; };

    view.boxes[5].listIndex = 1;
    view.boxes[5].text = "指令";
    f.Command1_Click();

    EXPECT_EQ(modeWhileArming, 1);
    EXPECT_EQ(f.state().ProtocolMode, 1);
    EXPECT_EQ(readSettings(), QByteArray("0\r\n2\r\n2\r\n0\r\n0\r\n1\r\n"));
    EXPECT_EQ(comm.opens, 3);
    EXPECT_EQ(comm.closes, 2);
}

TEST_F(StartupTest, ApplyReopensAPortThatWentAway) {
    Form1& f = start();
    comm.unplug();
    EXPECT_FALSE(comm.PortOpen());
    clock.advance(500);
    EXPECT_EQ(view.readout, "Load...");

    comm.existingPorts.insert(1);
    view.messages.clear();
    f.Command1_Click();
    EXPECT_TRUE(comm.PortOpen());
    EXPECT_TRUE(view.messages.empty());
}

}  // namespace
}  // namespace scale::test
