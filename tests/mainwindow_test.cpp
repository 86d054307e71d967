// The real window offscreen: design geometry, the selection boxes' text/position rules, focus
// order and what the raw-data labels draw.
#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ui/mainwindow.h"
#include "ui/controls/selectionbox.h"
#include "ui/controls/visibletext.h"

namespace scale {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    template <typename T>
    T* child(const char* name) {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    // The named control holding the focus (an editable box's focus sits in its line edit).
    static QString focusedControl() {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->objectName().isEmpty()) {
            focus = focus->parentWidget();
        }
        return focus ? focus->objectName() : QStringLiteral("<none>");
    }
    MainWindow window;
};

TEST_F(MainWindowTest, ControlsSitAtTheirDesignPlacesAtNinetySixDpi) {
    ASSERT_EQ(window.logicalDpiX(), 96);
    EXPECT_EQ(window.size(), QSize(554, 297));  // 8310 x 4455 twips
    EXPECT_EQ(window.windowTitle(), "数据记录系统");
    EXPECT_EQ(child<QGroupBox>("Frame1")->geometry(), QRect(32, 144, 489, 137));
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), "参数设置");
    EXPECT_EQ(child<QPushButton>("Command1")->geometry(), QRect(344, 96, 105, 25));
    EXPECT_EQ(child<QPushButton>("Command1")->text(), "导入");
    EXPECT_EQ(child<QComboBox>("Combo1")->pos(), QPoint(24, 56));
    EXPECT_EQ(child<QComboBox>("Combo6")->width(), 65);
    EXPECT_EQ(child<QLabel>("Label3_0")->text(), "端口");
    EXPECT_EQ(child<QLabel>("Label3_2")->pos(), QPoint(204, 32));
    EXPECT_EQ(child<QLabel>("Label2_0")->text(), "软件设计：qorvel");
    EXPECT_EQ(child<QLabel>("Label2_2")->text(), "设计时间：2010-08-04");
    EXPECT_EQ(child<QLabel>("Label4")->pos(), QPoint(40, 312));  // below the client area
    EXPECT_EQ(child<QLabel>("Label1")->text(), "0.000");
    EXPECT_TRUE(child<QLabel>("Label1")->font().bold());
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().availableSizes().value(0), QSize(32, 32));
}

TEST_F(MainWindowTest, BoxesShowDesignTextsWithNothingSelected) {
    const char* names[] = {"Combo1", "Combo2", "Combo3", "Combo4", "Combo5", "Combo6"};
    const QStringList texts = {"Com1", "2400", "None", "8", "1", "连续"};
    for (int box = 1; box <= 6; ++box) {
        EXPECT_EQ(window.comboText(box), texts[box - 1]) << names[box - 1];
        EXPECT_EQ(window.comboListIndex(box), -1) << names[box - 1];
    }
    auto* parity = child<QComboBox>("Combo3");
    EXPECT_EQ(parity->count(), 3);
    EXPECT_EQ(parity->itemText(0), "Even");
    EXPECT_EQ(child<QComboBox>("Combo6")->itemText(2), "申通");
    EXPECT_EQ(child<QComboBox>("Combo4")->itemText(4), "4");
}

TEST_F(MainWindowTest, FillingAndTypingChooseNothing) {
    window.addComboItem(2, "600");
    window.addComboItem(2, "1200");
    EXPECT_EQ(window.comboText(2), "2400");
    EXPECT_EQ(window.comboListIndex(2), -1);

    EXPECT_TRUE(window.setComboListIndex(2, 1));
    EXPECT_EQ(window.comboText(2), "1200");
    EXPECT_FALSE(window.setComboListIndex(2, 2));
    EXPECT_FALSE(window.setComboListIndex(2, -2));
    EXPECT_EQ(window.comboListIndex(2), 1);

    // The operator types a value that is also in the list and presses Enter.
    auto* baud = child<SelectionBox>("Combo2");
    baud->lineEdit()->selectAll();
    QTest::keyClicks(baud->lineEdit(), "600");
    QTest::keyClick(baud->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(window.comboText(2), "600");
    EXPECT_EQ(window.comboListIndex(2), -1);
    EXPECT_EQ(baud->count(), 2);

    EXPECT_TRUE(window.setComboListIndex(2, -1));
    EXPECT_EQ(window.comboText(2), "");
}

TEST_F(MainWindowTest, PortItemsShowTheDeviceTheyReach) {
    QStringList devices = {"/dev/ttyUSB0", "/dev/pts/7"};
    int asked = 0;
    window.setPortDevices([&] {
        ++asked;
        return devices;
    });
    for (int n = 1; n <= 3; ++n) {
        window.addComboItem(1, QStringLiteral("Com%1").arg(n));
    }
    auto* ports = child<QComboBox>("Combo1");
    // Filling the list at start-up leaves the host alone; opening the list asks it.
    EXPECT_EQ(asked, 0);
    ports->showPopup();
    ports->hidePopup();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString(), "/dev/ttyUSB0");
    EXPECT_EQ(ports->itemData(1, Qt::ToolTipRole).toString(), "/dev/pts/7");
    EXPECT_EQ(ports->itemData(2, Qt::ToolTipRole).toString(), "");

    // Looked up again whenever the list opens: an adapter plugged in since shows up.
    devices << "/dev/ttyACM0";
    ports->showPopup();
    EXPECT_EQ(ports->itemData(2, Qt::ToolTipRole).toString(), "/dev/ttyACM0");
    ports->hidePopup();
}

