#include "tools/indicator-sim/faults/faults.h"

#include <utility>

#include "tools/indicator-sim/faults/checksumfaults.h"

namespace indicatorsim {
namespace {

constexpr int kMostStrayBytes = 4;
constexpr int kMostNoiseBytes = 16;

// Stray bytes never hold a start or end byte: they test that junk before a frame is skipped,
// while noise, which may hold anything, tests what happens when it is not.
bool startsOrEndsFrames(std::uint8_t byte) {
    return byte == 0x02 || byte == 0x03 || byte == '=';
}

}  // namespace

FaultInjector::FaultInjector(const FaultRates& rates, Micros cutPause, std::uint64_t seed)
    : m_rates(rates), m_cutPause(cutPause), m_random(seed) {}

std::vector<Piece> FaultInjector::shape(Micros at, OutgoingFrame frame, bool checksummed) {
    // Every fault draws its chance on every frame, in a fixed order, so that one seed gives one
    // sequence of choices for a given set of options.
    const bool badChecksum = m_random.chance(m_rates.badChecksum);
    const bool lowercase = m_random.chance(m_rates.lowercase);
    const bool stray = m_random.chance(m_rates.stray);
    const bool cut = m_random.chance(m_rates.cut);
    const bool noise = m_random.chance(m_rates.noise);

    bool spoiled = false;
    if (checksummed && badChecksum) {
        spoilChecksum(frame.bytes);
        spoiled = true;
    }
    if (checksummed && lowercase) {
        // A checksum of digits alone has no lower case; that frame goes out intact.
        spoiled = lowerCaseChecksum(frame.bytes) || spoiled;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t frameStart = 0;
    if (stray) {
        const auto count = m_random.between(1, kMostStrayBytes);
        while (std::cmp_less(bytes.size(), count)) {
            const std::uint8_t byte = m_random.byte();
            if (!startsOrEndsFrames(byte)) {
                bytes.push_back(byte);
            }
        }
        frameStart = bytes.size();
        spoiled = true;
    }
    bytes.insert(bytes.end(), frame.bytes.begin(), frame.bytes.end());
    const std::string text = spoiled || cut ? std::string(kNoReadout) : std::move(frame.text);

    std::vector<Piece> pieces;
    Micros last = at;
    if (cut) {
        // Somewhere inside the frame itself, so each half holds part of it.
        const auto split =
            static_cast<std::size_t>(m_random.between(static_cast<std::int64_t>(frameStart) + 1,
                                                      static_cast<std::int64_t>(bytes.size()) - 1));
        last = at + m_cutPause;
        pieces.push_back(
            {at, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(split)}, text});
        pieces.push_back(
            {last, {bytes.begin() + static_cast<std::ptrdiff_t>(split), bytes.end()}, text});
    } else {
        pieces.push_back({at, std::move(bytes), text});
    }
    if (noise) {
        std::vector<std::uint8_t> junk(
            static_cast<std::size_t>(m_random.between(1, kMostNoiseBytes)));
        for (auto& byte : junk) {
            byte = m_random.byte();
        }
        pieces.push_back({last, std::move(junk), std::string(kNoReadout)});
    }
    return pieces;
}

}  // namespace indicatorsim
