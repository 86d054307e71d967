#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "protocols/recording.h"

namespace scaleread {

// Writes what a port delivered to a recording file, one line per read, each flushed at once so
// that a recording cut short by a crash keeps everything up to it. The header goes out with the
// first read, whose time is the recording's start.
class LineRecorder {
public:
    LineRecorder(std::FILE* file, std::string path, scale::RecordingHeader header);
    ~LineRecorder();
    LineRecorder(const LineRecorder&) = delete;
    LineRecorder& operator=(const LineRecorder&) = delete;

    // False once writing has failed; failure() says why.
    bool write(std::int64_t steadyMicros, std::int64_t utcMillis,
               std::span<const std::uint8_t> bytes);
    const std::string& failure() const { return m_failure; }

private:
    std::FILE* m_file;
    std::string m_path;
    scale::RecordingHeader m_header;
    std::int64_t m_firstMicros = -1;
    std::string m_failure;
};

}  // namespace scaleread