TEST_F(MainWindowTest, FocusOrderRunsFromTheApplyButtonAndSkipsItWhenDisabled) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QStringList order = {"Command1", "Combo6", "Combo1", "Combo4",
                               "Combo5",   "Combo2", "Combo3", "Command1"};
    window.focusFirstControl();
    QStringList visited;
    for (int i = 0; i < order.size(); ++i) {
        visited << focusedControl();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, order);

    window.setApplyEnabled(false);
    window.focusFirstControl();
    EXPECT_EQ(focusedControl(), "Combo6");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focusedControl(), "Combo3");
}

TEST_F(MainWindowTest, RawLabelsDrawControlCharactersVisiblyOnOneLine) {
    const QString caption = QStringLiteral("字符串： \x02 A \n \x7F \u0085 \u00E9 \x03");
    window.setLabelCaption(FormView::Label::Characters, caption);
    EXPECT_EQ(window.labelCaption(FormView::Label::Characters), caption);
    EXPECT_EQ(child<QLabel>("Label6")->text(),
              QStringLiteral("字符串： \u2402 A \u240A \u2421 \uFFFD \u00E9 \u2403"));
    EXPECT_EQ(visibleText(caption).size(), caption.size());
}

TEST_F(MainWindowTest, ReadoutReportsItsWidthInTwipsAndFollowsLeft) {
    window.setReadoutFontSize(100.0f);
    window.setReadoutCaption("Load...");
    auto* readout = child<QLabel>("Label1");
    EXPECT_FLOAT_EQ(window.readoutWidth(), static_cast<float>(readout->width() * 15));
    window.setReadoutLeft(-150.0f);
    window.setReadoutTop(50.0f);
    EXPECT_EQ(readout->pos(), QPoint(-10, 3));
    window.setReadoutForeColor(255);
    EXPECT_EQ(readout->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(MainWindowTest, OuterWidthIsKnownBeforeTheWindowIsShown) {
    // Start-up centres the readout before the window is shown, the first activation after.
    const float beforeShow = window.formWidth();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FLOAT_EQ(window.formWidth(), beforeShow);
    EXPECT_FLOAT_EQ(beforeShow, static_cast<float>(window.frameGeometry().width() * 15));
}

// The readout draws its glyphs from images of its own: the same picture as a plain label shows,
// give or take the antialiased edges, and never a blank one.
TEST_F(MainWindowTest, ReadoutDrawsWhatAPlainLabelDraws) {
    window.setReadoutFontSize(100.0f);
    window.setReadoutForeColor(255);
    for (const QString& caption : {QStringLiteral("Load..."), QStringLiteral("-123.45kg")}) {
        window.setReadoutCaption(caption);
        auto* readout = child<QLabel>("Label1");
        QLabel plain(caption);
        plain.setFont(readout->font());
        plain.setPalette(readout->palette());
        plain.resize(readout->size());
        const QImage drawn = readout->grab().toImage();
        const QImage expected = plain.grab().toImage();
        ASSERT_EQ(drawn.size(), expected.size());
        int differing = 0;
        int red = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                differing += drawn.pixel(x, y) != expected.pixel(x, y) ? 1 : 0;
                red += drawn.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
            }
        }
        const int pixels = drawn.width() * drawn.height();
        EXPECT_LT(differing, pixels / 20) << caption.toStdString();
        EXPECT_GT(red, pixels / 10) << caption.toStdString();
    }
}

// The raw-data labels are resized cheaply on every chunk; they must still fit their whole text.
TEST_F(MainWindowTest, RawDataLabelsFitEachNewCaption) {
    const QString captions[] = {
        QStringLiteral("十六进制显示： 2 3"),
        QStringLiteral("十六进制显示： 2 41 42 2B 30 34 35 36 37 38 32 31 32 3"),
        QStringLiteral("十六进制显示： 3D")};
    auto* label = child<QLabel>("Label5");
    for (const QString& caption : captions) {
        window.setLabelCaption(FormView::Label::Hex, caption);
        EXPECT_EQ(label->text(), caption);
        EXPECT_GE(label->width(), label->sizeHint().width()) << caption.toStdString();
        EXPECT_GE(label->height(), label->sizeHint().height()) << caption.toStdString();
    }
}

}  // namespace
}  // namespace scale
