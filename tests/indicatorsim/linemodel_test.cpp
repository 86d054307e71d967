#include "tools/indicator-sim/line/linemodel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/indicator-sim/eventlog.h"

namespace indicatorsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string delivered(const SerialSettings& sender, const ReceiverSettings& receiver,
                      const Bytes& bytes) {
    return hexBytes(LineModel(sender).deliver(bytes, receiver));
}

ReceiverSettings receiverAt(long baud, ReceiverParity parity, int dataBits, int stopBits) {
    ReceiverSettings receiver;
    receiver.baud = baud;
    receiver.parity = parity;
    receiver.dataBits = dataBits;
    receiver.stopBits = stopBits;
    return receiver;
}

TEST(LineModel, EqualSettingsDeliverEveryByteUnchangedInEveryFraming) {
    Bytes all;
    for (int value = 0; value < 256; ++value) {
        all.push_back(static_cast<std::uint8_t>(value));
    }
    for (const Parity parity : {Parity::None, Parity::Even, Parity::Odd}) {
        for (int dataBits = 5; dataBits <= 8; ++dataBits) {
            for (int stopBits = 1; stopBits <= 2; ++stopBits) {
                const SerialSettings settings{9600, parity, dataBits,
                                               stopBits == 2 ? StopBits::Two : StopBits::One};
                ReceiverSettings receiver = receiverFor(settings);
                receiver.checkErrors = true;
                receiver.ignoreErrors = true;  // a byte found faulty would go missing
                Bytes expected;
                for (const std::uint8_t byte : all) {
                    expected.push_back(static_cast<std::uint8_t>(byte & ((1u << dataBits) - 1)));
                }
                EXPECT_EQ(LineModel(settings).deliver(all, receiver), expected)
                    << "at " << receiverText(receiver);
            }
        }
    }
}

TEST(LineModel, ASenderTwiceAsFastGivesTheGarbageWorkedOutBitByBit) {
    // Times in the sender's bit times at 19200; the receiver's bits at 9600 are two of them
    // long, so it samples at 1, 3, 5, ... after the edge it started on, where a sample on an edge
    // sees the level after it.
    const SerialSettings sender{19200, Parity::None, 8, StopBits::One};
    const ReceiverSettings receiver = receiverAt(9600, ReceiverParity::None, 8, 1);
    // 00: start and data 0 in bits 0-8, stop 1 in bit 9, then idle. Start sample 1 is 0; data
    // samples 3, 5, 7 are 0 and 9 to 17 are 1 (stop, idle): least significant first, 1111 1000.
    EXPECT_EQ(delivered(sender, receiver, {0x00}), "F8");
    // 00 00: the second byte's start bit at 10 and its data until 18 are 0, so only data sample
    // 9, the first byte's stop bit, is 1: 0000 1000. The stop sample 19 is the second stop bit.
    EXPECT_EQ(delivered(sender, receiver, {0x00, 0x00}), "08");
    // 3D (data 1, 0, 1, 1, 1, 1, 0, 0): the edge at 0 is a glitch (sample 1 hits data bit 1),
    // so is the edge at 2 (sample 3); the edge at 7 holds (sample 8), and every sample after
    // it falls past the stop bit in bit 9: FF.
    EXPECT_EQ(delivered(sender, receiver, {0x3D}), "FF");
    // Twice as slow: sample 4.75 of the stop bit falls in data bit 4, a framing error.
    const SerialSettings slow{9600, Parity::None, 8, StopBits::One};
    ReceiverSettings fast = receiverAt(19200, ReceiverParity::None, 8, 1);
    EXPECT_EQ(delivered(slow, fast, {0x00}), "00");
    fast.checkErrors = true;
    fast.ignoreErrors = true;
    EXPECT_EQ(delivered(slow, fast, {0x00}), "");
}

