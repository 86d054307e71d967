#include "ui/controls/selectionbox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStyleOptionComplex>

namespace scale {
namespace {

// The application style's drop-down box with classic proportions: a 16-pixel arrow (at 96 dpi)
// and a one-pixel frame. The design's boxes are only 33 to 65 pixels wide, and the style's own
// arrow and margins leave too little room for "None" or "256000". Drawing stays the style's; the
// edit field runs up to the arrow's separator line, which the style draws on the arrow's edge.
class NarrowArrowStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override {
        if (control != CC_ComboBox ||
            (subControl != SC_ComboBoxArrow && subControl != SC_ComboBoxEditField)) {
            return QProxyStyle::subControlRect(control, option, subControl, widget);
        }
        const QRect box = option->rect;
        const int dpi = widget != nullptr ? widget->logicalDpiX() : 96;
        const int arrow = qRound(16.0 * dpi / 96.0);
        const QRect rect = subControl == SC_ComboBoxArrow
                               ? QRect(box.right() - arrow + 1, box.top(), arrow, box.height())
                               : box.adjusted(1, 1, -arrow, -1);
        return visualRect(option->direction, box, rect);
    }
};

}  // namespace

SelectionBox::SelectionBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);  // no inline completion rewriting what the operator types
    setCurrentIndex(-1);
    auto* style = new NarrowArrowStyle;
    style->setParent(this);
    setStyle(style);
    // QLineEdit keeps two pixels either side of its text; one is what classic boxes keep.
    lineEdit()->setTextMargins(-1, 0, -1, 0);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_listIndex = -1; });
    // A text the program sets shows from its start: QLineEdit puts the cursor at the end, which
    // scrolls a text wider than the box to its end. setText clears the modified flag, so the
    // operator's typing keeps its cursor.
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] {
        if (!lineEdit()->isModified()) {
            lineEdit()->home(false);
        }
    });
    connect(this, &QComboBox::activated, this, [this](int index) { m_listIndex = index; });
}

bool SelectionBox::setListIndex(int index) {
    if (index < -1 || index >= count()) {
        return false;
    }
    m_listIndex = index;
    setCurrentIndex(index);
    if (index == -1) {
        setEditText(QString());
    }
    lineEdit()->home(false);  // also when the item's text was already shown
    return true;
}

void SelectionBox::appendItem(const QString& text) {
    const QString shown = currentText();
    addItem(text);
    if (m_listIndex == -1) {
        // Qt selects the first item added to an empty list; undo that.
        setCurrentIndex(-1);
        setEditText(shown);
    }
}

void SelectionBox::showPopup() {
    if (m_beforePopup) {
        m_beforePopup();
    }
    QComboBox::showPopup();
}

bool SelectionBox::eventFilter(QObject* watched, QEvent* event) {
    // Enter would make Qt choose the item matching the typed text; a typed text chooses nothing.
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

}  // namespace scale
