#pragma once

#include <memory>
#include <string>

#include "protocols/formatdescription.h"

namespace scale {

struct UserFormat;

// Reads a frame's text (start and end byte left out) with a user's regular expression, anchored
// at both ends, whose named groups give the value, sign, unit, stable flag and mode. The match
// data is made once, so reading allocates nothing; one matcher serves one stream at a time.
class PatternMatcher final : public FrameMatcher {
public:
    // The matcher, or null with `error` set to what is wrong with the pattern.
    static std::unique_ptr<PatternMatcher> compile(const UserFormat& format, std::string& error);
    ~PatternMatcher() override;
    PatternMatcher(const PatternMatcher&) = delete;
    PatternMatcher& operator=(const PatternMatcher&) = delete;

    FrameReading read(std::span<const std::uint8_t> frame) const override;

    bool hasGroup(const char* name) const;

private:
    struct Pcre;
    explicit PatternMatcher(const UserFormat& format);

    const UserFormat& m_format;
    std::unique_ptr<Pcre> m_pcre;
    int m_value = -1;
    int m_sign = -1;
    int m_unit = -1;
    int m_stable = -1;
    int m_mode = -1;
};

}  // namespace scale
