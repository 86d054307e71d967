#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "tools/scale-read/outlets/outlet.h"
#include "tools/scale-read/records/recordoutput.h"

namespace scaleread {

// The records file, or standard output: every chosen record in the run's format, written out
// after each one. A write that fails ends the run (status 1; 0 when the reader of a pipe went
// away), as does the last record of --count.
class RecordsOutlet : public Outlet {
public:
    using End = std::function<void(int status)>;
    using Note = std::function<void(const QString&)>;

    // `file` is closed by the outlet.
    RecordsOutlet(std::FILE* file, std::string name, TextForm form, End end, Note note);

    // The CSV header, before the first record of a new output.
    void writeHeader(const std::string& header);

    void record(const Record& record) override;
    bool finish() override;

private:
    RecordSink m_sink;
    TextForm m_form;
    End m_end;
    Note m_note;
};

// --count: ends the run (status 0) once it has had that many chosen records, error records under
// --errors too, whichever outlets they went to.
class CountOutlet : public Outlet {
public:
    CountOutlet(std::int64_t count, std::function<void(int status)> end)
        : m_left(count), m_end(std::move(end)) {}

    void record(const Record& record) override {
        if (record.chosen && --m_left <= 0) {
            m_end(0);
        }
    }

private:
    std::int64_t m_left;
    std::function<void(int status)> m_end;
};

}  // namespace scaleread
