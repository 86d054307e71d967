// Run by fontsets_test.cpp once per font set, in a process of its own: the selection boxes show
// every list item whole and from its start under whatever fonts this process finds. Prints the
// faces it found and, with SCALE_WINDOW_SHOT set, saves a picture of the window there.
#include <gtest/gtest.h>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QLineEdit>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

#include <cstdio>

#include "ui/mainwindow.h"
#include "ui/controls/selectionbox.h"

namespace scale {
namespace {

// Where a line edit lays out its text: inside its text margins, less the two pixels QLineEdit
// keeps either side.
QRect textRoom(const QLineEdit* edit) {
    return edit->contentsRect().marginsRemoved(edit->textMargins()).adjusted(2, 0, -2, 0);
}

// The face that draws `text` in `font`, fallbacks included.
QString drawingFace(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return runs.isEmpty() ? QString() : runs.first().rawFont().familyName();
}

TEST(BoxTexts, EveryItemShowsWholeAndFromItsStart) {
    MainWindow window;
    for (int n = 1; n <= 20; ++n) {
        window.addComboItem(1, QStringLiteral("Com%1").arg(n));
    }
    for (const char* baud : {"1200", "152000", "256000"}) {
        window.addComboItem(2, QString::fromLatin1(baud));
    }
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int number = 1; number <= 6; ++number) {
        auto* box = window.findChild<SelectionBox*>(QStringLiteral("Combo%1").arg(number));
        ASSERT_NE(box, nullptr);
        for (int index = 0; index < box->count(); ++index) {
            ASSERT_TRUE(window.setComboListIndex(number, index));
            QLineEdit* edit = box->lineEdit();
            box->grab();  // painting is where a line edit scrolls its text
            const QString text = box->itemText(index);
            const QRect room = textRoom(edit);
            EXPECT_EQ(edit->text(), text);
            EXPECT_GE(room.width(), edit->fontMetrics().horizontalAdvance(text))
                << text.toStdString() << " in " << drawingFace(edit->font(), text).toStdString();
            EXPECT_EQ(edit->cursorPosition(), 0) << text.toStdString();
            EXPECT_EQ(edit->cursorPositionAt(QPoint(room.left(), room.center().y())), 0)
                << text.toStdString();
        }
    }

    // The widest items, for the picture.
    const int shown[] = {19, 2, 2, 0, 1, 2};
    for (int number = 1; number <= 6; ++number) {
        ASSERT_TRUE(window.setComboListIndex(number, shown[number - 1]));
    }
    const QByteArray shot = qgetenv("SCALE_WINDOW_SHOT");
    if (!shot.isEmpty()) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(shot)));
    }

    QStringList cjk;
    for (const QString& family : {QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("Noto Serif CJK SC"),
                                  QStringLiteral("WenQuanYi Zen Hei")}) {
        if (QFontDatabase::hasFamily(family)) {
            cjk << family;
        }
    }
    const auto* parity = window.findChild<SelectionBox*>(QStringLiteral("Combo3"));
    const auto* mode = window.findChild<SelectionBox*>(QStringLiteral("Combo6"));
    std::printf("cjk families: %s\nbox texts drawn in: %s, %s\n",
                qPrintable(cjk.join(QStringLiteral(", "))),
                qPrintable(drawingFace(parity->font(), QStringLiteral("None"))),
                qPrintable(drawingFace(mode->font(), QStringLiteral("申通"))));
}

}  // namespace
}  // namespace scale
