#include "protocols/window/commandrequest.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/protocols/framebytes.h"

namespace scale::test {
namespace {

TEST(CommandRequest, RebuildsTheWholeSixByteRequestInPlace) {
    TxFrameBytes tx;
    for (int call = 0; call < 2; ++call) {
        tx.fill(0xFF);
        const auto request = buildCommandRequest(tx);
        EXPECT_EQ(request.data(), tx.data());
        EXPECT_EQ(Bytes(request.begin(), request.end()), hexBytes("02 41 42 30 33 03"));
        EXPECT_EQ(Bytes(tx.begin(), tx.end()), hexBytes("02 41 42 30 33 03"));
    }
}

TEST(CommandRequest, RecognisesOnlyTheExactRequest) {
    const struct {
        const char* name;
        Bytes bytes;
        bool request;
    } cases[] = {
        {"the request", hexBytes("02 41 42 30 33 03"), true},
        {"nothing", {}, false},
        {"without its end byte", hexBytes("02 41 42 30 33"), false},
        {"with a byte after it", hexBytes("02 41 42 30 33 03 02"), false},
        {"after a stray byte", hexBytes("00 02 41 42 30 33 03"), false},
        {"checksum digits swapped", hexBytes("02 41 42 33 30 03"), false},
        {"other address", hexBytes("02 41 43 30 32 03"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isCommandRequest(c.bytes), c.request);
    }
}

}  // namespace
}  // namespace scale::test
