#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "protocols/stream/framestream.h"
#include "tools/scale-read/records/recordformat.h"

namespace scaleread {

// What the keyboard typed, for a record that tells it: what started it ("settle"), the text as
// typed and the focused window's title.
struct TypedNote {
    std::string_view trigger;
    std::string_view text;
    std::string_view window;
};

// One way of writing a record down.
struct TextForm {
    OutputFormat format = OutputFormat::Jsonl;
    bool station = true;       // with the station key (the broker and the board always have it)
    bool errorColumn = false;  // csv: the error column that --errors adds
    bool localTime = false;    // text: the host's time zone
    bool typed = false;        // jsonl: "type":"record" first, as the WebSocket's messages are
    bool operator==(const TextForm&) const = default;
};

// The current record in the forms the outlets ask for, each made at its first asking and the
// same text handed to whoever asks again: with a file, a broker and the board, a frame is
// written down once per form, not once per outlet. Each form keeps its formatter from record to
// record, and with it its cached second.
class RecordTexts {
public:
    // A new record; what was made for the one before is dropped. `keyed` has the station key,
    // `plain` only where the run's records have one; both outlive the record.
    void next(const RecordSource& keyed, const RecordSource& plain, std::int64_t utcMillis,
              const scale::StreamFrame& frame, bool stable, const TypedNote* typed = nullptr);

    // The record in `form`, with its line end; valid until the next record.
    std::string_view line(const TextForm& form);
    // The JSON object with the station key and no line end: what the broker and the board carry.
    std::string_view json() { return withoutLineEnd(line({})); }
    // The WebSocket's message: that object with "type":"record" first.
    std::string_view webSocketMessage() { return withoutLineEnd(line({.typed = true})); }

    // Texts written down since the start, over every form.
    std::size_t made() const { return m_made; }

private:
    struct Form {
        explicit Form(const TextForm& form);
        TextForm form;
        RecordFormatter formatter;
        std::string text;
        std::uint64_t record = 0;  // which record `text` holds
    };

    static std::string_view withoutLineEnd(std::string_view text) {
        return text.substr(0, text.size() - 1);
    }

    // A deque: a form added during a record leaves the texts handed out before in place.
    std::deque<Form> m_forms;
    std::uint64_t m_record = 0;
    const RecordSource* m_keyed = nullptr;
    const RecordSource* m_plain = nullptr;
    std::int64_t m_utcMillis = 0;
    const scale::StreamFrame* m_frame = nullptr;
    bool m_stable = false;
    const TypedNote* m_typed = nullptr;
    std::size_t m_made = 0;
};

}  // namespace scaleread
