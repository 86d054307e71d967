#include "tools/scale-read/serve/requestcutter.h"

namespace scaleread {
namespace {

// No request of a served format is longer; a longer text is junk.
constexpr std::size_t kLongestText = 16;

}  // namespace

void RequestCutter::finish(std::vector<ServedRequest>& found) {
    // SICS takes blanks after a command ("SI "), as a terminal user types them.
    while (!m_text.empty() && m_text.back() == ' ') {
        m_text.pop_back();
    }
    if (m_text.empty()) {
        return;
    }
    ServedRequest request;
    if (!m_format.reset.empty() && m_text == m_format.reset) {
        request.reset = true;
    }
    for (const scale::RequestWord& word : m_format.speaking->requests) {
        if (word.text == m_text) {
            request.kind = word.kind;
        }
    }
    found.push_back(request);
    m_text.clear();
}

std::vector<ServedRequest> RequestCutter::feed(std::span<const std::uint8_t> bytes) {
    std::vector<ServedRequest> found;
    for (const std::uint8_t byte : bytes) {
        const char c = static_cast<char>(byte);
        switch (m_format.speaking->framing) {
            case scale::RequestFraming::Line:
                if (c == '\r' || c == '\n') {
                    finish(found);
                    m_text.clear();
                } else if (m_text.size() <= kLongestText) {
                    m_text.push_back(c);
                }
                break;
            case scale::RequestFraming::LfCr:
                if (c == '\n') {
                    m_started = true;
                    m_text.clear();
                } else if (m_started && c == '\r') {
                    finish(found);
                    m_started = false;
                    m_text.clear();
                } else if (m_started && m_text.size() <= kLongestText) {
                    m_text.push_back(c);
                }
                break;
            case scale::RequestFraming::SingleByte:
                // Line ends a terminal adds are no request.
                if (c != '\r' && c != '\n') {
                    m_text.assign(1, c);
                    finish(found);
                }
                break;
            default:
                break;
        }
    }
    return found;
}

}  // namespace scaleread
