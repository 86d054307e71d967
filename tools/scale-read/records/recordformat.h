#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "protocols/stream/framestream.h"

namespace scaleread {

enum class OutputFormat { Jsonl, Csv, Text };

// Who a record is about: the port as given, the protocol, and (several stations) the station.
struct RecordSource {
    std::string port;
    std::string protocol;
    std::string station;  // empty: no station key
};

// Writes records in one of the three formats, appending to a caller's buffer so that a run over
// a recording formats a million records without a million allocations.
class RecordFormatter {
public:
    // `errorColumn`: rejected frames are written too, so a CSV header gets an "error" column.
    // `localTime`: text records in the host's time zone, with its offset, instead of UTC.
    RecordFormatter(OutputFormat format, bool errorColumn, bool localTime = false);

    // JSON records start with "type":TYPE before the time, as the WebSocket's messages do.
    void setJsonType(std::string_view type);

    // The CSV header line with its line end; empty for the other formats.
    std::string header(bool withStation) const;

    void appendReading(std::string& out, const RecordSource& source, std::int64_t utcMillis,
                       const scale::StreamFrame& frame, bool stable);
    void appendError(std::string& out, const RecordSource& source, std::int64_t utcMillis,
                     const scale::StreamFrame& frame);
    // A reading or, for a rejected frame, an error record.
    void appendRecord(std::string& out, const RecordSource& source, std::int64_t utcMillis,
                      const scale::StreamFrame& frame, bool stable);

    // What became of a command to the indicator: its name ("zero"), its result ("done") and
    // the answer's text; `idJson`, a JSON value the request carried, is passed back as given.
    // CSV columns: time,[station,]port,protocol,command,result,text.
    void appendCommand(std::string& out, const RecordSource& source, std::int64_t utcMillis,
                       std::string_view command, std::string_view result, std::string_view text,
                       std::string_view idJson = {});

    // A weight the keyboard typed: the reading's record with what started it ("settle"), the
    // text as typed and the focused window's title. jsonl: the reading's keys and "typed",
    // "trigger", "window"; csv: the reading's columns and those three after them; text: the
    // reading's line and "typed TEXT (TRIGGER) into WINDOW".
    void appendTyped(std::string& out, const RecordSource& source, std::int64_t utcMillis,
                     const scale::StreamFrame& frame, std::string_view trigger,
                     std::string_view text, std::string_view window);

private:
    friend std::string isoTime(std::int64_t utcMillis);

    // The fields every record starts with: time, station, port and protocol.
    void appendHead(std::string& out, const RecordSource& source, std::int64_t utcMillis);
    void appendTime(std::string& out, std::int64_t utcMillis);

    OutputFormat m_format;
    bool m_errorColumn;
    bool m_localTime;
    std::string m_jsonHead = "{\"time\":\"";
    // "2026-12-07T12:34:56" of the last second formatted, and for local time its zone's offset
    // ("+08:00"): records come many a second.
    std::int64_t m_cachedSecond = std::numeric_limits<std::int64_t>::min();
    char m_secondText[20] = {};
    char m_offsetText[7] = {};
};

// "2026-12-07T12:34:56.789Z".
std::string isoTime(std::int64_t utcMillis);
// Reads isoTime's form back; -1 when it is not that form.
std::int64_t parseIsoTime(std::string_view text);

}  // namespace scaleread
