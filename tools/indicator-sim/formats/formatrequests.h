#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/indicator-sim/formats/spokenformat.h"

namespace indicatorsim {

struct FormatRequest {
    const SpokenFormat* format;
    RequestKind kind;
    std::string name;  // "SI", "ESC P"; for an unknown one "unknown" and its text
};

// Finds every format's requests in the received bytes, however they were split into reads, so
// that the log shows whatever a reader sent, in any format. Unknown requests are reported only
// for `own`, the format that answers them.
class FormatRequestScanner {
public:
    explicit FormatRequestScanner(const SpokenFormat* own);

    std::vector<FormatRequest> feed(std::span<const std::uint8_t> bytes);

private:
    struct Pending {
        const SpokenFormat* format;
        std::string text;      // the request's text so far
        bool started = false;  // LF-CR and escape framing: the opening byte has come
    };

    void take(Pending& pending, std::uint8_t byte, std::vector<FormatRequest>& found) const;
    void finish(const Pending& pending, std::vector<FormatRequest>& found) const;

    const SpokenFormat* m_own;
    std::vector<Pending> m_pending;  // one per format that takes requests
};

}  // namespace indicatorsim
