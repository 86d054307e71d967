#include "protocols/stream/framestream.h"

#include <algorithm>

#include <charconv>

#include "protocols/numbertext.h"
#include "protocols/stream/fieldtext.h"
#include "protocols/stream/formatdecoders.h"
#include "protocols/stream/formattable.h"
#include "protocols/window/frames.h"
#include "protocols/window/shentong.h"

namespace scale {
namespace {

constexpr std::size_t kShenTongLength = 8;     // "=" and seven characters

// Digits after the point in the leading number of `text`, read the way leadingNumber reads it.
int decimalsOf(std::string_view text) {
    int decimals = 0;
    bool point = false;
    bool started = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') {
            continue;
        }
        if ((c == '+' || c == '-') && !started) {
            started = true;
        } else if (c >= '0' && c <= '9') {
            started = true;
            decimals += point ? 1 : 0;
        } else if (c == '.' && !point) {
            started = true;
            point = true;
        } else {
            break;
        }
    }
    return decimals;
}

// `value` with `decimals` digits after `separator`, into `out` without allocating once it has
// grown to a number's length.
void setFixedText(std::string& out, double value, int decimals, std::string_view separator) {
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos || separator == ".") {
        out.assign(text);
        return;
    }
    out.assign(text.substr(0, point));
    out += separator;
    out += text.substr(point + 1);
}

}  // namespace

FrameStream::FrameStream(IndicatorProtocol protocol, std::string decimalSeparator)
    : FrameStream(formatOf(protocol), std::move(decimalSeparator)) {}

FrameStream::FrameStream(const FormatDescription& format, std::string decimalSeparator)
    : m_format(&format),
      m_protocol(format.windowMode >= 0 ? static_cast<IndicatorProtocol>(format.windowMode)
                                        : IndicatorProtocol::Continuous),
      m_separator(std::move(decimalSeparator)),
      m_startByte(format.framing.startByte),
      m_frameLength(m_protocol == IndicatorProtocol::Command ? 14 : 12),
      m_maxLength(std::min(format.framing.maxLength, kMaxFrameBytes)) {}

bool FrameStream::push(std::uint8_t byte, StreamFrame& frame) {
    return m_format->framing.kind == FramingKind::Delimited ? pushDelimited(byte, frame)
                                                            : pushWindowFrame(byte, frame);
}

void FrameStream::begin(std::uint8_t byte) {
    m_bytes[0] = byte;
    m_length = 1;
}

bool FrameStream::pushWindowFrame(std::uint8_t byte, StreamFrame& frame) {
    if (m_length == 0) {
        if (byte == m_startByte) {
            begin(byte);
        }
        return false;
    }
    if (byte == m_startByte) {
        giveUp(frame);
        begin(byte);
        return true;
    }
    if (m_protocol == IndicatorProtocol::ShenTong) {
        m_bytes[m_length++] = byte;
        if (m_length < kShenTongLength) {
            return false;
        }
        decodeWindowFrame(frame);
        return true;
    }
    if (m_length == 31) {
        giveUp(frame);  // 30 bytes after the start byte and no end: the readout gives up too
        return true;
    }
    m_bytes[m_length++] = byte;
    if (byte != kEtx) {
        return false;
    }
    if (m_length < m_frameLength) {
        giveUp(frame);
    } else {
        decodeWindowFrame(frame);
    }
    return true;
}

bool FrameStream::pushDelimited(std::uint8_t byte, StreamFrame& frame) {
    const Framing& framing = m_format->framing;
    const bool isStart = m_startByte >= 0 && byte == m_startByte;
    if (m_awaitingCheck) {
        // The byte after the end byte: the check byte, or the start of the next frame when the
        // indicator sends none (learnt here, and again whenever it changes its mind).
        m_awaitingCheck = false;
        if (!isStart) {
            m_checkByte = CheckByte::Sent;
            m_bytes[m_length++] = byte;
            decode(frame);
            return true;
        }
        if (m_checkByte == CheckByte::Sent) {
            m_bytes[m_length++] = byte;
            if (readFrame(std::span(m_bytes.data(), m_length)).error != FrameError::Checksum) {
                decode(frame);
                return true;
            }
            --m_length;  // a start byte after all
        }
        m_checkByte = CheckByte::Omitted;
        decode(frame);
        begin(byte);
        return true;
    }
    if (m_afterEnd) {
        m_afterEnd = false;
        if (!isStart && framing.trailingCheckByte) {
            m_checkByte = CheckByte::Sent;  // the check byte of the frame just reported
            return false;
        }
    }
    const bool isEnd = framing.endBytes.find(static_cast<char>(byte)) != std::string_view::npos;
    if (m_length == 0) {
        if (m_startByte >= 0 ? isStart : !isEnd) {
            begin(byte);
        }
        return false;
    }
    if (isStart) {
        giveUp(frame);
        begin(byte);
        return true;
    }
    if (m_length >= m_maxLength) {
        giveUp(frame);  // no end byte in time
        return true;
    }
    m_bytes[m_length++] = byte;
    if (!isEnd) {
        return false;
    }
    if (framing.trailingCheckByte && m_checkByte != CheckByte::Omitted) {
        m_awaitingCheck = true;
        return false;
    }
    decode(frame);
    m_afterEnd = framing.trailingCheckByte;
    return true;
}

