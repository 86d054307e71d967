#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/stream/formatdescription.h"
#include "protocols/stream/framestream.h"

namespace scaleread {

// A command that changes what the indicator shows.
enum class CommandKind { Zero, Tare, ClearTare };

// How a command ended, as its record says it. Busy and Expired were never sent: the station had
// one command out and one waiting already, or the waiting one did not get its turn in time.
enum class CommandResult {
    Done,
    Refused,
    Overload,
    Underload,
    NoAnswer,
    Unsupported,
    Busy,
    Expired
};

// How long an indicator has to answer a command, or to show its effect in its frames.
inline constexpr int kCommandAnswerMs = 2000;
// How long a command may wait for its turn before it is answered Expired instead of sent.
inline constexpr int kCommandWaitMs = 5000;

std::optional<CommandKind> commandKindNamed(std::string_view name);  // "zero", "tare", "clear-tare"
std::string_view commandName(CommandKind kind);
std::string_view resultName(CommandResult result);

// What the format sends for `kind`; null when its indicator has no such command.
const scale::IndicatorCommand* commandOf(const scale::FormatDescription& format, CommandKind kind);
// The names of the commands the format's indicator takes, in the order above.
std::vector<std::string_view> commandNamesOf(const scale::FormatDescription& format);

// Judges the frames that arrive after a command went out. A format with answer lines (the
// command's own word, then what became of it) is judged by those alone, since its polls go on
// meanwhile; for the others the frames must show the change (a zero weight, net, gross) or say
// why it could not be made (overload, underload, the indicator's refusal).
class CommandAnswer {
public:
    CommandAnswer(const scale::FormatDescription& format, CommandKind kind);

    struct Verdict {
        CommandResult result;
        std::string text;  // the answer line, or the deciding frame's weight or words
    };
    // The result `frame` settles, or nothing while it settles nothing.
    std::optional<Verdict> judge(const scale::StreamFrame& frame) const;

private:
    std::optional<CommandResult> judgeAnswerLine(std::string_view text) const;
    std::optional<CommandResult> judgeChange(const scale::StreamFrame& frame) const;

    CommandKind m_kind;
    std::string_view m_word;  // the command without its line end ("Z", "TAC")
    std::string_view m_done;  // the answer that says it was done; empty: none is sent
};

}  // namespace scaleread
