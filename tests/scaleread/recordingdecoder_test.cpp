#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tools/scale-read/records/recordformat.h"
#include "tools/scale-read/records/recordingdecoder.h"

namespace scaleread {
namespace {

struct Decoded {
    bool ok = false;
    std::string failure;
    std::vector<std::string> records;
};

Decoded decode(const std::string& recording,
               const scale::FormatDescription* format = nullptr) {
    Decoded decoded;
    const scale::FormatCatalog catalog;
    std::optional<RecordingDecoder> decoder;
    decoder.emplace(format, catalog, ReadingRules{&scale::formatOf(scale::IndicatorProtocol::Continuous), 100, 1, 100},
                    ".", [&](std::int64_t utc, const scale::StreamFrame& frame, bool stable, bool) {
                        decoded.records.push_back(isoTime(utc) + " " + frame.text +
                                                  (stable ? " stable" : ""));
                    });
    std::FILE* file = ::fmemopen(const_cast<char*>(recording.data()), recording.size(), "r");
    decoded.ok = decodeRecordingFile(file, "a.rec", *decoder, decoded.failure);
    std::fclose(file);
    return decoded;
}

const std::string kHeader =
    "# port=Com1 settings=9600,N,8,1 protocol=continuous start=2026-12-07T12:00:00.000Z\n";

TEST(RecordingDecoder, DecodesWithTheRecordingsTimes) {
    const Decoded decoded = decode(kHeader +
                                   "0.000000 02 2B 30 30 30 31 30 30 32 31 38\n"
                                   "# a comment\n"
                                   "\n"
                                   "0.120500 03 02 2B 30 30 30 31 30 30 32 31 38 03\n"
                                   "0.250999 02 2B 30 30 30 31 30 30 32 31 38 03");
    EXPECT_TRUE(decoded.ok) << decoded.failure;
    EXPECT_EQ(decoded.records,
              (std::vector<std::string>{"2026-12-07T12:00:00.120Z 1.00kg",
                                        "2026-12-07T12:00:00.120Z 1.00kg",
                                        "2026-12-07T12:00:00.250Z 1.00kg stable"}));
}

TEST(RecordingDecoder, LastFrameIsKeptWhenTheRecordingEndsBeforeItsCheckByte) {
    const Decoded decoded = decode(
        "# port=Com1 settings=9600,N,8,1 protocol=toledo start=2026-12-07T12:00:00.000Z\n"
        "0.000000 02 34 30 20 30 30 30 31 30 30 30 30 30 30 30 30 0D 2C\n"
        "0.100000 02 34 30 20 30 30 30 32 30 30 30 30 30 30 30 30 0D\n");
    EXPECT_TRUE(decoded.ok) << decoded.failure;
    EXPECT_EQ(decoded.records, (std::vector<std::string>{"2026-12-07T12:00:00.000Z 1.00kg stable",
                                                         "2026-12-07T12:00:00.100Z 2.00kg stable"}));
}

TEST(RecordingDecoder, RefusesWhatIsNoRecordingNamingTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "a.rec: empty, not a recording"},
        {"0.000000 02\n", "a.rec: line 1 is not a recording's header (# port=... settings=... "
                          "protocol=... start=...)"},
        {"# port=Com1 protocol=modbus start=2026-12-07T12:00:00.000Z\n",
         "a.rec: the header names no known protocol ('modbus'); give --protocol, or "
         "--formats with its description"},
        {"# port=Com1 protocol=continuous start=yesterday\n",
         "a.rec: the header's start time 'yesterday' is not like 2026-12-07T12:00:00.000Z"},
        {kHeader + "0.5 02\n", "a.rec: line 2 is not a time and hex bytes"},
        {kHeader + "0.500000 02\n0.400000 03\n", "a.rec: line 3 goes back in time"},
    };
    for (const auto& [recording, failure] : cases) {
        const Decoded decoded = decode(recording);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.failure, failure);
    }
    // --protocol stands in for a header that names none.
    EXPECT_TRUE(decode("# port=Com1 start=2026-12-07T12:00:00.000Z\n0.000000 3D\n",
                       &scale::formatOf(scale::IndicatorProtocol::ShenTong))
                    .ok);
}

}  // namespace
}  // namespace scaleread
