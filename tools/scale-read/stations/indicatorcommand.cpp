#include "tools/scale-read/stations/indicatorcommand.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace scaleread {
namespace {

struct CommandRow {
    CommandKind kind;
    std::string_view name;
    scale::IndicatorCommand scale::FormatDescription::*command;
};

constexpr std::array kCommands{
    CommandRow{CommandKind::Zero, "zero", &scale::FormatDescription::zero},
    CommandRow{CommandKind::Tare, "tare", &scale::FormatDescription::tare},
    CommandRow{CommandKind::ClearTare, "clear-tare", &scale::FormatDescription::clearTare},
};

constexpr std::array<std::string_view, 8> kResultNames{
    "done", "refused", "overload", "underload", "no-answer", "unsupported", "busy", "expired"};

const CommandRow& rowOf(CommandKind kind) { return kCommands[static_cast<std::size_t>(kind)]; }

std::string_view withoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) {
        text.remove_prefix(1);
    }
    return text;
}

}  // namespace

std::optional<CommandKind> commandKindNamed(std::string_view name) {
    for (const CommandRow& row : kCommands) {
        if (row.name == name) {
            return row.kind;
        }
    }
    return std::nullopt;
}

std::string_view commandName(CommandKind kind) { return rowOf(kind).name; }

std::string_view resultName(CommandResult result) {
    return kResultNames[static_cast<std::size_t>(result)];
}

const scale::IndicatorCommand* commandOf(const scale::FormatDescription& format, CommandKind kind) {
    const scale::IndicatorCommand& command = format.*(rowOf(kind).command);
    return command.send.empty() ? nullptr : &command;
}

std::vector<std::string_view> commandNamesOf(const scale::FormatDescription& format) {
    std::vector<std::string_view> names;
    for (const CommandRow& row : kCommands) {
        if (commandOf(format, row.kind) != nullptr) {
            names.push_back(row.name);
        }
    }
    return names;
}

CommandAnswer::CommandAnswer(const scale::FormatDescription& format, CommandKind kind)
    : m_kind(kind) {
    if (const scale::IndicatorCommand* command = commandOf(format, kind)) {
        m_word = withoutLineEnd(command->send);
        m_done = command->done;
    }
}

std::optional<CommandAnswer::Verdict> CommandAnswer::judge(
    const scale::StreamFrame& frame) const {
    if (!m_done.empty()) {
        const std::string_view text = withoutLineEnd(std::string_view(
            reinterpret_cast<const char*>(frame.raw.data()), frame.raw.size()));
        if (const auto result = judgeAnswerLine(text)) {
            return Verdict{*result, std::string(text)};
        }
        return std::nullopt;
    }
    if (const auto result = judgeChange(frame)) {
        return Verdict{*result, frame.message.empty() ? frame.text : frame.message};
    }
    return std::nullopt;
}

// "Z A" done, "Z I" refused, "Z +" over and "Z -" under the range the indicator allows.
std::optional<CommandResult> CommandAnswer::judgeAnswerLine(std::string_view text) const {
    if (text.starts_with(m_done)) {
        return CommandResult::Done;
    }
    if (text.size() < m_word.size() + 2 || !text.starts_with(m_word) ||
        text[m_word.size()] != ' ') {
        return std::nullopt;  // a weight, or another command's answer
    }
    switch (text[m_word.size() + 1]) {
        case '+':
            return CommandResult::Overload;
        case '-':
            return CommandResult::Underload;
        default:
            return CommandResult::Refused;
    }
}

std::optional<CommandResult> CommandAnswer::judgeChange(const scale::StreamFrame& frame) const {
    switch (frame.error) {
        case scale::FrameError::Overload:
            return CommandResult::Overload;
        case scale::FrameError::Underload:
            return CommandResult::Underload;
        case scale::FrameError::IndicatorError:
            return CommandResult::Refused;
        case scale::FrameError::None:
            break;
        default:
            return std::nullopt;
    }
    // Zero within half a count of the last digit the indicator shows.
    const double halfCount = 0.5 * std::pow(10.0, -frame.decimals);
    const bool showsZero = std::abs(frame.weight) < halfCount;
    switch (m_kind) {
        case CommandKind::Zero:
            // A net frame with its tare shows the gross weight, which a zero sets to 0.
            if (frame.mode == scale::WeighMode::Net && !frame.tare.empty()) {
                if (std::abs(frame.weight + std::strtod(frame.tare.c_str(), nullptr)) < halfCount) {
                    return CommandResult::Done;
                }
            } else if (showsZero) {
                return CommandResult::Done;
            }
            break;
        case CommandKind::Tare:
            if (frame.mode == scale::WeighMode::Net ||
                (frame.mode == scale::WeighMode::None && showsZero)) {
                return CommandResult::Done;
            }
            break;
        case CommandKind::ClearTare:
            if (frame.mode == scale::WeighMode::Gross) {
                return CommandResult::Done;
            }
            break;
    }
    // Not yet: a frame sent before the indicator took the command, or one it has not carried out.
    return std::nullopt;
}

}  // namespace scaleread
