#include "tools/indicator-sim/replay/replayschedule.h"

#include "protocols/recording.h"

namespace indicatorsim {
namespace {

std::string secondsText(Micros at) {
    const std::string line = scale::formatRecordingLine(at, std::span<const std::uint8_t>{});
    return line.substr(0, line.size() - 1);
}

}  // namespace

void ReplaySchedule::add(Micros at, std::span<const std::uint8_t> bytes) {
    m_times.push_back(at);
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    m_ends.push_back(m_bytes.size());
}

std::span<const std::uint8_t> ReplaySchedule::bytes(std::size_t index) const {
    const std::size_t begin = index == 0 ? 0 : m_ends[index - 1];
    return std::span(m_bytes).subspan(begin, m_ends[index] - begin);
}

std::variant<ReplaySchedule, RecordingProblem> readRecording(std::string_view text) {
    ReplaySchedule schedule;
    std::vector<std::uint8_t> bytes;
    std::size_t number = 0;
    Micros previous = 0;
    while (!text.empty() || number == 0) {
        // The line with its "\n", which the recording parsers accept along with "\r\n".
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end == std::string_view::npos ? end : end + 1);
        text.remove_prefix(line.size());
        ++number;
        if (number == 1) {
            if (!scale::parseRecordingHeader(line)) {
                return RecordingProblem{
                    number,
                    "expected the header, such as \"# port=Com1 settings=9600,N,8,1 "
                    "protocol=continuous start=2026-12-07T12:00:00.123Z\""};
            }
            continue;
        }
        if (scale::isRecordingComment(line)) {
            continue;
        }
        Micros at = 0;
        if (!scale::parseRecordingLine(line, at, bytes)) {
            return RecordingProblem{number,
                                    "expected seconds with six decimals and hexadecimal bytes, "
                                    "such as \"0.100231 02 2B 03\""};
        }
        if (at < previous) {
            return RecordingProblem{number, "the time goes back, from " + secondsText(previous) +
                                                " to " + secondsText(at)};
        }
        previous = at;
        schedule.add(at, bytes);
    }
    return schedule;
}

}  // namespace indicatorsim
