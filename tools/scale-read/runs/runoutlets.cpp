// The outlets of a reading run: a new one is a line in addRunOutlets.
#include "tools/scale-read/runs/runoutlets.h"

#include <QCoreApplication>
#include <memory>

#include "app/settings/datafolder.h"
#include "tools/scale-read/engine/enginekeyboard.h"
#include "tools/scale-read/modbus/modbusoutlet.h"
#include "tools/scale-read/records/recordsoutlet.h"
#include "tools/scale-read/runs/runs.h"
#include "tools/scale-read/serve/serveoutlet.h"
#if SCALE_WITH_HTTP
#include "tools/scale-read/http/httpoutlet.h"
#endif
#if SCALE_WITH_MQTT
#include "tools/scale-read/mqtt/broker/clientkey.h"
#include "tools/scale-read/mqtt/mqttoutlet.h"
#endif

namespace scaleread {
namespace {

const auto kNote = [](const QString& text) { note(text); };

// Local records: to --output, or to standard output unless the records go to a broker, the
// HTTP service or Modbus. Null, with a note given, when the output will not open.
std::unique_ptr<Outlet> recordsOutlet(const ReaderOptions& options, StationEngine& engine) {
    const bool several = !options.stations.empty();
    const RecordFormatter formatter(options.format, options.choice.errors, options.localTime);
    std::FILE* out = openOutput(options.outputPath, options.format, formatter.header(several));
    if (out == nullptr) {
        return nullptr;
    }
    const bool header = options.format == OutputFormat::Csv && startsNewOutput(out);
    auto outlet = std::make_unique<RecordsOutlet>(
        out,
        options.outputPath.isEmpty() ? "standard output" : options.outputPath.toStdString(),
        TextForm{options.format, several, options.choice.errors, options.localTime},
        [&engine](int status) { engine.end(status); }, kNote);
    if (header) {
        outlet->writeHeader(formatter.header(several));
    }
    return outlet;
}

template <typename Service>
bool started(Service& service) {
    QString error;
    if (!service.start(error)) {
        note(error);
        return false;
    }
    return true;
}

}  // namespace

QString missingOutlet(const ReaderOptions& options) {
    if (options.mqtt && !SCALE_WITH_MQTT) {
        return QStringLiteral("--mqtt: this scale-read is built without MQTT");
    }
    if (options.http && !SCALE_WITH_HTTP) {
        return QStringLiteral("--http: this scale-read is built without HTTP");
    }
    return {};
}

bool addRunOutlets(const ReaderOptions& options, StationEngine& engine, const Clock& clock) {
    // The keyboard first: no desktop ends the run before any file or port is opened. It takes
    // records last, so that a value it types is written after the frame's own record.
    std::unique_ptr<KeyboardRun> keyboard;
    if (options.type &&
        !(keyboard = startKeyboard(*options.type, engine, clock, kNote,
                                   scale::dataFolder(QCoreApplication::applicationDirPath())))) {
        return false;
    }
    if ((!options.mqtt && !options.http && !options.modbus) || !options.outputPath.isEmpty()) {
        auto records = recordsOutlet(options, engine);
        if (!records) {
            return false;
        }
        engine.addOutlet(std::move(records));
    }
#if SCALE_WITH_HTTP
    if (options.http) {
        auto http = std::make_unique<HttpOutlet>(*options.http, engine, options.choice.errors,
                                                 clock, kNote);
        if (!started(*http)) {
            return false;
        }
        engine.addOutlet(std::move(http));
    }
#endif
#if SCALE_WITH_MQTT
    if (options.mqtt) {
        const ClientKey key = installationClientKey(
            scale::dataFolder(QCoreApplication::applicationDirPath()), randomClientKey);
        if (key.problem) {
            note(*key.problem);
        }
        auto mqtt = std::make_unique<MqttOutlet>(*options.mqtt, engine, key.key, clock, kNote);
        if (!started(*mqtt)) {
            return false;
        }
        engine.addOutlet(std::move(mqtt));
    }
#endif
    if (options.modbus) {
        auto modbus = std::make_unique<ModbusOutlet>(*options.modbus, engine, clock, kNote);
        QString error;
        if (!modbus->start(portsFolder(), error)) {
            note(error);
            return false;
        }
        engine.addOutlet(std::move(modbus));
    }
    if (!options.serve.empty()) {
        auto served = std::make_unique<ServeOutlet>(options.serve, engine, options.serveCommands,
                                                    clock, kNote);
        if (!started(*served)) {
            return false;
        }
        engine.addOutlet(std::move(served));
    }
    if (keyboard) {
        engine.addOutlet(std::move(keyboard));
    }
    if (options.count) {
        engine.addOutlet(std::make_unique<CountOutlet>(
            *options.count, [&engine](int status) { engine.end(status); }));
    }
    return true;
}

}  // namespace scaleread
