#pragma once

#include <memory>
#include <string>
#include <vector>

#include "protocols/stream/formatdescription.h"

namespace scale {

struct UserFormat;

// Reads a frame's text (start and end byte left out) with a user's regular expression, anchored
// at both ends, whose named groups give the value, sign, unit, stable flag and mode. Frames that
// carry no weight (overload, underload, busy, the indicator's error) have patterns of their own,
// tried first; a frame with a check must pass it before any pattern is tried. The match data is
// made once, so reading allocates nothing; one matcher serves one stream at a time.
class PatternMatcher final : public FrameMatcher {
public:
    // The matcher, or null with `error` set to what is wrong with the pattern.
    static std::unique_ptr<PatternMatcher> compile(const UserFormat& format, std::string& error);
    ~PatternMatcher() override;
    PatternMatcher(const PatternMatcher&) = delete;
    PatternMatcher& operator=(const PatternMatcher&) = delete;

    FrameReading read(std::span<const std::uint8_t> frame) const override;

    bool hasGroup(const char* name) const;

    // Adds the pattern of a status frame, read as `error`; `key` names it in the error. An
    // indicator's error may have a `text` group, its words; no other pattern has named groups.
    bool addStatus(const char* key, const std::string& pattern, FrameError status,
                   std::string& error);

private:
    struct Pcre;
    struct Status;
    explicit PatternMatcher(const UserFormat& format);

    const UserFormat& m_format;
    std::unique_ptr<Pcre> m_pcre;
    std::vector<Status> m_statuses;
    int m_value = -1;
    int m_sign = -1;
    int m_unit = -1;
    int m_stable = -1;
    int m_mode = -1;
};

}  // namespace scale
