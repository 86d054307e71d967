// Serving the live board and the JSON API over HTTP and WebSocket.
#include "tools/scale-read/cli/optiongroups.h"
#include "tools/scale-read/http/httpoptions.h"

namespace scaleread {
namespace {

std::optional<OptionFault> checkHttp(OptionContext& context) {
    if (!context.isSet("http")) {
        for (const char* http : {"http-token-file", "http-origin", "http-max-clients"}) {
            if (context.isSet(http)) {
                return UsageError{QStringLiteral("--%1 is for --http").arg(QLatin1String(http))};
            }
        }
        return std::nullopt;
    }
    if (context.options.task != ReaderOptions::Task::Read) {
        return UsageError{QStringLiteral("--http serves what is read from ports; not with "
                                         "--input or --detect")};
    }
    auto parsed = parseHttpSettings(context.value("http"), context.value("http-token-file"),
                                    context.values("http-origin"),
                                    context.value("http-max-clients"),
                                    context.isSet("allow-commands"));
    if (const auto* refused = std::get_if<QString>(&parsed)) {
        return UsageError{*refused};
    }
    context.options.http = std::get<HttpSettings>(std::move(parsed));
    return std::nullopt;
}

constexpr Modes kService = kEveryMode & ~kPorts;

const OptionRow kServiceRows[] = {
    {.name = "http",
     .valueName = "[ADDR:]PORT",
     .help = "serve the live board at http://ADDR:PORT/ and the JSON API under\n"
             "/api/v1 (default address 127.0.0.1; port 0 takes a free one; the\n"
             "address is named on stderr); records then go to the service, and\n"
             "to a file only with --output. A single --port serves as the\n"
             "station named after its port",
     .modes = kService},
    {.name = "http-token-file",
     .valueName = "FILE",
     .help = "every /api request then needs \"Authorization: Bearer TOKEN\", TOKEN\n"
             "being FILE's one line (16 visible characters at least; the board\n"
             "takes it once from a ?token= link); an address other than loopback\n"
             "requires it",
     .modes = kService},
    {.name = "http-origin",
     .valueName = "ORIGIN",
     .help = "a web page at ORIGIN (https://erp.plant.lan) may call the API from\n"
             "the browser (any number of times); others are refused",
     .modes = kService,
     .repeats = true},
    {.name = "http-max-clients",
     .valueName = "N",
     .help = "WebSocket clients at once (default 64)",
     .modes = kService},
    {.name = "allow-commands",
     .help = "take zero, tare and clear-tare at POST\n"
             "/api/v1/stations/NAME/command (off by default), and with --type\n"
             "POST /api/v1/stations/NAME/type",
     .again = true},
    {.name = nullptr,
     .help = "  Endpoints: GET /api/v1/stations, /api/v1/stations/NAME (state: reading, with the "
             "last\n"
             "  record's fields; waiting, port-lost or not-open, with \"stable\":false, the "
             "reason, and the\n"
             "  last weight under \"last\" with its age in \"age_ms\"), "
             "/api/v1/stations/NAME/stable\n"
             "  ?timeout=MS&after=SEQ (the weight standing now with its placement number "
             "\"seq\", to every\n"
             "  caller; else, or with after=SEQ, the next placement; 504 after MS, default "
             "10000, at most\n"
             "  60000; 503 while the station is not reading), /api/v1/events (WebSocket: every "
             "record and\n"
             "  state change, the last five minutes' weights in \"hello\"; ?station=A,B), "
             "/healthz. Bodies go up to 4 KiB; a client with 1 MB unread is\n"
             "  dropped.\n"},
};

}  // namespace

const OptionGroup serviceOptions{
    .heading = "Serving browsers and web forms (HTTP and WebSocket, in the reading's own loop):",
    .rows = kServiceRows,
    .check = checkHttp};

}  // namespace scaleread
