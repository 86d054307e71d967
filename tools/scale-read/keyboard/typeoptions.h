#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

#include "tools/scale-read/keyboard/typetemplate.h"
#include "tools/scale-read/keyboard/typetrigger.h"

namespace scaleread {

// What --type and its options set up.
struct TypeSettings {
    QString templateText;
    TypeTemplate text;
    TypeRules rules;
    QString hotkey;               // --type-hotkey, with --type-on hotkey
    QString into;                 // --type-into as given; empty: any window
    QRegularExpression intoRule;  // the same, compiled
    QString station;              // --type-station; empty: every station
};

// The option names --type brings, without "--"; all but "type" need --type. Their help is in
// keyboardoptions.cpp, the reader's group of them.
inline constexpr const char* kTypeOptionNames[] = {
    "type", "type-on", "type-min", "type-zero", "type-hotkey", "type-into", "type-decimal",
    "type-station"};

// The settings from the options' values (`value(name)`: the last value given, `isSet(name)`),
// for a run of `stations` (empty: a single --port); the usage error in one line otherwise.
std::variant<std::optional<TypeSettings>, QString> parseTypeOptions(
    const std::function<bool(const char*)>& isSet, const std::function<QString(const char*)>& value,
    const QStringList& stations);

}  // namespace scaleread
