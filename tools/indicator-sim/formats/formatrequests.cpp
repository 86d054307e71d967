#include "tools/indicator-sim/formats/formatrequests.h"

#include <algorithm>

#include "tools/indicator-sim/eventlog.h"

namespace indicatorsim {
namespace {

constexpr std::uint8_t kEsc = 0x1B;
// Longer texts are no request of any format; keeping them would only let junk grow the buffer.
constexpr std::size_t kLongestText = 16;

// The text as one word of an event line: control characters, spaces and bytes above 7E as \xHH.
std::string printable(const std::string& text) {
    return escapedText(text, [](unsigned char byte) {
        return byte <= 0x20 || byte >= 0x7F || byte == '\\';
    });
}

// Control bytes other than CR and LF, and bytes above 7F, belong to no text request: they end
// whatever came before them, so that another protocol's binary request does not spoil the next
// text one.
bool isJunk(std::uint8_t byte) {
    return (byte < 0x20 && byte != '\r' && byte != '\n') || byte >= 0x7F;
}

}  // namespace

FormatRequestScanner::FormatRequestScanner(const SpokenFormat* own) : m_own(own) {
    for (const SpokenFormat& format : allFormats()) {
        if (format.framing != RequestFraming::None) {
            m_pending.push_back({&format, {}, false});
        }
    }
    // A described format is no row of the table but is heard as one.
    if (own && own->framing != RequestFraming::None &&
        std::ranges::find(m_pending, own, &Pending::format) == m_pending.end()) {
        m_pending.push_back({own, {}, false});
    }
}

std::vector<FormatRequest> FormatRequestScanner::feed(std::span<const std::uint8_t> bytes) {
    std::vector<FormatRequest> found;
    for (const std::uint8_t byte : bytes) {
        for (Pending& pending : m_pending) {
            take(pending, byte, found);
        }
    }
    return found;
}

void FormatRequestScanner::take(Pending& pending, std::uint8_t byte,
                                std::vector<FormatRequest>& found) const {
    const char c = static_cast<char>(byte);
    switch (pending.format->framing) {
        case RequestFraming::None:
            return;
        case RequestFraming::Line:
            if (isJunk(byte)) {
                pending.text.clear();
            } else if (c == '\r' || c == '\n') {
                if (!pending.text.empty()) {
                    finish(pending, found);
                }
                pending.text.clear();
            } else if (pending.text.size() < kLongestText) {
                pending.text.push_back(c);
            }
            return;
        case RequestFraming::LfCr:
            if (c == '\n') {
                pending.started = true;
                pending.text.clear();
            } else if (isJunk(byte)) {
                pending.started = false;
            } else if (pending.started && c == '\r') {
                finish(pending, found);
                pending.started = false;
            } else if (pending.started && pending.text.size() < kLongestText) {
                pending.text.push_back(c);
            }
            return;
        case RequestFraming::Escape:
            if (pending.started && byte != kEsc) {
                pending.text.assign(1, c);
                finish(pending, found);
                pending.started = false;
            } else {
                pending.started = byte == kEsc;
            }
            return;
        case RequestFraming::SingleByte:
            pending.text.assign(1, c);
            finish(pending, found);
            return;
        case RequestFraming::Exact:
            // The last bytes, long enough for the longest word, are tried against each word.
            pending.text.push_back(c);
            if (pending.text.size() > kLongestText) {
                pending.text.erase(0, pending.text.size() - kLongestText);
            }
            for (const RequestWord& word : pending.format->requests) {
                if (std::string_view(pending.text).ends_with(word.text)) {
                    pending.text = word.text;
                    finish(pending, found);
                    pending.text.clear();
                    return;
                }
            }
            return;
    }
}

void FormatRequestScanner::finish(const Pending& pending, std::vector<FormatRequest>& found) const {
    const SpokenFormat* format = pending.format;
    const auto word = std::ranges::find(format->requests, pending.text, &RequestWord::text);
    const std::string prefix = format->framing == RequestFraming::Escape ? "ESC " : "";
    if (word != format->requests.end()) {
        const std::string text = format->framing == RequestFraming::Exact
                                     ? printable(std::string(word->text))
                                     : std::string(word->text);
        found.push_back({format, word->kind, prefix + text});
    } else if (format == m_own && format->framing != RequestFraming::SingleByte &&
               format->framing != RequestFraming::Escape &&
               format->framing != RequestFraming::Exact) {
        // Single letters and escapes of no meaning are line noise; a whole unknown command is
        // answered as the indicator would.
        found.push_back({format, RequestKind::Unknown, "unknown " + printable(pending.text)});
    }
}

}  // namespace indicatorsim
