#include "tools/scale-read/records/recordoutput.h"

#include <cerrno>
#include <cstring>

#include "device/systemreason.h"

namespace scaleread {
namespace {

constexpr std::size_t kBlockBytes = 1 << 16;

}  // namespace

RecordSink::RecordSink(std::FILE* file, std::string name, bool flushEachRecord)
    : m_file(file), m_name(std::move(name)), m_flushEach(flushEachRecord) {
    m_buffer.reserve(kBlockBytes * 2);
}

RecordSink::~RecordSink() {
    finish();
    if (m_file != stdout) {
        std::fclose(m_file);
    }
}

bool RecordSink::commit() {
    if (m_flushEach || m_buffer.size() >= kBlockBytes) {
        return writeOut();
    }
    return !m_stopped;
}

bool RecordSink::finish() {
    return writeOut();
}

bool RecordSink::writeOut() {
    if (m_stopped) {
        m_buffer.clear();
        return false;
    }
    if (m_buffer.empty()) {
        return true;
    }
    errno = 0;
    const bool written = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) ==
                             m_buffer.size() &&
                         std::fflush(m_file) == 0;
    const int reason = errno != 0 ? errno : EIO;
    m_buffer.clear();
    if (written) {
        return true;
    }
    m_stopped = true;
    if (reason != EPIPE) {
        m_failure = "cannot write to " + m_name + ": " + scale::systemReasonText(reason);
    }
    return false;
}

bool RecordFilter::wants(const scale::StreamFrame& frame, bool becameStable) {
    if (frame.error != scale::FrameError::None) {
        return m_choice.errors;
    }
    if (m_choice.stableOnly && !becameStable) {
        return false;
    }
    if (m_choice.changesOnly && m_anyWritten && frame.text == m_lastText) {
        return false;
    }
    m_anyWritten = true;
    m_lastText = frame.text;
    return true;
}

StationOutput::StationOutput(RecordSource source, RecordChoice choice, RecordFormatter& formatter,
                             RecordSink& sink)
    : m_source(std::move(source)), m_filter(choice), m_formatter(formatter), m_sink(sink) {}

bool StationOutput::frame(std::int64_t utcMillis, const scale::StreamFrame& frame, bool stable,
                          bool becameStable) {
    if (!m_filter.wants(frame, becameStable)) {
        return false;
    }
    m_formatter.appendRecord(m_sink.buffer(), m_source, utcMillis, frame, stable);
    m_sink.commit();
    return true;
}

}  // namespace scaleread
