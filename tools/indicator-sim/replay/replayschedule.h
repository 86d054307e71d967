#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tools/indicator-sim/micros.h"

namespace indicatorsim {

// A recording's reads, in order: when each came, counted from the first, and its bytes. Kept in
// three flat arrays, as a long recording holds millions of reads.
class ReplaySchedule {
public:
    void add(Micros at, std::span<const std::uint8_t> bytes);

    std::size_t size() const { return m_times.size(); }
    Micros at(std::size_t index) const { return m_times[index]; }
    std::span<const std::uint8_t> bytes(std::size_t index) const;

private:
    std::vector<Micros> m_times;
    std::vector<std::size_t> m_ends;  // where each read's bytes end in m_bytes
    std::vector<std::uint8_t> m_bytes;
};

// Why a recording cannot be played: the line (counted from 1) and what is wrong with it.
struct RecordingProblem {
    std::size_t line = 0;
    std::string what;
};

// Reads a whole recording: the header line, then data lines, comments and empty lines. The
// header must be well formed; its fields are not used.
std::variant<ReplaySchedule, RecordingProblem> readRecording(std::string_view text);

}  // namespace indicatorsim
