#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/scale-read/serve/servedformats.h"

namespace scaleread {

// One request a client sent: its kind, or the format's reset.
struct ServedRequest {
    scale::RequestKind kind = scale::RequestKind::Unknown;
    bool reset = false;
};

// Cuts a served format's requests out of a client's bytes, however they were split: text lines
// (SICS), LF text CR (SMA) or single letters (8217). Text that is no request of the format is
// an Unknown one; overlong junk is dropped without growing.
class RequestCutter {
public:
    explicit RequestCutter(const ServedFormat& format) : m_format(format) {}

    std::vector<ServedRequest> feed(std::span<const std::uint8_t> bytes);

private:
    void finish(std::vector<ServedRequest>& found);

    const ServedFormat& m_format;
    std::string m_text;
    bool m_started = false;  // LF-CR framing: the LF has come
};

}  // namespace scaleread