TEST(LineModel, ASevenBitSenderWithEvenParityFillsTheEighthBitWithItsParity) {
    const SerialSettings sender{9600, Parity::Even, 7, StopBits::One};
    const ReceiverSettings receiver = receiverAt(9600, ReceiverParity::None, 8, 1);
    Bytes sent;
    Bytes expected;
    for (unsigned value = 0; value < 128; ++value) {
        sent.push_back(static_cast<std::uint8_t>(value));
        const unsigned parity = static_cast<unsigned>(std::popcount(value)) & 1u;
        expected.push_back(static_cast<std::uint8_t>(value | parity << 7));
    }
    EXPECT_EQ(LineModel(sender).deliver(sent, receiver), expected);
    EXPECT_EQ(delivered(sender, receiver, {'A', 'C'}), "41 C3");
}

TEST(LineModel, StopBitsAndFaultyBytesAreHandledAsTheReceiverIsSetUp) {
    const ReceiverSettings eightN1 = receiverAt(9600, ReceiverParity::None, 8, 1);
    const Bytes frame{0x02, 0x2B, 0x30, 0x31, 0xFF, 0x00, 0x03};
    // A second stop bit is only a longer pause; a receiver checks the first stop bit alone.
    EXPECT_EQ(delivered({9600, Parity::None, 8, StopBits::Two}, eightN1, frame), hexBytes(frame));
    EXPECT_EQ(
        delivered({9600, Parity::None, 8, StopBits::One}, receiverAt(9600, ReceiverParity::None, 8, 2), frame),
        hexBytes(frame));

    // 7N1 into 8N1: the first byte's eighth data bit is its stop bit and its stop sample falls
    // on the next start bit (a framing error); the receiver then starts again at the fall after
    // the second byte's data bit 0 and reads its last zeros, its stop bit and idle line: F0.
    const struct {
        bool checkErrors, ignoreErrors, markErrors;
        std::string expected;
    } policies[] = {
        {false, false, false, "C1 F0"},                                     // no INPCK: as sampled
        {false, true, true, "C1 F0"},       {true, false, false, "00 F0"},  // INPCK
        {true, true, false, "F0"},                                          // INPCK and IGNPAR
        {true, false, true, "FF 00 C1 F0"},                                 // INPCK and PARMRK
        {true, true, true, "F0"},
    };
    for (const auto& policy : policies) {
        ReceiverSettings receiver = eightN1;
        receiver.checkErrors = policy.checkErrors;
        receiver.ignoreErrors = policy.ignoreErrors;
        receiver.markErrors = policy.markErrors;
        EXPECT_EQ(delivered({9600, Parity::None, 7, StopBits::One}, receiver, {0x41, 0x41}), policy.expected)
            << "INPCK " << policy.checkErrors << " IGNPAR " << policy.ignoreErrors << " PARMRK "
            << policy.markErrors;
    }

    // 8N1 into a receiver that expects a parity bit: it reads the stop bit (1) as one.
    const SerialSettings noParity{9600, Parity::None, 8, StopBits::One};
    const struct {
        ReceiverParity parity;
        Bytes sent;
        std::string expected;
    } parities[] = {
        {ReceiverParity::Even, {0x01}, "01"}, {ReceiverParity::Even, {0x03}, "00"},
        {ReceiverParity::Odd, {0x01}, "00"},  {ReceiverParity::Odd, {0x03}, "03"},
        {ReceiverParity::Mark, {0x03}, "03"}, {ReceiverParity::Space, {0x03}, "00"},
    };
    for (const auto& [parity, sent, expected] : parities) {
        ReceiverSettings receiver = receiverAt(9600, parity, 8, 1);
        receiver.checkErrors = true;
        EXPECT_EQ(delivered(noParity, receiver, sent), expected) << receiverText(receiver);
    }
    EXPECT_EQ(receiverText(receiverAt(19200, ReceiverParity::Space, 7, 2)), "19200,S,7,2");
}

}  // namespace
}  // namespace indicatorsim
