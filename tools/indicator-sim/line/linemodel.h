#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/indicator-sim/line/device/serialsettings.h"

namespace indicatorsim {

enum class ReceiverParity { None, Even, Odd, Mark, Space };

// How the other side has set up its receiver (its termios): what it samples, and what it does
// with a byte that fails the parity or stop-bit check.
struct ReceiverSettings {
    long baud = 9600;
    ReceiverParity parity = ReceiverParity::None;
    int dataBits = 8;
    int stopBits = 1;           // shown only: a receiver checks the first stop bit alone
    bool checkErrors = false;   // INPCK: without it a faulty byte counts as good
    bool ignoreErrors = false;  // IGNPAR: with INPCK, a faulty byte is dropped
    bool markErrors = false;    // PARMRK: with INPCK, a faulty byte comes as FF 00 and the byte
    bool operator==(const ReceiverSettings&) const = default;
};

// The receiver that matches a sender's framing, with error checks off.
ReceiverSettings receiverFor(const SerialSettings& sender);

// "9600,N,8,1", with M and S for mark and space parity.
std::string receiverText(const ReceiverSettings& receiver);

// A serial line at the bit level: what a receiver makes of the bytes a sender puts on the wire.
//
// The sender drives the line idle (1), then for each byte a start bit (0), the data bits least
// significant first, the parity bit if any and its stop bits (1), byte after byte without a gap.
// The receiver starts at a 1-to-0 edge and samples in the middle of each of its own bits, at its
// own baud: the start bit (a 1 there was a glitch, and it looks for the next edge), the data bits,
// the parity bit if any and the first stop bit. After the stop-bit sample it waits for the next
// 1-to-0 edge, which, when the line is still 0, first needs the line to rise. A sample that falls
// exactly on an edge sees the level after it, as a real receiver's sampling lags a little behind
// the edge it started from.
//
// A byte whose parity or stop bit is wrong is handed on as Linux does for a UART: as sampled
// without INPCK; with INPCK dropped under IGNPAR, else as FF 00 and the byte under PARMRK, else
// as 00. A good FF is not doubled here: under PARMRK the line discipline that reads the result
// does that itself (through a pseudo-terminal it doubles the mark's FF too, which a real line
// would not). A break (a byte of zeros with its stop bit 0) counts as a framing error.
//
// Each call is one burst from an idle line, and the line is idle after it: no state carries over
// from one write to the next. Writes closer together than their time on the wire would run into
// each other on a real line; the simulator paces its frames to the line, so that only a fault's
// extra writes (stray bytes, noise) meet that case, and for them a fresh start is as likely as
// any other outcome.
class LineModel {
public:
    explicit LineModel(const SerialSettings& sender) : m_sender(sender) {}

    const SerialSettings& sender() const { return m_sender; }

    // The bytes a receiver set up as `receiver` hands on for `bytes` written at once.
    std::vector<std::uint8_t> deliver(std::span<const std::uint8_t> bytes,
                                      const ReceiverSettings& receiver) const;

private:
    SerialSettings m_sender;
};

}  // namespace indicatorsim
