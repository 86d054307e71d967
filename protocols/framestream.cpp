#include "protocols/framestream.h"

#include <algorithm>

#include "protocols/frames.h"
#include "protocols/numbertext.h"
#include "protocols/shentong.h"

namespace scale {
namespace {

constexpr std::uint8_t kShenTongStart = 0x3D;  // "="
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

}  // namespace

FrameStream::FrameStream(IndicatorProtocol protocol, std::string decimalSeparator)
    : m_protocol(protocol),
      m_separator(std::move(decimalSeparator)),
      m_startByte(protocol == IndicatorProtocol::ShenTong ? kShenTongStart : kStx),
      m_frameLength(protocol == IndicatorProtocol::ShenTong ? kShenTongLength
                    : protocol == IndicatorProtocol::Command ? 14
                                                             : 12) {}

bool FrameStream::push(std::uint8_t byte, StreamFrame& frame) {
    if (m_length == 0) {
        if (byte == m_startByte) {
            m_bytes[0] = byte;
            m_length = 1;
        }
        return false;
    }
    if (byte == m_startByte) {
        giveUp(frame);
        m_bytes[0] = byte;
        m_length = 1;
        return true;
    }
    if (m_protocol == IndicatorProtocol::ShenTong) {
        m_bytes[m_length++] = byte;
        if (m_length < kShenTongLength) {
            return false;
        }
        decode(frame);
        return true;
    }
    if (m_length == m_bytes.size()) {
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
        decode(frame);
    }
    return true;
}

void FrameStream::giveUp(StreamFrame& frame) {
    std::copy_n(m_bytes.begin(), m_length, m_reported.begin());
    frame = StreamFrame{};
    frame.error = FrameError::Incomplete;
    frame.raw = std::span<const std::uint8_t>(m_reported.data(), m_length);
    m_length = 0;
}

void FrameStream::decode(StreamFrame& frame) {
    std::copy_n(m_bytes.begin(), m_length, m_reported.begin());
    frame.error = FrameError::None;
    frame.raw = std::span<const std::uint8_t>(m_reported.data(), m_length);
    const std::size_t length = m_length;
    m_length = 0;

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
        case FrameError::None:
            break;
    }
    return "";
}

}  // namespace scale
