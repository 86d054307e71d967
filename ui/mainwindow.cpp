#include "ui/mainwindow.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <cmath>

#include "ui/fonts.h"
#include "ui/controls/readoutlabel.h"
#include "ui/controls/selectionbox.h"
#include "ui/controls/visibletext.h"
#include "ui/windowframe.h"
#include "ui/windowicon.h"

namespace scale {
namespace {

constexpr int kClientWidth = 8310;
constexpr int kClientHeight = 4455;

QColor fromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFFu), static_cast<int>((bgr >> 8u) & 0xFFu),
                  static_cast<int>((bgr >> 16u) & 0xFFu));
}

QFont chineseFont(const QString& family, double points, int weight) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(static_cast<QFont::Weight>(weight));
    return font;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    installFontSubstitutes();
    setObjectName(QStringLiteral("Form1"));
    // The window's default font is the one Chinese desktops give dialogs: narrow enough for the
    // design's small boxes.
    setFont(chineseFont(QStringLiteral("宋体"), 9.0, 400));
    m_dpi = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
    setWindowTitle(QStringLiteral("数据记录系统"));
    setWindowIcon(drawWindowIcon());
    resize(px(kClientWidth), px(kClientHeight));

    m_frame1 = new QGroupBox(QStringLiteral("参数设置"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(px(480), px(2160), px(7335), px(2055));

    m_boxFamilies = selectionBoxFamilies();
    const QStringList noItems;
    m_combos[2] = addCombo(QStringLiteral("Combo3"), QStringLiteral("None"),
                           {QStringLiteral("Even"), QStringLiteral("Odd"), QStringLiteral("None")},
                           2963, 735);
    m_combos[1] = addCombo(QStringLiteral("Combo2"), QStringLiteral("2400"), noItems, 1605, 975);
    m_combos[4] = addCombo(QStringLiteral("Combo5"), QStringLiteral("1"),
                           {QStringLiteral("1"), QStringLiteral("2")}, 4980, 510);
    m_combos[3] = addCombo(QStringLiteral("Combo4"), QStringLiteral("8"),
                           {QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6"),
                            QStringLiteral("5"), QStringLiteral("4")},
                           4095, 495);
    m_combos[0] = addCombo(QStringLiteral("Combo1"), QStringLiteral("Com1"), noItems, 360, 855);
    m_combos[5] = addCombo(QStringLiteral("Combo6"), QStringLiteral("连续"),
                           {QStringLiteral("连续"), QStringLiteral("指令"), QStringLiteral("申通")},
                           5880, 975);
    m_combos[0]->setBeforePopup([this] { refreshPortToolTips(); });

    m_command1 = new QPushButton(QStringLiteral("导入"), m_frame1);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(px(5160), px(1440), px(1575), px(375));
    connect(m_command1, &QPushButton::clicked, this, &MainWindow::applyClicked);

    addLabel(m_frame1, QStringLiteral("Label3_2"), QStringLiteral("检验位"), 3060, 480);
    addLabel(m_frame1, QStringLiteral("Label3_1"), QStringLiteral("波特率"), 1815, 480);
    addLabel(m_frame1, QStringLiteral("Label3_5"), QStringLiteral("方式"), 6180, 480);
    addLabel(m_frame1, QStringLiteral("Label3_0"), QStringLiteral("端口"), 600, 480);
    addLabel(m_frame1, QStringLiteral("Label3_3"), QStringLiteral("数据位"), 4065, 480);
    addLabel(m_frame1, QStringLiteral("Label3_4"), QStringLiteral("停止位"), 4965, 480);
    const QFont credits = chineseFont(QStringLiteral("宋体"), 10.5, 400);
    m_label2Version = addLabel(m_frame1, QStringLiteral("Label2_2"),
                               QStringLiteral("设计时间：2010-08-04"), 2400, 1440);
    m_label2Version->setFont(credits);
    m_label2Version->adjustSize();
    QLabel* designer = addLabel(m_frame1, QStringLiteral("Label2_0"),
                                QStringLiteral("软件设计：qorvel"), 240, 1440);
    designer->setFont(credits);
    designer->adjustSize();

    // The raw-data lines sit below the design client area; the window can be enlarged to see them.
    m_label6 = addLabel(this, QStringLiteral("Label6"), QStringLiteral("Label6"), 600, 5280);
    m_label5 = addLabel(this, QStringLiteral("Label5"), QStringLiteral("Label5"), 600, 4980);
    m_label4 = addLabel(this, QStringLiteral("Label4"), QStringLiteral("Label4"), 600, 4680);
    m_captions = {m_label2Version->text(), m_label4->text(), m_label5->text(), m_label6->text()};

    m_label1 = new ReadoutLabel(QStringLiteral("0.000"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setTextFormat(Qt::PlainText);
    m_label1->move(px(2640), px(360));
    m_label1->setFont(chineseFont(QStringLiteral("隶书"), 80.25, 700));
    m_label1->adjustSize();
    m_readoutLeft = 2640.0f;
    m_readoutTop = 360.0f;

    // Focus order: the apply button, then the mode, port, data bits, stop bits, baud, parity.
    setTabOrder(m_command1, m_combos[5]);
    setTabOrder(m_combos[5], m_combos[0]);
    setTabOrder(m_combos[0], m_combos[3]);
    setTabOrder(m_combos[3], m_combos[4]);
    setTabOrder(m_combos[4], m_combos[1]);
    setTabOrder(m_combos[1], m_combos[2]);

    // Start-up centres the readout on the outer width before the window is shown.
    m_frameWidthBeforeShow = frameWidthBeforeShow(this);
}

int MainWindow::px(double twips) const {
    return qRound(twips * m_dpi / 1440.0);
}

float MainWindow::twips(int pixels) const {
    return static_cast<float>(pixels * 1440.0 / m_dpi);
}

QLabel* MainWindow::addLabel(QWidget* parent, const QString& name, const QString& caption, int left,
                             int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->move(px(left), px(top));
    label->adjustSize();
    return label;
}

SelectionBox* MainWindow::addCombo(const QString& name, const QString& text,
                                   const QStringList& items, int left, int width) {
    auto* box = new SelectionBox(m_frame1);
    box->setObjectName(name);
    if (!m_boxFamilies.isEmpty()) {
        QFont face = font();
        face.setFamilies(m_boxFamilies);
        box->setFont(face);
    }
    for (const QString& item : items) {
        box->appendItem(item);
    }
    box->setEditText(text);
    box->setGeometry(px(left), px(840), px(width), std::max(px(300), box->sizeHint().height()));
    return box;
}

void MainWindow::setPortDevices(std::function<QStringList()> provider) {
    m_portDevices = std::move(provider);
    m_knownDevices.reset();
}

void MainWindow::refreshPortToolTips() {
    if (!m_portDevices) {
        return;
    }
    m_knownDevices = m_portDevices();
    for (int i = 0; i < m_combos[0]->count(); ++i) {
        setPortToolTip(i);
    }
}

void MainWindow::setPortToolTip(int item) {
    if (!m_portDevices) {
        return;
    }
    // Asking the host for its ports is slow, and the tips show only in the open list: the host
    // is asked when the list opens, not while it is filled at start-up.
    if (!m_knownDevices) {
        return;
    }
    m_combos[0]->setItemData(item, m_knownDevices->value(item), Qt::ToolTipRole);
}

void MainWindow::focusFirstControl() {
    if (m_command1->isEnabled()) {
        m_command1->setFocus();
    } else {
        m_combos[5]->setFocus();
    }
}

void MainWindow::setWindowCaption(const QString& caption) {
    setWindowTitle(caption);
}

float MainWindow::formWidth() const {
    // Qt knows the frame of a shown window only; until then the frame the platform announced
    // stands in, so start-up and the first activation centre on the same width.
    if (isVisible()) {
        return twips(frameGeometry().width());
    }
    return twips(width() + m_frameWidthBeforeShow);
}

// Boxes are numbered from 1, as the window names them; a number out of range throws.
SelectionBox* MainWindow::combo(int box) const {
    return m_combos.at(static_cast<std::size_t>(box - 1));
}

QString MainWindow::comboText(int box) const {
    return combo(box)->currentText();
}

int MainWindow::comboListIndex(int box) const {
    return combo(box)->listIndex();
}

bool MainWindow::setComboListIndex(int box, int index) {
    return combo(box)->setListIndex(index);
}

void MainWindow::addComboItem(int box, const QString& text) {
    combo(box)->appendItem(text);
    if (box == 1) {
        setPortToolTip(m_combos[0]->count() - 1);
    }
}

QString MainWindow::readoutCaption() const {
    return m_label1->text();
}

void MainWindow::setReadoutCaption(const QString& caption) {
    m_label1->setText(caption);
    m_label1->adjustSize();
}

void MainWindow::setReadoutForeColor(std::uint32_t bgr) {
    QPalette palette = m_label1->palette();
    palette.setColor(QPalette::WindowText, fromBgr(bgr));
    m_label1->setPalette(palette);
}

void MainWindow::setReadoutFontSize(float points) {
    QFont font = m_label1->font();
    font.setPointSizeF(points);
    m_label1->setFont(font);
    m_label1->adjustSize();
}

void MainWindow::setReadoutTop(float value) {
    m_readoutTop = value;
    placeReadout();
}

void MainWindow::setReadoutLeft(float value) {
    m_readoutLeft = value;
    placeReadout();
}

void MainWindow::placeReadout() {
    m_label1->move(px(m_readoutLeft), px(m_readoutTop));
}

float MainWindow::readoutWidth() const {
    return twips(m_label1->width());
}

QLabel* MainWindow::labelFor(Label label) const {
    switch (label) {
        case Label::Version:
            return m_label2Version;
        case Label::Decimal:
            return m_label4;
        case Label::Hex:
            return m_label5;
        case Label::Characters:
            return m_label6;
    }
    return m_label4;
}

void MainWindow::setLabelCaption(Label label, const QString& caption) {
    m_captions.at(static_cast<std::size_t>(label)) = caption;
    QLabel* target = labelFor(label);
    const QString text = visibleText(caption);
    target->setText(text);
    // These captions change with every chunk. A label measures its text two or three times to
    // size itself; one line's advance is all that changes here, the height never does once the
    // label has been sized for its Chinese prefix.
    bool& sized = m_labelSized.at(static_cast<std::size_t>(label));
    if (sized) {
        const qreal advance = QFontMetricsF(target->font()).horizontalAdvance(text);
        target->resize(static_cast<int>(std::ceil(advance)), target->height());
    } else {
        target->adjustSize();
        sized = true;
    }
}

QString MainWindow::labelCaption(Label label) const {
    return m_captions.at(static_cast<std::size_t>(label));
}

void MainWindow::setApplyEnabled(bool enabled) {
    m_command1->setEnabled(enabled);
}

bool MainWindow::applyEnabled() const {
    return m_command1->isEnabled();
}

void MainWindow::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, windowTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

bool MainWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        emit activated();
    }
    return QWidget::event(event);
}

}  // namespace scale
