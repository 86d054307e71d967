#include "tools/scale-read/records/recordsoutlet.h"

namespace scaleread {

RecordsOutlet::RecordsOutlet(std::FILE* file, std::string name, TextForm form, End end,
                             Note note)
    : m_sink(file, std::move(name), true),
      m_form(form),
      m_end(std::move(end)),
      m_note(std::move(note)) {}

void RecordsOutlet::writeHeader(const std::string& header) {
    m_sink.buffer() += header;
    m_sink.commit();
}

void RecordsOutlet::record(const Record& record) {
    if (!record.chosen || m_sink.stopped()) {
        return;
    }
    m_sink.buffer() += record.texts.line(m_form);
    m_sink.commit();
    if (m_sink.stopped()) {
        m_end(m_sink.failure().empty() ? 0 : 1);
    }
}

bool RecordsOutlet::finish() {
    m_sink.finish();
    if (!m_sink.failure().empty()) {
        m_note(QString::fromStdString(m_sink.failure()));
        return false;
    }
    return true;
}

}  // namespace scaleread
