#include "tools/scale-read/keyboard/desktop/hotkeyname.h"

#include <gtest/gtest.h>

namespace scaleread {
namespace {

// The trigger a portal is asked for: its modifier names and order, and the key on the base
// level whatever case it was given in.
TEST(HotkeyName, BecomesThePortalsTrigger) {
    const std::pair<const char*, const char*> cases[] = {{"ctrl+alt+w", "CTRL+ALT+w"},
                                                         {"alt+Control+W", "CTRL+ALT+w"},
                                                         {"shift+super+F9", "SHIFT+LOGO+F9"},
                                                         {"win+F9", "LOGO+F9"},
                                                         {"F9", "F9"},
                                                         {"f9", "F9"},
                                                         {"ctrl+return", "CTRL+Return"},
                                                         {"shift+escape", "SHIFT+Escape"},
                                                         {"ctrl+Return", "CTRL+Return"}};
    for (const auto& [key, trigger] : cases) {
        QString error;
        const auto hotkey = parseHotkey(QString::fromLatin1(key), error);
        ASSERT_TRUE(hotkey) << key << ": " << error.toStdString();
        EXPECT_EQ(shortcutTrigger(*hotkey).toStdString(), trigger) << key;
    }
}

TEST(HotkeyName, RefusesUnknownNamesInOneLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"hyper+F9", "--type-hotkey 'hyper+F9': 'hyper' is not ctrl, alt, shift or super"},
        {"ctrl+F99", "--type-hotkey 'ctrl+F99': 'F99' is not an X key name such as F9"}};
    for (const auto& [key, message] : cases) {
        QString error;
        EXPECT_FALSE(parseHotkey(QString::fromLatin1(key), error)) << key;
        EXPECT_EQ(error.toStdString(), message);
    }
}

}  // namespace
}  // namespace scaleread
