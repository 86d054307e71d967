#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "app/window/formview.h"

namespace scale::test {

// The window without widgets. Boxes start with their design texts and items; the readout's width
// is a made-up function of its text and font size, so the centring arithmetic can be checked.
class FakeFormView : public FormView {
public:
    struct Box {
        QString text;
        int listIndex = -1;
        QStringList items;
    };

    FakeFormView();

    std::array<Box, 6> boxes;
    QString windowCaption = QStringLiteral("数据记录系统");
    float outerWidth = 8430.0f;  // client 8310 plus two 60-twip borders

    QString readout = QStringLiteral("0.000");
    std::uint32_t foreColor = 0;
    float fontSize = 80.25f;
    float top = 360.0f;
    float left = 2640.0f;
    std::vector<QString> readoutHistory;  // every caption assignment, in order
    std::vector<float> leftHistory;       // every Left assignment, in order

    std::map<Label, QString> labels;
    bool apply = true;
    std::vector<QString> messages;
    // Runs while a message box is "open", as a nested event loop would.
    std::function<void(const QString&)> onMessage;

    // 60 twips per character at 100 points.
    static float widthFor(const QString& text, float points) {
        return static_cast<float>(text.size()) * points * 0.6f;
    }
    Box& box(int number) { return boxes.at(static_cast<std::size_t>(number - 1)); }
    const Box& box(int number) const { return boxes.at(static_cast<std::size_t>(number - 1)); }
    void clearHistory() {
        readoutHistory.clear();
        leftHistory.clear();
    }

    void setWindowCaption(const QString& caption) override { windowCaption = caption; }
    float formWidth() const override { return outerWidth; }
    QString comboText(int number) const override { return box(number).text; }
    int comboListIndex(int number) const override { return box(number).listIndex; }
    bool setComboListIndex(int number, int index) override;
    void addComboItem(int number, const QString& text) override { box(number).items << text; }
    QString readoutCaption() const override { return readout; }
    void setReadoutCaption(const QString& caption) override;
    void setReadoutForeColor(std::uint32_t bgr) override { foreColor = bgr; }
    void setReadoutFontSize(float points) override { fontSize = points; }
    void setReadoutTop(float twips) override { top = twips; }
    void setReadoutLeft(float twips) override;
    float readoutWidth() const override { return widthFor(readout, fontSize); }
    void setLabelCaption(Label label, const QString& caption) override { labels[label] = caption; }
    void setApplyEnabled(bool enabled) override { apply = enabled; }
    bool applyEnabled() const override { return apply; }
    void showMessage(const QString& text) override;
};

}  // namespace scale::test
