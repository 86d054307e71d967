#include "tools/indicator-sim/formats/protocolframes.h"

#include "protocols/formats/encoding.h"

namespace indicatorsim {
namespace {

template <std::size_t N>
std::vector<std::uint8_t> toVector(const std::array<std::uint8_t, N>& frame) {
    return {frame.begin(), frame.end()};
}

}  // namespace

OutgoingFrame makeFrame(Protocol protocol, const scale::IndicatorReading& reading) {
    switch (protocol) {
        case Protocol::Continuous:
            return {toVector(scale::encodeContinuousFrame(reading)), scale::readingText(reading)};
        case Protocol::Command:
            return {toVector(scale::encodeCommandReply(reading)), scale::readingText(reading)};
        case Protocol::ShenTong:
            return {toVector(scale::encodeShenTongFrame(reading)), scale::shenTongText(reading)};
        case Protocol::Format:
            break;
    }
    return {};
}

std::size_t frameLength(Protocol protocol) {
    switch (protocol) {
        case Protocol::Continuous:
            return 12;
        case Protocol::Command:
            return 14;
        case Protocol::ShenTong:
            return 8;
        case Protocol::Format:
            break;
    }
    return 0;
}

bool hasChecksum(Protocol protocol) {
    return protocol == Protocol::Continuous || protocol == Protocol::Command;
}

bool readingFits(Protocol protocol, const scale::IndicatorReading& reading,
                 const SpokenFormat* format) {
    if (protocol == Protocol::Format && format) {
        return reading.digits <= 999999u && scale::fitsField(*format, reading.digits, reading.decimals);
    }
    if (protocol == Protocol::ShenTong) {
        return scale::shenTongFits(reading);
    }
    return reading.digits <= 999999u;
}

}  // namespace indicatorsim
