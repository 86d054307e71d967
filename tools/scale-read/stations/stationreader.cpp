#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {

StationReader::StationReader(scale::SerialControl& port, scale::TimerControl& pollTimer,
                             scale::TimerControl& watchTimer, const Clock& clock,
                             ReadingRules rules, std::string decimalSeparator)
    : m_port(port),
      m_pollTimer(pollTimer),
      m_clock(clock),
      m_rules(rules),
      m_weights(*rules.format, rules.stableBand, rules.stableMillis,
                std::move(decimalSeparator)),
      m_watch(watchTimer, clock, *rules.format) {
    m_pollTimer.setEnabled(false);
    m_pollTimer.setOnTick([this] { sendRequest(); });
    m_port.setOnBytes([this](std::span<const std::uint8_t> bytes) { bytesArrived(bytes); });
    m_port.setOnLineEvent([this](scale::SerialControl::LineEvent event) { lineEvent(event); });
}

bool StationReader::start() {
    // Bytes handed over as they come. What waited from before is dropped: its time of arrival
    // is unknown, so its records would carry a wrong time.
    if (!m_port.setRThreshold(1) || !m_port.setInBufferCount(0)) {
        return false;
    }
    armPolling();
    m_watch.start();
    return true;
}

void StationReader::armPolling() {
    if (!m_rules.format->asks()) {
        return;
    }
    m_pollTimer.setInterval(1);  // the first request at once
    m_pollTimer.setEnabled(true);
}

void StationReader::sendRequest() {
    if (m_pollOwed) {
        // The request that went out after the command had its reply time: the reading had its
        // turn, answered or not.
        if (m_pollAsked) {
            pollGiven();
        } else {
            m_pollAsked = true;
        }
    }
    const std::string_view request = m_rules.format->request;
    // A refused write is retried at the next tick.
    (void)m_port.setOutput(QByteArray(request.data(), static_cast<qsizetype>(request.size())));
    m_pollTimer.setInterval(kReplyTimeoutMs);
}

void StationReader::bytesArrived(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return;
    }
    const std::int64_t steady = m_clock.steadyMicros();
    const std::int64_t utc = m_clock.utcMillis();
    if (m_onRead) {
        m_onRead(steady, bytes);
    }
    m_watch.bytesArrived(bytes.size());
    bool replied = false;
    m_weights.feed(bytes, steady / 1000,
                   [&](const scale::StreamFrame& frame, bool stable, bool became) {
                       replied = true;
                       if (m_out) {
                           if (auto verdict = m_out->answer.judge(frame)) {
                               endCommand(verdict->result, verdict->text);
                           }
                       }
                       if (frame.error == scale::FrameError::None) {
                           m_watch.validFrame();
                       }
                       if (m_onFrame) {
                           m_onFrame(utc, frame, stable, became);
                       }
                       return true;
                   });
    if (replied && m_pollTimer.Enabled() && m_rules.format->asks()) {
        m_pollTimer.setInterval(m_rules.pollIntervalMs.value_or(m_rules.format->pollIntervalMs));
    }
    if (replied && m_pollOwed && m_pollAsked) {
        pollGiven();
    }
}

void StationReader::pollGiven() {
    m_pollOwed = false;
    m_pollAsked = false;
    startNextCommand();
}

void StationReader::setCommandTimer(scale::TimerControl& timer) {
    m_commandTimer = &timer;
    timer.setEnabled(false);
    timer.setOnTick([this] { commandTimeUp(); });
}

StationReader::CommandId StationReader::sendCommand(CommandKind kind, CommandHandler handler) {
    if (m_commandTimer == nullptr || commandOf(*m_rules.format, kind) == nullptr) {
        handler(CommandResult::Unsupported, {});
        return 0;
    }
    if (m_waiting) {
        handler(CommandResult::Busy, {});
        return 0;
    }
    const CommandId id = ++m_lastId;
    m_waiting.emplace(PendingCommand{id, kind, std::move(handler),
                                     CommandAnswer(*m_rules.format, kind), m_clock.steadyMicros()});
    startNextCommand();
    if (!m_out) {
        timeWaitingCommand();
    }
    return id;
}

bool StationReader::cancelCommand(CommandId id) {
    if (id == 0 || !m_waiting || m_waiting->id != id) {
        return false;
    }
    m_waiting.reset();
    if (!m_out) {
        m_commandTimer->setEnabled(false);
    }
    return true;
}

void StationReader::startNextCommand() {
    if (m_out || !m_waiting || m_pollOwed || !m_lineUp) {
        return;
    }
    m_out = std::move(m_waiting);
    m_waiting.reset();
    const std::string_view send = commandOf(*m_rules.format, m_out->kind)->send;
    if (!m_port.setOutput(QByteArray(send.data(), static_cast<qsizetype>(send.size())))) {
        endCommand(CommandResult::NoAnswer, "the port took no command");
        return;
    }
    m_commandTimer->setInterval(kCommandAnswerMs);
    m_commandTimer->setEnabled(true);
}

void StationReader::endCommand(CommandResult result, const std::string& text) {
    if (!m_out) {
        return;
    }
    m_commandTimer->setEnabled(false);
    // Taken off first: the handler may give the next command, which then owes the poll too.
    CommandHandler handler = std::move(m_out->handler);
    m_out.reset();
    m_pollOwed = m_rules.format->asks();
    m_pollAsked = false;
    handler(result, text);
    startNextCommand();
    if (!m_out) {
        timeWaitingCommand();
    }
}

// With no command out, the timer counts down the waiting one's time.
void StationReader::timeWaitingCommand() {
    if (!m_waiting) {
        m_commandTimer->setEnabled(false);
        return;
    }
    const std::int64_t waitedMs = (m_clock.steadyMicros() - m_waiting->givenMicros) / 1000;
    if (waitedMs < kCommandWaitMs) {
        m_commandTimer->setInterval(static_cast<int>(kCommandWaitMs - waitedMs));
        m_commandTimer->setEnabled(true);
        return;
    }
    m_commandTimer->setEnabled(false);
    CommandHandler handler = std::move(m_waiting->handler);
    m_waiting.reset();
    handler(CommandResult::Expired, {});
    // The handler may have given another.
    if (!m_out) {
        timeWaitingCommand();
    }
}

void StationReader::commandTimeUp() {
    if (m_out) {
        endCommand(CommandResult::NoAnswer, {});
    } else {
        timeWaitingCommand();
    }
}

void StationReader::lineEvent(scale::SerialControl::LineEvent event) {
    if (event == scale::SerialControl::LineEvent::Lost) {
        // A command out goes on to its NoAnswer; the one waiting waits for the port's return.
        m_lineUp = false;
        m_pollTimer.setEnabled(false);
        m_weights.reset();
        m_watch.stop();
    } else {
        m_lineUp = true;
        // A reading first after the return, for a format that is asked.
        m_pollOwed = m_pollOwed || m_rules.format->asks();
        m_pollAsked = false;
        armPolling();
        m_watch.start();
        startNextCommand();
    }
    if (m_onLineEvent) {
        m_onLineEvent(event);
    }
}

}  // namespace scaleread
