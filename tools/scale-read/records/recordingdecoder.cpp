#include "tools/scale-read/records/recordingdecoder.h"

#include <cerrno>
#include <cstring>

#include "device/systemreason.h"
#include "tools/scale-read/records/recordformat.h"

namespace scaleread {

RecordingDecoder::RecordingDecoder(const scale::FormatDescription* format,
                                   const scale::FormatCatalog& catalog, ReadingRules rules,
                                   std::string decimalSeparator, FrameHandler onFrame)
    : m_format(format),
      m_catalog(catalog),
      m_rules(rules),
      m_separator(std::move(decimalSeparator)),
      m_onFrame(std::move(onFrame)) {}

std::string_view RecordingDecoder::protocolName() const {
    return m_weights ? m_weights->format().name : std::string_view();
}

bool RecordingDecoder::takeHeader(std::string_view text) {
    const auto header = scale::parseRecordingHeader(text);
    if (!header) {
        m_failure = "line 1 is not a recording's header (# port=... settings=... protocol=... "
                    "start=...)";
        return false;
    }
    m_header = *header;
    if (m_format == nullptr) {
        m_format = m_catalog.find(m_header.protocol);
        if (m_format == nullptr) {
            m_failure = "the header names no known protocol ('" + m_header.protocol +
                        "'); give --protocol, or --formats with its description";
            return false;
        }
    }
    m_startMillis = parseIsoTime(m_header.start);
    if (m_startMillis < 0) {
        m_failure = "the header's start time '" + m_header.start + "' is not like " +
                    "2026-12-07T12:00:00.000Z";
        return false;
    }
    m_weights.emplace(*m_format, m_rules.stableBand, m_rules.stableMillis, m_separator);
    if (m_onHeader) {
        m_onHeader(m_header);
    }
    return true;
}

bool RecordingDecoder::line(std::string_view text) {
    ++m_lineNumber;
    if (m_lineNumber == 1) {
        return takeHeader(text);
    }
    if (scale::isRecordingComment(text)) {
        return true;
    }
    std::int64_t micros = 0;
    if (!scale::parseRecordingLine(text, micros, m_bytes)) {
        m_failure = "line " + std::to_string(m_lineNumber) + " is not a time and hex bytes";
        return false;
    }
    if (micros < m_lastMicros) {
        m_failure = "line " + std::to_string(m_lineNumber) + " goes back in time";
        return false;
    }
    m_lastMicros = micros;
    const std::int64_t utc = m_startMillis + micros / 1000;
    m_weights->feed(m_bytes, micros / 1000,
                    [&](const scale::StreamFrame& frame, bool stable, bool became) {
                        m_onFrame(utc, frame, stable, became);
                        return !m_stopped;
                    });
    return true;
}

void RecordingDecoder::finish() {
    if (!m_weights || m_stopped) {
        return;
    }
    const std::int64_t utc = m_startMillis + m_lastMicros / 1000;
    m_weights->finish(m_lastMicros / 1000,
                      [&](const scale::StreamFrame& frame, bool stable, bool became) {
                          m_onFrame(utc, frame, stable, became);
                          return !m_stopped;
                      });
}

bool decodeRecordingFile(std::FILE* file, const std::string& path, RecordingDecoder& decoder,
                         std::string& failure) {
    std::vector<char> block(1 << 20);
    std::size_t kept = 0;  // the start of a line cut off by the end of the last block
    bool any = false;
    for (;;) {
        const std::size_t count = std::fread(block.data() + kept, 1, block.size() - kept, file);
        if (count == 0 && std::ferror(file)) {
            failure =
                "cannot read " + path + ": " + scale::systemReasonText(errno ? errno : EIO);
            return false;
        }
        const bool atEnd = count == 0;
        const std::size_t filled = kept + count;
        std::size_t from = 0;
        while (from < filled) {
            const void* found = std::memchr(block.data() + from, '\n', filled - from);
            if (found == nullptr && !atEnd) {
                break;
            }
            const std::size_t end =
                found ? static_cast<std::size_t>(static_cast<const char*>(found) - block.data())
                      : filled;
            any = true;
            if (!decoder.line(std::string_view(block.data() + from, end - from))) {
                failure = path + ": " + decoder.failure();
                return false;
            }
            if (decoder.stopped()) {
                return true;
            }
            from = end + 1;
        }
        if (atEnd) {
            break;
        }
        kept = filled - from;
        if (kept == block.size()) {
            failure = path + ": a line longer than " + std::to_string(block.size()) + " bytes";
            return false;
        }
        std::memmove(block.data(), block.data() + from, kept);
    }
    if (!any) {
        failure = path + ": empty, not a recording";
        return false;
    }
    decoder.finish();
    return true;
}

}  // namespace scaleread
