#pragma once

#include <cstdio>
#include <string>

#include "tools/scale-read/records/recordformat.h"

namespace scaleread {

// Where records go: standard output or a file opened for appending, which the sink closes. Records are buffered and
// written out after each one while reading live (so that a pipe or a tail sees each at once), or
// in large blocks when decoding a recording.
class RecordSink {
public:
    RecordSink(std::FILE* file, std::string name, bool flushEachRecord);
    ~RecordSink();
    RecordSink(const RecordSink&) = delete;
    RecordSink& operator=(const RecordSink&) = delete;

    std::string& buffer() { return m_buffer; }
    // After a record was appended to buffer(): writes it out when due. False once writing failed.
    bool commit();
    // Writes out what is left. False once writing failed.
    bool finish();
    // Why writing failed, "" while it has not; a reader that went away (a closed pipe) is no
    // failure of ours and leaves this empty, though writing stops.
    const std::string& failure() const { return m_failure; }
    bool stopped() const { return m_stopped; }

private:
    bool writeOut();

    std::FILE* m_file;
    std::string m_name;
    bool m_flushEach;
    bool m_stopped = false;
    std::string m_failure;
    std::string m_buffer;
};

// Which records a station writes.
struct RecordChoice {
    bool errors = false;       // rejected frames too
    bool changesOnly = false;  // a reading only when its text differs from the last one written
    bool stableOnly = false;   // a reading only when the weight has just become stable
};

// Which of a station's frames make records, by its RecordChoice.
class RecordFilter {
public:
    explicit RecordFilter(RecordChoice choice) : m_choice(choice) {}

    // Whether `frame` makes a record; a reading that does becomes the last one written.
    bool wants(const scale::StreamFrame& frame, bool becameStable);

private:
    RecordChoice m_choice;
    std::string m_lastText;
    bool m_anyWritten = false;
};

// One station's records in the shared formatter and sink.
class StationOutput {
public:
    StationOutput(RecordSource source, RecordChoice choice, RecordFormatter& formatter,
                  RecordSink& sink);

    // Writes what `frame` calls for. True when a record was written (a reading, or an error
    // record under --errors), which --count counts.
    bool frame(std::int64_t utcMillis, const scale::StreamFrame& frame, bool stable,
               bool becameStable);

    const RecordSource& source() const { return m_source; }

private:
    RecordSource m_source;
    RecordFilter m_filter;
    RecordFormatter& m_formatter;
    RecordSink& m_sink;
};

}  // namespace scaleread
