#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/recording.h"
#include "protocols/userformats/formatcatalog.h"
#include "tools/scale-read/stations/stationreader.h"
#include "tools/scale-read/stations/weightstream.h"

namespace scaleread {

// Decodes a recording line by line as the live reader decodes the port, with the recording's
// own times: a read's time is the header's start plus its offset.
class RecordingDecoder {
public:
    using FrameHandler = StationReader::FrameHandler;

    // `format` overrides the header's protocol, which `catalog` finds otherwise; both outlive
    // the decoder.
    RecordingDecoder(const scale::FormatDescription* format, const scale::FormatCatalog& catalog,
                     ReadingRules rules, std::string decimalSeparator, FrameHandler onFrame);

    // Takes the next line (without its line end). False with failure() set for a line that is
    // not part of a recording; the handler may ask to stop with stop().
    bool line(std::string_view text);
    // Called once the header is read, before any frame.
    void setOnHeader(std::function<void(const scale::RecordingHeader&)> handler) {
        m_onHeader = std::move(handler);
    }
    // The recording has ended: a last frame still waiting for a check byte is decoded without it.
    void finish();
    void stop() { m_stopped = true; }
    bool stopped() const { return m_stopped; }

    const std::string& failure() const { return m_failure; }
    const scale::RecordingHeader& header() const { return m_header; }
    std::string_view protocolName() const;

private:
    bool takeHeader(std::string_view text);

    const scale::FormatDescription* m_format;
    const scale::FormatCatalog& m_catalog;
    ReadingRules m_rules;
    std::string m_separator;
    FrameHandler m_onFrame;
    std::function<void(const scale::RecordingHeader&)> m_onHeader;
    std::optional<WeightStream> m_weights;  // once the header names the protocol
    scale::RecordingHeader m_header;
    std::int64_t m_startMillis = 0;
    std::int64_t m_lastMicros = 0;
    std::uint64_t m_lineNumber = 0;
    std::vector<std::uint8_t> m_bytes;
    std::string m_failure;
    bool m_stopped = false;
};

// Reads `file` to its end (or until the decoder stops) in large blocks, line by line. False when
// a line was refused or reading failed; `failure` then says why, naming `path`.
bool decodeRecordingFile(std::FILE* file, const std::string& path, RecordingDecoder& decoder,
                         std::string& failure);

}  // namespace scaleread
