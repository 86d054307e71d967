#pragma once

#include <QComboBox>
#include <functional>

namespace scale {

// A drop-down box with an editable text whose list position is its own: the text shows the chosen
// item, but typing a text chooses nothing (the position becomes -1, no item is added), filling
// the list selects nothing, and a box with no position keeps whatever text it shows.
class SelectionBox : public QComboBox {
    Q_OBJECT
public:
    explicit SelectionBox(QWidget* parent = nullptr);

    int listIndex() const { return m_listIndex; }
    // Position -1 clears the selection and the text. Refused (false) outside -1 .. count-1.
    bool setListIndex(int index);
    // Adds an item at the end without touching the text or the position.
    void appendItem(const QString& text);

    // Called just before the list opens, to refresh the items (their tool tips, say).
    void setBeforePopup(std::function<void()> callback) { m_beforePopup = std::move(callback); }
    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_listIndex = -1;
    std::function<void()> m_beforePopup;
};

}  // namespace scale
