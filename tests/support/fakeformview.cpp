#include "support/fakeformview.h"

namespace scale::test {

FakeFormView::FakeFormView() {
    boxes[0].text = QStringLiteral("Com1");
    boxes[1].text = QStringLiteral("2400");
    boxes[2] = {QStringLiteral("None"),
                -1,
                {QStringLiteral("Even"), QStringLiteral("Odd"), QStringLiteral("None")}};
    boxes[3] = {QStringLiteral("8"),
                -1,
                {QStringLiteral("8"), QStringLiteral("7"), QStringLiteral("6"), QStringLiteral("5"),
                 QStringLiteral("4")}};
    boxes[4] = {QStringLiteral("1"), -1, {QStringLiteral("1"), QStringLiteral("2")}};
    boxes[5] = {QStringLiteral("连续"),
                -1,
                {QStringLiteral("连续"), QStringLiteral("指令"), QStringLiteral("申通")}};
}

bool FakeFormView::setComboListIndex(int number, int index) {
    Box& target = box(number);
    if (index < -1 || index >= target.items.size()) {
        return false;
    }
    target.listIndex = index;
    target.text = index == -1 ? QString() : target.items.at(index);
    return true;
}

void FakeFormView::setReadoutCaption(const QString& caption) {
    readout = caption;
    readoutHistory.push_back(caption);
}

void FakeFormView::setReadoutLeft(float twips) {
    left = twips;
    leftHistory.push_back(twips);
}

void FakeFormView::showMessage(const QString& text) {
    messages.push_back(text);
    if (onMessage) {
        onMessage(text);
    }
}

}  // namespace scale::test
