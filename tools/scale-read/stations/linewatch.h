#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "app/timers/timercontrol.h"
#include "protocols/stream/formatdescription.h"
#include "tools/scale-read/clock.h"

namespace scaleread {

// Notices a line that stays silent, or that carries bytes of which no frame decodes, and says
// so once, with what to try. It says so again only after valid frames have come in between, so
// that a dead line gives one note, not one a second.
class LineWatch {
public:
    static constexpr std::int64_t kGarbledMillis = 3000;
    static constexpr std::int64_t kSilentMillis = 5000;
    static constexpr int kCheckMillis = 250;

    // `format` outlives the watch.
    LineWatch(scale::TimerControl& timer, const Clock& clock, const scale::FormatDescription& format);

    void setOnNote(std::function<void(const QString& text)> handler) {
        m_onNote = std::move(handler);
    }

    // Watches from now, as if a frame had just come.
    void start();
    void stop();
    void bytesArrived(std::size_t count);
    void validFrame();
    // The run ends: a line that never gave a valid frame gets its note now if it has none yet.
    void finish();

private:
    void noteIfDue(bool ending);

    scale::TimerControl& m_timer;
    const Clock& m_clock;
    const scale::FormatDescription& m_format;
    std::int64_t m_sinceMillis = 0;  // the last valid frame, or the start
    std::int64_t m_bytes = 0;        // since then
    bool m_noted = false;
    bool m_anyValid = false;  // in the whole run
    std::function<void(const QString&)> m_onNote;
};

}  // namespace scaleread
