#include "ui/selectionbox.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace scale {

SelectionBox::SelectionBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);  // no inline completion rewriting what the operator types
    setCurrentIndex(-1);
    lineEdit()->installEventFilter(this);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { m_listIndex = -1; });
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
