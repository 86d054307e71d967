#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "protocols/indicatorprotocol.h"
#include "protocols/stream/formatdescription.h"
#include "protocols/window/weightframe.h"

namespace scale {

// One frame that ended in a stream, decoded or refused.
struct StreamFrame {
    FrameError error = FrameError::None;
    // With None: the weight in kg with its sign, the digits after the point that the indicator
    // sent, the weight as a plain number ("-12.345") and the readout's caption ("-12.345kg",
    // with the host's decimal separator). The weight is in the indicator's unit.
    double weight = 0;
    int decimals = 0;
    std::string number;
    std::string text;
    // The unit as sent, normalised where it is a common one ("kg", "lb"); empty where the
    // frame names none.
    std::string unit;
    WeighMode mode = WeighMode::None;
    Motion motion = Motion::Unknown;  // Unknown: the format does not say
    // The tare the frame carries, as a plain number; empty where it carries none.
    std::string tare;
    // With an indicator's error, a busy indicator or a command's reply: its own words.
    std::string message;
    // The frame's bytes, start byte to end byte; valid until the next push.
    std::span<const std::uint8_t> raw;
};

// Finds every frame of one format in a byte stream, across reads, and decodes each. The window's
// three protocols are decoded with the readout's own field decoding. Unlike the readout, which takes the first frame of each chunk and checks it against
// what earlier frames left in RxFrame, each frame stands on its own: a frame cut short is
// refused as incomplete instead of being completed with an earlier frame's bytes, and a start
// byte inside a frame (never part of a valid one) gives up the frame before it.
class FrameStream {
public:
    explicit FrameStream(IndicatorProtocol protocol, std::string decimalSeparator = ".");
    // `format` must outlive the stream.
    explicit FrameStream(const FormatDescription& format, std::string decimalSeparator = ".");

    // Takes the next byte; true when a frame ended with it or was given up, described in `frame`.
    bool push(std::uint8_t byte, StreamFrame& frame);

    // The bytes read so far end here, for now or (`forGood`) for good. A frame whose end byte
    // came, with its check byte still to come, is reported without it when the indicator has not
    // yet shown that it sends one, and at the end for good whatever it has shown, rather than
    // held until the next frame: an indicator that prints on demand sends nothing more. A check
    // byte that comes after all is taken as the reported frame's. True when a frame was reported.
    bool pause(StreamFrame& frame, bool forGood = false);

    // Forgets a frame in progress (after a gap in the stream, such as a lost port).
    void reset() {
        m_length = 0;
        m_awaitingCheck = false;
    }

    const FormatDescription& format() const { return *m_format; }

private:
    bool pushWindowFrame(std::uint8_t byte, StreamFrame& frame);
    bool pushDelimited(std::uint8_t byte, StreamFrame& frame);
    void begin(std::uint8_t byte);
    FrameReading readFrame(std::span<const std::uint8_t> bytes) const;
    void decode(StreamFrame& frame);
    void decodeWindowFrame(StreamFrame& frame);
    void giveUp(StreamFrame& frame);
    void report();

    // A format's check byte after the end byte: not known yet, sent, or left out.
    enum class CheckByte { Unknown, Sent, Omitted };

    const FormatDescription* m_format;
    IndicatorProtocol m_protocol;  // for the window's three
    std::string m_separator;
    int m_startByte;
    std::size_t m_frameLength;  // continuous and command: start to end byte, of a whole frame
    std::size_t m_maxLength;
    CheckByte m_checkByte = CheckByte::Unknown;
    bool m_awaitingCheck = false;  // the end byte came; the next byte may be the check byte
    bool m_afterEnd = false;       // the last byte ended a frame whose check byte was not awaited
    // The frame in progress, start byte first.
    std::array<std::uint8_t, kMaxFrameBytes> m_bytes{};
    std::size_t m_length = 0;
    // The bytes of the frame last reported, so that a new frame can begin meanwhile.
    std::array<std::uint8_t, kMaxFrameBytes> m_reported{};
    std::size_t m_reportedLength = 0;
};

// The error's name in records: "checksum", "decimals", "overflow", "incomplete", "malformed",
// "overload", "underload", "motion", "busy", "indicator-error", "reply"; "" for None.
std::string_view frameErrorName(FrameError error);
// "gross", "net", "tare"; "" for None.
std::string_view weighModeName(WeighMode mode);

}  // namespace scale
