#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace scaleread {

// The weight that stands on one station's scale now, and its placement number: the number grows
// by one each time a weight settles after a change, so that any number of callers can ask for
// "the weight standing now" and get the same answer, or for "the next placement after the one I
// had" without taking anything from each other.
class StablePlacement {
public:
    // A reading's record; `stable`: its weight is stable now; `became`: it has just settled.
    void reading(std::string_view record, bool stable, bool became);
    // Something other than a stable reading came (an error frame) or the port went: nothing
    // stands until the next stable reading.
    void unsettled() { m_stands = false; }

    std::uint64_t seq() const { return m_seq; }
    bool stands() const { return m_stands; }
    // The standing weight's record with its number, when it stands now and is a placement after
    // `after` (any placement without one). A number from beyond this one (a caller of an earlier
    // run of the reader) is answered by the next placement.
    std::optional<std::string> answer(std::optional<std::uint64_t> after) const;
    // The record of the latest stable reading with its number, for those who waited for it.
    std::string numbered() const;

private:
    std::string m_record;
    std::uint64_t m_seq = 0;
    bool m_stands = false;
};

}  // namespace scaleread
