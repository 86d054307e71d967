// The recording's header and data lines, on each line of the input: whatever reads, writes back
// to a line that reads the same.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/checks/fuzzcheck.h"
#include "protocols/recording.h"

namespace {

using namespace scale;
using fuzz::require;

void checkLine(std::string_view line) {
    if (const auto header = parseRecordingHeader(line)) {
        const std::string written = formatRecordingHeader(*header);
        require(written.find('\n') == written.size() - 1, "a header is written as one line");
        require(parseRecordingHeader(written) == header, "a header reads back as written");
    }
    std::int64_t micros = -1;
    std::vector<std::uint8_t> bytes;
    if (parseRecordingLine(line, micros, bytes)) {
        require(micros >= 0 && !bytes.empty(), "a data line has a time from 0 and a byte");
        const std::string written = formatRecordingLine(micros, bytes);
        std::int64_t again = -1;
        std::vector<std::uint8_t> reread;
        require(parseRecordingLine(written, again, reread) && again == micros && reread == bytes,
                "a data line reads back as written");
    } else {
        require(bytes.empty(), "a refused data line leaves no bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        checkLine(text.substr(0, length));
        text.remove_prefix(length);
    }
    return 0;
}