bool FrameStream::pause(StreamFrame& frame, bool forGood) {
    if (!m_awaitingCheck || (m_checkByte == CheckByte::Sent && !forGood)) {
        return false;
    }
    m_awaitingCheck = false;
    decode(frame);
    m_afterEnd = true;
    return true;
}

FrameReading FrameStream::readFrame(std::span<const std::uint8_t> bytes) const {
    return m_format->decode    ? m_format->decode(bytes)
           : m_format->matcher ? m_format->matcher->read(bytes)
                               : readColumns(bytes, m_format->columns);
}

void FrameStream::report() {
    std::copy_n(m_bytes.begin(), m_length, m_reported.begin());
    m_reportedLength = m_length;
    m_length = 0;
}

void FrameStream::giveUp(StreamFrame& frame) {
    report();
    frame = StreamFrame{};
    frame.error = FrameError::Incomplete;
    frame.raw = std::span<const std::uint8_t>(m_reported.data(), m_reportedLength);
}

void FrameStream::decode(StreamFrame& frame) {
    report();
    frame.raw = std::span<const std::uint8_t>(m_reported.data(), m_reportedLength);
    const FrameReading reading = readFrame(frame.raw);
    frame.error = reading.error;
    frame.mode = reading.mode;
    frame.motion = reading.motion;
    frame.message.assign(reading.message);
    if (reading.error != FrameError::None) {
        frame.number.clear();
        frame.text.clear();
        frame.unit.clear();
        frame.tare.clear();
        return;
    }
    frame.weight = reading.value;
    frame.decimals = reading.decimals;
    setFixedText(frame.number, reading.value, reading.decimals, ".");
    setFixedText(frame.text, reading.value, reading.decimals, m_separator);
    frame.unit.assign(normalisedUnit(reading.unit));
    frame.text += frame.unit;
    if (reading.hasTare) {
        setFixedText(frame.tare, reading.tare, reading.tareDecimals, ".");
    } else {
        frame.tare.clear();
    }
}

void FrameStream::decodeWindowFrame(StreamFrame& frame) {
    const std::size_t length = m_length;
    report();
    frame.error = FrameError::None;
    frame.raw = std::span<const std::uint8_t>(m_reported.data(), m_reportedLength);
    frame.unit.assign("kg");
    frame.mode = WeighMode::None;
    frame.motion = Motion::Unknown;
    frame.tare.clear();
    frame.message.clear();

    if (m_protocol == IndicatorProtocol::ShenTong) {
        char reversed[kShenTongLength];
        for (std::size_t i = 0; i < 6; ++i) {
            reversed[i] = static_cast<char>(m_reported[6 - i]);
        }
        reversed[6] = '=';
        const std::string_view text(reversed, 7);
        ShenTongFields fields = readShenTongFields(text, m_separator);
        frame.weight = fields.value;
        frame.decimals = decimalsOf(text);
        frame.number = fixedDecimalText(frame.weight, frame.decimals);
        frame.text = std::move(fields.text);
        return;
    }

    // The fields stand at the readout's fixed positions, RxFrame's index 1 being the byte after
    // the start byte.
    RxFrameBytes rx{};
    std::copy_n(m_reported.begin() + 1, length - 1, rx.begin() + 1);
    const WeightFrameLayout& layout =
        m_protocol == IndicatorProtocol::Command ? kCommandReplyLayout : kContinuousLayout;
    if (!weightChecksumMatches(rx, layout)) {
        frame.error = FrameError::Checksum;
        return;
    }
    WeightFields fields = readWeightFields(rx, layout, m_separator);
    if (fields.error != FrameError::None) {
        frame.error = fields.error;
        return;
    }
    frame.weight = fields.minusSign ? -fields.value : fields.value;
    frame.decimals = fields.decimals;
    frame.number = fixedDecimalText(frame.weight, frame.decimals);
    frame.text = fields.minusSign ? "-" + fields.text : std::move(fields.text);
}

std::string_view frameErrorName(FrameError error) {
    switch (error) {
        case FrameError::Checksum:
            return "checksum";
        case FrameError::Decimals:
            return "decimals";
        case FrameError::Overflow:
            return "overflow";
        case FrameError::Incomplete:
            return "incomplete";
        case FrameError::Malformed:
            return "malformed";
        case FrameError::Overload:
            return "overload";
        case FrameError::Underload:
            return "underload";
        case FrameError::Motion:
            return "motion";
        case FrameError::Busy:
            return "busy";
        case FrameError::IndicatorError:
            return "indicator-error";
        case FrameError::Reply:
            return "reply";
        case FrameError::None:
            break;
    }
    return "";
}

std::string_view weighModeName(WeighMode mode) {
    switch (mode) {
        case WeighMode::Gross:
            return "gross";
        case WeighMode::Net:
            return "net";
        case WeighMode::Tare:
            return "tare";
        case WeighMode::None:
            break;
    }
    return "";
}

}  // namespace scale
