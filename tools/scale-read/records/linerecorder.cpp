#include "tools/scale-read/records/linerecorder.h"

#include <cerrno>
#include <cstring>

#include "device/systemreason.h"
#include "tools/scale-read/records/recordformat.h"

namespace scaleread {

LineRecorder::LineRecorder(std::FILE* file, std::string path, scale::RecordingHeader header)
    : m_file(file), m_path(std::move(path)), m_header(std::move(header)) {}

LineRecorder::~LineRecorder() {
    std::fclose(m_file);
}

bool LineRecorder::write(std::int64_t steadyMicros, std::int64_t utcMillis,
                         std::span<const std::uint8_t> bytes) {
    if (!m_failure.empty() || bytes.empty()) {
        return m_failure.empty();
    }
    std::string text;
    if (m_firstMicros < 0) {
        m_firstMicros = steadyMicros;
        m_header.start = isoTime(utcMillis);
        text = scale::formatRecordingHeader(m_header);
    }
    text += scale::formatRecordingLine(steadyMicros - m_firstMicros, bytes);
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), m_file) != text.size() ||
        std::fflush(m_file) != 0) {
        m_failure =
            "cannot write the recording " + m_path + ": " +
                    scale::systemReasonText(errno ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace scaleread
