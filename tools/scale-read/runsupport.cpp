#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/datafolder.h"
#include "tools/scale-read/runs.h"
#include "tools/scale-read/systemreason.h"

namespace scaleread {

void note(const QString& text) {
    std::fprintf(stderr, "scale-read: %s\n", text.toLocal8Bit().constData());
}

QString systemReason(int error) {
    return QString::fromStdString(systemReasonText(error));
}

namespace {

// The format of records a file already holds, from its first line.
std::optional<OutputFormat> formatOfLine(const std::string& line) {
    if (line.empty()) {
        return std::nullopt;
    }
    if (line.front() == '{') {
        return OutputFormat::Jsonl;
    }
    if (line.starts_with("time,")) {
        return OutputFormat::Csv;
    }
    return OutputFormat::Text;
}

const char* formatName(OutputFormat format) {
    switch (format) {
        case OutputFormat::Jsonl:
            return "jsonl";
        case OutputFormat::Csv:
            return "csv";
        case OutputFormat::Text:
            break;
    }
    return "text";
}

}  // namespace

std::FILE* openOutput(const QString& path, OutputFormat format, const std::string& csvHeader) {
    if (path.isEmpty()) {
        return stdout;
    }
    // Read from the start, written at the end.
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "a+");
    if (file == nullptr) {
        note(QStringLiteral("cannot open %1 for records: %2").arg(path, systemReason(errno)));
        return nullptr;
    }
    std::string first;
    for (int c = std::fgetc(file); c != EOF && c != '\n'; c = std::fgetc(file)) {
        first.push_back(static_cast<char>(c));
    }
    const auto held = formatOfLine(first);
    QString refusal;
    if (held && *held != format) {
        refusal = QStringLiteral("%1 holds %2 records; give --format %2 or another --output")
                      .arg(path, QLatin1String(formatName(*held)));
    } else if (held && format == OutputFormat::Csv && first + '\n' != csvHeader) {
        refusal = QStringLiteral(
                      "%1 holds csv records with other columns (%2); give another "
                      "--output")
                      .arg(path, QString::fromStdString(first));
    }
    if (!refusal.isEmpty()) {
        note(refusal);
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool startsNewOutput(std::FILE* out) {
    return out == stdout || (std::fseek(out, 0, SEEK_END) == 0 && std::ftell(out) == 0);
}

std::string hostDecimalSeparator() {
    return QLocale::system().decimalPoint().toStdString();
}

QString portsFolder() {
    return scale::dataFolder(QCoreApplication::applicationDirPath()) + QStringLiteral("/ports");
}

}  // namespace scaleread
