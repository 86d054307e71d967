#pragma once

#include <QString>
#include <functional>

#include "tools/scale-read/outlets/outlet.h"

namespace scalewedge {

// What the panel shows, as the station engine tells it.
struct PanelFeed {
    std::function<void(const QString& weight, bool stable)> weight;
    std::function<void(const QString& text)> typed;  // a value typed, as its record tells it
    // The port lost and back (the engine's notes say more).
    std::function<void(scaleread::PortState state)> port;
};

// The panel as one more outlet of the engine: each readable frame's weight, each typed value's
// record, and the port's changes.
class PanelOutlet : public scaleread::Outlet {
public:
    explicit PanelOutlet(PanelFeed feed) : m_feed(std::move(feed)) {}

    void record(const scaleread::Record& record) override;
    void portChanged(std::size_t station, scaleread::PortState state,
                     const QString& reason) override;

private:
    PanelFeed m_feed;
};

}  // namespace scalewedge
