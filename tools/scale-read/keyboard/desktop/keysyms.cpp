#include "tools/scale-read/keyboard/desktop/keysyms.h"

#include <QList>
#include <QString>

namespace scaleread {
namespace {

constexpr std::uint32_t kTab = 0xFF09;
constexpr std::uint32_t kReturn = 0xFF0D;
constexpr std::uint32_t kEscape = 0xFF1B;

std::uint32_t keysymOf(char32_t point) {
    if ((point >= 0x20 && point <= 0x7E) || (point >= 0xA0 && point <= 0xFF)) {
        return point;
    }
    if (point == '\n') {
        return kReturn;
    }
    if (point == '\t') {
        return kTab;
    }
    return 0x01000000U + point;
}

}  // namespace

std::vector<std::uint32_t> keysymsOf(const TypeStep& step) {
    switch (step.kind) {
        case TypeStep::Kind::Key:
            return {step.key == TypeKey::Tab ? kTab : step.key == TypeKey::Enter ? kReturn : kEscape};
        case TypeStep::Kind::Text: {
            std::vector<std::uint32_t> keysyms;
            const QString text =
                QString::fromUtf8(step.text.data(), static_cast<qsizetype>(step.text.size()));
            for (const char32_t point : text.toUcs4()) {
                keysyms.push_back(keysymOf(point));
            }
            return keysyms;
        }
        case TypeStep::Kind::Wait:
            break;
    }
    return {};
}

}  // namespace scaleread
