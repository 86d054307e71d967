#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include <optional>

#include "app/serial/serialcontrol.h"
#include "app/timers/timercontrol.h"

#include "protocols/stream/formattable.h"
#include "tools/scale-read/clock.h"
#include "tools/scale-read/stations/indicatorcommand.h"
#include "tools/scale-read/stations/linewatch.h"
#include "tools/scale-read/stations/weightstream.h"

namespace scaleread {

// How a station is read.
struct ReadingRules {
    // A row of the table of formats, or a user's format, which outlives the reader.
    const scale::FormatDescription* format = &scale::formatOf(scale::IndicatorProtocol::Continuous);
    // A format that is asked: the next request this long after a reply (unset: the format's
    // own interval), or after kReplyTimeoutMs with none.
    std::optional<int> pollIntervalMs;
    int stableBand = 1;  // counts of the last digit
    int stableMillis = 500;
};

inline constexpr int kReplyTimeoutMs = 600;

// Reads one indicator on an open port: every byte as it comes, every frame in them decoded, and
// an indicator that must be asked polled with its format's request (command mode as the window
// polls it). The port's loss and return are passed on; reading resumes by itself on return. A
// line that stays silent or carries nothing that decodes gets a note on what to try (see
// LineWatch), timed on `watchTimer`.
class StationReader {
public:
    using FrameHandler = std::function<void(std::int64_t utcMillis, const scale::StreamFrame& frame,
                                            bool stable, bool becameStable)>;
    using ReadHandler =
        std::function<void(std::int64_t steadyMicros, std::span<const std::uint8_t> bytes)>;
    using LineHandler = std::function<void(scale::SerialControl::LineEvent event)>;
    // A command's result, with the answer's or the deciding frame's text (empty where none).
    using CommandHandler = std::function<void(CommandResult result, const std::string& text)>;
    // Names a command given, for cancelCommand; 0 names none.
    using CommandId = std::uint64_t;

    StationReader(scale::SerialControl& port, scale::TimerControl& pollTimer,
                  scale::TimerControl& watchTimer, const Clock& clock, ReadingRules rules,
                  std::string decimalSeparator);

    void setOnFrame(FrameHandler handler) { m_onFrame = std::move(handler); }
    void setOnRead(ReadHandler handler) { m_onRead = std::move(handler); }
    void setOnLineEvent(LineHandler handler) { m_onLineEvent = std::move(handler); }
    void setOnNote(std::function<void(const QString& text)> handler) {
        m_watch.setOnNote(std::move(handler));
    }

    // Arms the open port. False when the control refuses (the port is not open).
    bool start();
    // Commands time their answer and their wait on `timer`; without one, every command is
    // unsupported.
    void setCommandTimer(scale::TimerControl& timer);
    // Sends the format's command once, while polling and reading go on, and hands `handler` the
    // result once: from the answer or the frames showing the change, or NoAnswer after
    // kCommandAnswerMs. A format without the command gets Unsupported at once and nothing is
    // sent. Commands cannot pile up: one given while another is out waits for it (and, for a
    // format that is asked, for a poll's reply after it, so that readings go on between
    // commands); one given while another waits already is answered Busy at once, and one that
    // has waited kCommandWaitMs (the port gone, say) Expired, neither of them sent.
    CommandId sendCommand(CommandKind kind, CommandHandler handler);
    // Drops the command `id` if it still waits, its handler never called (whoever asked has
    // gone); false when it is out or over already.
    bool cancelCommand(CommandId id);

    // The run ends: see LineWatch::finish.
    void finish() { m_watch.finish(); }

private:
    void bytesArrived(std::span<const std::uint8_t> bytes);
    void sendRequest();
    void lineEvent(scale::SerialControl::LineEvent event);
    void armPolling();
    void startNextCommand();
    void endCommand(CommandResult result, const std::string& text);
    void commandTimeUp();
    void timeWaitingCommand();
    void pollGiven();

    struct PendingCommand {
        CommandId id;
        CommandKind kind;
        CommandHandler handler;
        CommandAnswer answer;
        std::int64_t givenMicros;  // steady
    };

    scale::SerialControl& m_port;
    scale::TimerControl& m_pollTimer;
    const Clock& m_clock;
    ReadingRules m_rules;
    WeightStream m_weights;
    LineWatch m_watch;
    FrameHandler m_onFrame;
    ReadHandler m_onRead;
    LineHandler m_onLineEvent;
    scale::TimerControl* m_commandTimer = nullptr;
    std::optional<PendingCommand> m_out;      // sent, waiting for its answer
    std::optional<PendingCommand> m_waiting;  // its turn next
    CommandId m_lastId = 0;
    bool m_lineUp = true;
    // After a command, a format that is asked owes a poll before the next: `m_pollOwed` until a
    // request that went out after the command is answered or its reply time passes.
    bool m_pollOwed = false;
    bool m_pollAsked = false;
};

}  // namespace scaleread
