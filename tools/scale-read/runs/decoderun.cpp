// Decoding a recording as fast as it goes.
#include <QFile>
#include <cerrno>
#include <cstring>
#include <optional>

#include "tools/scale-read/records/recordingdecoder.h"
#include "tools/scale-read/records/recordoutput.h"
#include "tools/scale-read/runs/runs.h"

namespace scaleread {
namespace {

// Decoding a line again in another protocol is a real need, but never a silent one.
void noteProtocolChoice(const ReaderOptions& options, const std::string& recorded) {
    const std::string_view asked = options.rules.format->name;
    if (options.protocolGiven && !options.quiet && asked != recorded) {
        note(QStringLiteral("decoding %1 as %2, as --protocol asks; it was recorded as %3")
                 .arg(options.inputPath,
                      QString::fromUtf8(asked.data(), static_cast<qsizetype>(asked.size())),
                      QString::fromStdString(recorded)));
    }
}

}  // namespace

int decodeRecording(const ReaderOptions& options) {
    std::FILE* in = std::fopen(QFile::encodeName(options.inputPath).constData(), "rb");
    if (in == nullptr) {
        note(QStringLiteral("cannot open the recording %1: %2")
                 .arg(options.inputPath, systemReason(errno)));
        return 1;
    }
    RecordFormatter formatter(options.format, options.choice.errors, options.localTime);
    std::FILE* out = openOutput(options.outputPath, options.format, formatter.header(false));
    if (out == nullptr) {
        std::fclose(in);
        return 1;
    }
    RecordSink sink(out,
                    options.outputPath.isEmpty() ? "standard output"
                                                 : options.outputPath.toStdString(),
                    false);
    if (options.format == OutputFormat::Csv && startsNewOutput(out)) {
        sink.buffer() += formatter.header(false);
    }

    std::optional<StationOutput> station;
    std::int64_t written = 0;
    std::optional<RecordingDecoder> decoder;
    decoder.emplace(
        options.protocolGiven ? options.rules.format : nullptr, *options.catalog, options.rules,
        hostDecimalSeparator(),
        [&](std::int64_t utc, const scale::StreamFrame& frame, bool stable, bool became) {
            if (!station) {
                station.emplace(RecordSource{decoder->header().port,
                                             std::string(decoder->protocolName()),
                                             {}},
                                options.choice, formatter, sink);
            }
            if (station->frame(utc, frame, stable, became)) {
                ++written;
                if (options.count && written >= *options.count) {
                    decoder->stop();
                }
            }
            if (sink.stopped()) {
                decoder->stop();
            }
        });
    decoder->setOnHeader([&](const scale::RecordingHeader& header) {
        noteProtocolChoice(options, header.protocol);
    });
    std::string failure;
    const bool decoded =
        decodeRecordingFile(in, options.inputPath.toStdString(), *decoder, failure);
    std::fclose(in);
    sink.finish();
    if (!decoded) {
        note(QString::fromStdString(failure));
        return 1;
    }
    if (!sink.failure().empty()) {
        note(QString::fromStdString(sink.failure()));
        return 1;
    }
    return 0;
}

}  // namespace scaleread
