// Typing weights into the focused window: --type and its options, as one group of the reader's
// option table.
#include "tools/scale-read/cli/optiongroups.h"
#include "tools/scale-read/keyboard/typeoptions.h"

namespace scaleread {
namespace {

std::optional<OptionFault> checkType(OptionContext& context) {
    QStringList stations;
    for (const StationConfig& station : context.options.stations) {
        stations << station.name;
    }
    auto parsed = parseTypeOptions([&](const char* name) { return context.isSet(name); },
                                   [&](const char* name) { return context.value(name); },
                                   stations);
    if (const auto* refused = std::get_if<QString>(&parsed)) {
        return UsageError{*refused};
    }
    context.options.type = std::get<std::optional<TypeSettings>>(std::move(parsed));
    return std::nullopt;
}

const OptionRow kTypeRows[] = {
    {.name = "type",
     .valueName = "TEMPLATE",
     .help = "type each weight into the window that has the focus, as TEMPLATE\n"
             "says: text with fields {weight} (as shown), {weight:0.00} (fixed\n"
             "decimals; also gross, net, tare), {unit}, {gross}, {net}, {tare},\n"
             "{mode}, {station}, {seq} (values typed), {time:%H:%M:%S}, and keys\n"
             "{Tab}, {Enter}, {Esc}, {Wait MS}; {{ and }} for braces. Each typed\n"
             "value is also a record, with \"typed\", \"trigger\" and \"window\"",
     .modes = kRead},
    {.name = "type-on",
     .valueName = "WHEN",
     .help = "settle (default): once per placement, when the weight has settled\n"
             "(--stable-band, --stable-time or the indicator's flag) at\n"
             "--type-min or more; the next after the load was off or settled\n"
             "elsewhere. print: each weight the indicator sends. hotkey: the\n"
             "weight standing when --type-hotkey is pressed (waits 2 s for one)",
     .modes = kRead},
    {.name = "type-min",
     .valueName = "W",
     .help = "the least weight typed (default: beyond the zero band)",
     .modes = kRead},
    {.name = "type-zero",
     .valueName = "W",
     .help = "the load is off within W of zero (default: 10 counts)",
     .modes = kRead},
    {.name = "type-hotkey",
     .valueName = "KEY",
     .help = "an X key name with modifiers: F9, ctrl+alt+w (on Wayland, asked of\n"
             "the desktop as a global shortcut, where it offers them)",
     .modes = kRead},
    {.name = "type-into",
     .valueName = "REGEX",
     .help = "only into a window whose title or class matches; otherwise the\n"
             "weight is held back, with a note naming the window (X11 only)",
     .modes = kRead},
    {.name = "type-decimal",
     .valueName = "SEP",
     .help = ". (default) or , in the numbers typed",
     .modes = kRead},
    {.name = "type-station",
     .valueName = "NAME",
     .help = "with several stations: type only this one's weights",
     .modes = kRead},
    {.name = nullptr,
     .help = "  Never typed while the weight moves. The desktop's keyboard is named at start: the\n"
             "  Wayland portal (asked once; the token is kept in the settings folder) or X11's "
             "XTEST;\n"
             "  no desktop, or one that refuses, ends the run before any port opens (exit 1). "
             "With\n"
             "  --allow-commands, POST /api/v1/stations/NAME/type and the MQTT command \"type\" "
             "type the\n"
             "  weight standing now, as the hotkey does.\n"},
};

}  // namespace

const OptionGroup keyboardOptions{
    .heading = "Typing weights into any program (X11, or Wayland with the desktop portal):",
    .rows = kTypeRows,
    .check = checkType};

}  // namespace scaleread
