#include "tools/indicator-sim/line/linemodel.h"

#include <limits>
#include <numeric>
#include <optional>

namespace indicatorsim {
namespace {

using Levels = std::vector<std::uint8_t>;

// The sender's line, one level per bit time, from its first start bit to its last stop bit.
Levels waveform(const SerialSettings& sender, std::span<const std::uint8_t> bytes) {
    Levels levels;
    levels.reserve(bytes.size() * static_cast<std::size_t>(bitsPerCharacter(sender)));
    for (const std::uint8_t byte : bytes) {
        levels.push_back(0);
        unsigned ones = 0;
        for (int i = 0; i < sender.dataBits; ++i) {
            const auto bit = static_cast<std::uint8_t>((byte >> i) & 1u);
            levels.push_back(bit);
            ones += bit;
        }
        if (sender.parity != Parity::None) {
            const bool oddOnes = (ones & 1u) != 0;
            levels.push_back(oddOnes == (sender.parity == Parity::Even) ? 1 : 0);
        }
        levels.insert(levels.end(), static_cast<std::size_t>(stopBitCount(sender)), 1);
    }
    return levels;
}

bool parityHolds(ReceiverParity parity, unsigned dataOnes, std::uint8_t parityBit) {
    switch (parity) {
        case ReceiverParity::None:
            return true;
        case ReceiverParity::Even:
            return ((dataOnes + parityBit) & 1u) == 0;
        case ReceiverParity::Odd:
            return ((dataOnes + parityBit) & 1u) == 1;
        case ReceiverParity::Mark:
            return parityBit == 1;
        case ReceiverParity::Space:
            return parityBit == 0;
    }
    return true;
}

// Time on the wire in whole units, so that every edge and every sample falls on a unit: a sender
// bit lasts 2q units and a receiver bit 2p, where p:q is the ratio of the two bauds in lowest
// terms; the receiver's mid-bit samples then fall p units into its bits.
class Wire {
public:
    Wire(const Levels& levels, long senderBaud, long receiverBaud) : m_levels(levels) {
        const long common = std::gcd(senderBaud, receiverBaud);
        m_p = senderBaud / common;
        m_q = receiverBaud / common;
        // The latest sample lies less than a receiver character (at most 12 bits) after the last
        // sender bit. Bauds whose ratio needs more room than 64 bits give are halved together,
        // which keeps their ratio to far better than any receiver's sampling does.
        const auto room = std::numeric_limits<std::int64_t>::max() /
                          (2 * static_cast<std::int64_t>(levels.size()) + 64);
        while (m_p > room || m_q > room) {
            m_p = (m_p + 1) / 2;
            m_q = (m_q + 1) / 2;
        }
    }

    std::int64_t halfReceiverBit() const { return m_p; }
    std::int64_t receiverBit() const { return 2 * m_p; }

    std::uint8_t levelAt(std::int64_t time) const {
        const auto bit = static_cast<std::size_t>(time / (2 * m_q));
        return bit < m_levels.size() ? m_levels[bit] : 1;
    }

    // The first sender bit boundary after `time`.
    std::size_t boundaryAfter(std::int64_t time) const {
        return static_cast<std::size_t>(time / (2 * m_q)) + 1;
    }

    // The time of the first 1-to-0 edge at boundary `from` or later; the line before the first
    // bit is idle.
    std::optional<std::int64_t> fallingEdge(std::size_t from) const {
        for (std::size_t bit = from; bit < m_levels.size(); ++bit) {
            const std::uint8_t before = bit == 0 ? 1 : m_levels[bit - 1];
            if (before == 1 && m_levels[bit] == 0) {
                return static_cast<std::int64_t>(bit) * 2 * m_q;
            }
        }
        return std::nullopt;
    }

private:
    const Levels& m_levels;
    std::int64_t m_p = 1;
    std::int64_t m_q = 1;
};

void handOn(std::vector<std::uint8_t>& out, std::uint8_t byte, bool faulty,
            const ReceiverSettings& receiver) {
    if (!faulty || !receiver.checkErrors) {
        out.push_back(byte);
    } else if (receiver.ignoreErrors) {
        return;
    } else if (receiver.markErrors) {
        out.insert(out.end(), {0xFF, 0x00, byte});
    } else {
        out.push_back(0x00);
    }
}

}  // namespace

ReceiverSettings receiverFor(const SerialSettings& sender) {
    static constexpr ReceiverParity kParities[] = {ReceiverParity::None, ReceiverParity::Even,
                                                   ReceiverParity::Odd, ReceiverParity::Mark,
                                                   ReceiverParity::Space};
    ReceiverSettings receiver;
    receiver.baud = sender.baud;
    receiver.parity = kParities[static_cast<int>(sender.parity)];
    receiver.dataBits = sender.dataBits;
    receiver.stopBits = stopBitCount(sender);
    return receiver;
}

std::string receiverText(const ReceiverSettings& receiver) {
    static constexpr char kLetters[] = "NEOMS";
    return std::to_string(receiver.baud) + "," + kLetters[static_cast<int>(receiver.parity)] + "," +
           std::to_string(receiver.dataBits) + "," + std::to_string(receiver.stopBits);
}

std::vector<std::uint8_t> LineModel::deliver(std::span<const std::uint8_t> bytes,
                                             const ReceiverSettings& receiver) const {
    std::vector<std::uint8_t> out;
    if (receiver.baud <= 0 || m_sender.baud <= 0) {
        return out;  // a receiver at 0 baud has hung up
    }
    const Levels levels = waveform(m_sender, bytes);
    const Wire wire(levels, m_sender.baud, receiver.baud);

    std::size_t from = 0;
    while (const std::optional<std::int64_t> edge = wire.fallingEdge(from)) {
        std::int64_t sampleAt = *edge + wire.halfReceiverBit();
        if (wire.levelAt(sampleAt) != 0) {
            from = wire.boundaryAfter(sampleAt);  // a glitch, not a start bit
            continue;
        }
        unsigned value = 0;
        unsigned ones = 0;
        for (int i = 0; i < receiver.dataBits; ++i) {
            sampleAt += wire.receiverBit();
            const std::uint8_t bit = wire.levelAt(sampleAt);
            value |= static_cast<unsigned>(bit) << i;
            ones += bit;
        }
        bool faulty = false;
        if (receiver.parity != ReceiverParity::None) {
            sampleAt += wire.receiverBit();
            faulty = !parityHolds(receiver.parity, ones, wire.levelAt(sampleAt));
        }
        sampleAt += wire.receiverBit();
        faulty = faulty || wire.levelAt(sampleAt) == 0;
        handOn(out, static_cast<std::uint8_t>(value), faulty, receiver);
        from = wire.boundaryAfter(sampleAt);
    }
    return out;
}

}  // namespace indicatorsim
