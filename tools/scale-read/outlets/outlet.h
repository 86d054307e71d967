#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "protocols/stream/formatdescription.h"
#include "protocols/stream/framestream.h"
#include "tools/scale-read/outlets/recordtexts.h"
#include "tools/scale-read/records/recordformat.h"
#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {

// Where a reading goes: the records file, the broker, the HTTP service, the keyboard, Modbus,
// a served format. The station engine decodes each frame once and hands the same record to
// every outlet of the run; an outlet keeps what it wants and formats it at most once per output
// format (RecordTexts).

// A station's port as the outlets are told of it. Abandoned: it did not come back within
// --reconnect-timeout and is no longer read.
enum class PortState { NotOpen, Open, Lost, Abandoned };

// One decoded frame of one station; valid only during the call.
struct Record {
    std::size_t station;          // the station's place in the run: 0 is the first or only one
    const RecordSource& source;   // the station key always set
    std::int64_t utcMillis;
    const scale::StreamFrame& frame;
    bool stable;        // the weight holds (the indicator's flag or the stable band and time)
    bool becameStable;  // this frame made it so
    RecordTexts& texts; // the record in the output formats, each made at its first asking
    // The run's choice of records (--errors, --changes-only, --stable-only) keeps it: the records
    // file and the broker take only these, the board every frame.
    bool chosen = true;
    // A value the keyboard typed: this record tells it (the frame is the weight typed); the
    // keyboard itself does not take it again.
    const TypedNote* typed = nullptr;
};

// What the stations of a run offer their outlets: who they are and a way to command them.
class StationControl {
public:
    virtual ~StationControl() = default;
    virtual std::size_t stationCount() const = 0;
    virtual const RecordSource& source(std::size_t station) const = 0;
    virtual const scale::FormatDescription& format(std::size_t station) const = 0;
    // As StationReader::sendCommand and cancelCommand, for the station at `station`.
    virtual StationReader::CommandId sendCommand(std::size_t station, CommandKind kind,
                                                 StationReader::CommandHandler handler) = 0;
    virtual bool cancelCommand(std::size_t station, StationReader::CommandId id) = 0;
    // The keyboard's remote button (HTTP, MQTT): types the weight standing on `station`, and
    // hands `done` "done", "refused", "no-answer" or "unsupported" (no --type). `trigger` names
    // the caller in the typed record.
    using TypeDone = std::function<void(const QString& result, const QString& text)>;
    virtual void typeStanding(std::size_t station, const QString& trigger, TypeDone done) {
        (void)station;
        (void)trigger;
        done(QStringLiteral("unsupported"), QStringLiteral("weights are typed only with --type"));
    }
};

// An outlet takes records, a port's changes and what became of commands. Handlers must not
// throw: they run in the event loop.
class Outlet {
public:
    virtual ~Outlet() = default;
    virtual void record(const Record& record) = 0;
    // `reason`: the words for NotOpen, Lost and Abandoned ("/dev/ttyUSB0 is gone; ...").
    virtual void portChanged(std::size_t station, PortState state, const QString& reason) {
        (void)station;
        (void)state;
        (void)reason;
    }
    // The run ends: write out what is held. False, with a note given, when that failed.
    virtual bool finish() { return true; }
};

}  // namespace scaleread
