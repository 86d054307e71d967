// The simulator's request scanners: however the bytes are split into reads, they find the same
// requests as over all of them at once; the command request's count is the number of its
// occurrences in the bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/checks/fuzzcheck.h"
#include "fuzz/checks/fuzzinput.h"
#include "protocols/window/commandrequest.h"
#include "tools/indicator-sim/formats/formatrequests.h"
#include "tools/indicator-sim/formats/spokenformat.h"
#include "tools/indicator-sim/formats/requestscanner.h"

namespace {

// A request cannot overlap another (it starts with 02 and ends with 03), so its occurrences are
// the requests.
int occurrences(std::span<const std::uint8_t> bytes) {
    scale::TxFrameBytes request{};
    const auto needle = scale::buildCommandRequest(request);
    int count = 0;
    for (auto at = bytes.begin();; at += static_cast<std::ptrdiff_t>(needle.size())) {
        at = std::search(at, bytes.end(), needle.begin(), needle.end());
        if (at == bytes.end()) {
            return count;
        }
        ++count;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using scale::fuzz::require;
    scale::fuzz::FuzzInput input(data, size);
    // Up to seven read lengths, used in turn; the bytes after them are what arrives.
    std::vector<std::size_t> lengths;
    for (int n = input.byte() % 8; n > 0; --n) {
        lengths.push_back(input.byte() % 16u);
    }
    const auto bytes = input.rest();

    indicatorsim::RequestScanner whole;
    const int atOnce = whole.feed(bytes);
    require(atOnce == occurrences(bytes), "every request is counted once");

    // The formats' scanner, answering as sics, whose unknown commands count too.
    const auto names = [](const std::vector<indicatorsim::FormatRequest>& requests) {
        std::vector<std::string> found;
        for (const auto& request : requests) {
            found.push_back(std::string(request.format->name) + " " + request.name);
        }
        return found;
    };
    const indicatorsim::SpokenFormat* sics = indicatorsim::formatNamed("sics");
    indicatorsim::FormatRequestScanner formatsWhole(sics);
    const std::vector<std::string> formatsAtOnce = names(formatsWhole.feed(bytes));

    indicatorsim::RequestScanner split;
    indicatorsim::FormatRequestScanner formatsSplit(sics);
    int inReads = 0;
    std::vector<std::string> formatsInReads;
    const auto feed = [&](std::span<const std::uint8_t> read) {
        inReads += split.feed(read);
        for (std::string& name : names(formatsSplit.feed(read))) {
            formatsInReads.push_back(std::move(name));
        }
    };
    std::size_t at = 0;
    // Empty reads take part too, as long as some read length moves on.
    const bool movesOn = std::ranges::any_of(lengths, [](std::size_t l) { return l > 0; });
    for (std::size_t i = 0; movesOn && at < bytes.size(); ++i) {
        const std::size_t length = std::min(lengths[i % lengths.size()], bytes.size() - at);
        feed(bytes.subspan(at, length));
        at += length;
    }
    feed(bytes.subspan(at));
    require(inReads == atOnce, "splitting into reads changes no count");
    require(formatsInReads == formatsAtOnce, "splitting into reads changes no format request");
    return 0;
}
