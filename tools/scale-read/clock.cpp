#include "tools/scale-read/clock.h"

#include <chrono>

namespace scaleread {

std::int64_t SystemClock::utcMillis() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::int64_t SystemClock::steadyMicros() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace scaleread
