#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "tools/scale-read/clock.h"
#include "tools/scale-read/outlets/outlet.h"
#include "tools/scale-read/serve/serveoptions.h"

namespace scaleread {

// The stations served in other formats (--serve): each target a TCP server or a pseudo-terminal
// whose clients ask as they would ask that format's indicator. Commands go to the station only
// when `commandsAllowed`.
class ServeOutlet : public Outlet {
public:
    using Note = std::function<void(const QString&)>;

    ServeOutlet(std::vector<ServeTarget> targets, StationControl& stations, bool commandsAllowed,
                const Clock& clock, Note note);
    ~ServeOutlet() override;

    // Listens and makes the links, with a note naming where each target is served. False, with
    // `error` set, when one cannot be.
    bool start(QString& error);

    void record(const Record& record) override;
    void portChanged(std::size_t station, PortState state, const QString& reason) override;

private:
    struct Target;
    void startTarget(Target& target);

    std::vector<std::unique_ptr<Target>> m_targets;
    StationControl& m_stations;
    bool m_commandsAllowed;
    const Clock& m_clock;
    Note m_note;
};

}  // namespace scaleread
