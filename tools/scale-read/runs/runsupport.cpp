#include <sys/stat.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "app/settings/datafolder.h"
#include "device/systemreason.h"
#include "tools/scale-read/runs/runs.h"

namespace scaleread {

void note(const QString& text) {
    std::fprintf(stderr, "scale-read: %s\n", text.toLocal8Bit().constData());
}

QString systemReason(int error) {
    return QString::fromStdString(scale::systemReasonText(error));
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
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "a");
    if (file == nullptr) {
        note(QStringLiteral("cannot open %1 for records: %2").arg(path, systemReason(errno)));
        return nullptr;
    }
    // Only a regular file has a first line to look at: a terminal or a FIFO would wait for one.
    std::string first;
    struct stat status {};
    if (::fstat(::fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        if (std::FILE* held = std::fopen(QFile::encodeName(path).constData(), "r")) {
            for (int c = std::fgetc(held); c != EOF && c != '\n' && first.size() < 4096;
                 c = std::fgetc(held)) {
                first.push_back(static_cast<char>(c));
            }
            std::fclose(held);
        }
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
