#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "tools/scale-read/clock.h"
#include "tools/scale-read/http/httpoptions.h"
#include "tools/scale-read/http/httpservice.h"
#include "tools/scale-read/outlets/outlet.h"

namespace scaleread {

// The HTTP service as an outlet: every frame to the board, the WebSocket clients and the
// stable waits, the ports' state, and commands from the API sent to the stations.
class HttpOutlet : public Outlet {
public:
    HttpOutlet(const HttpSettings& settings, StationControl& stations, bool errorRecords,
               const Clock& clock, HttpService::Note note);

    // Listens; false with `error` set when the address cannot be had.
    bool start(QString& error) { return m_service->start(error); }

    void record(const Record& record) override;
    void portChanged(std::size_t station, PortState state, const QString& reason) override;

private:
    std::unique_ptr<HttpService> m_service;
};

}  // namespace scaleread
