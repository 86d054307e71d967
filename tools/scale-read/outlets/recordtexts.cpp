#include "tools/scale-read/outlets/recordtexts.h"

namespace scaleread {

RecordTexts::Form::Form(const TextForm& wanted)
    : form(wanted), formatter(wanted.format, wanted.errorColumn, wanted.localTime) {
    if (wanted.typed) {
        formatter.setJsonType("record");
    }
}

void RecordTexts::next(const RecordSource& keyed, const RecordSource& plain,
                       std::int64_t utcMillis, const scale::StreamFrame& frame, bool stable) {
    ++m_record;
    m_keyed = &keyed;
    m_plain = &plain;
    m_utcMillis = utcMillis;
    m_frame = &frame;
    m_stable = stable;
}

std::string_view RecordTexts::line(const TextForm& asked) {
    // What a format leaves out does not make another form: a records file of jsonl under
    // --errors shares the broker's text.
    TextForm form = asked;
    form.errorColumn = form.errorColumn && form.format == OutputFormat::Csv;
    form.localTime = form.localTime && form.format == OutputFormat::Text;
    form.typed = form.typed && form.format == OutputFormat::Jsonl;
    Form* found = nullptr;
    for (Form& known : m_forms) {
        if (known.form == form) {
            found = &known;
            break;
        }
    }
    if (found == nullptr) {
        found = &m_forms.emplace_back(form);
    }
    if (found->record != m_record) {
        found->text.clear();
        found->formatter.appendRecord(found->text, form.station ? *m_keyed : *m_plain,
                                      m_utcMillis, *m_frame, m_stable);
        found->record = m_record;
        ++m_made;
    }
    return found->text;
}

}  // namespace scaleread
