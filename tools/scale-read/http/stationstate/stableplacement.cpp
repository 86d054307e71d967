#include "tools/scale-read/http/stationstate/stableplacement.h"

namespace scaleread {

void StablePlacement::reading(std::string_view record, bool stable, bool became) {
    if (became) {
        ++m_seq;
    }
    // A stable reading with no settling of its own (after an error frame, say) stands for the
    // placement that settled last; one before any settling stands for nothing yet.
    m_stands = stable && m_seq > 0;
    if (stable) {
        m_record.assign(record);
    }
}

std::optional<std::string> StablePlacement::answer(std::optional<std::uint64_t> after) const {
    if (!m_stands || (after && *after >= m_seq)) {
        return std::nullopt;
    }
    return numbered();
}

std::string StablePlacement::numbered() const {
    // The record is the reader's own jsonl object: the number goes in as its last field, the
    // others keep their order.
    std::string text = m_record;
    if (!text.empty() && text.back() == '}') {
        text.pop_back();
        text += ",\"seq\":" + std::to_string(m_seq) + '}';
    }
    return text;
}

}  // namespace scaleread
