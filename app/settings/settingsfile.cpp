#include "app/settings/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QSaveFile>
#include <cmath>
#include <limits>

#include "protocols/numbertext.h"

namespace scale {
namespace {

// Reads one field from `pos` on and moves past its delimiter.
QByteArray nextField(const QByteArray& text, qsizetype& pos) {
    const qsizetype size = text.size();
    while (pos < size && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    QByteArray field;
    if (pos < size && text[pos] == '"') {
        const qsizetype close = text.indexOf('"', pos + 1);
        const qsizetype end = close < 0 ? size : close;
        field = text.mid(pos + 1, end - pos - 1);
        pos = close < 0 ? size : close + 1;
    }
    while (pos < size && text[pos] != ',' && text[pos] != '\r' && text[pos] != '\n') {
        field += text[pos++];
    }
    if (pos < size && text[pos] == ',') {
        ++pos;
    } else if (pos < size && text[pos] == '\r') {
        pos += (pos + 1 < size && text[pos + 1] == '\n') ? 2 : 1;
    } else if (pos < size && text[pos] == '\n') {
        ++pos;
    }
    return field;
}

}  // namespace

QString settingsFilePath(const QString& dataFolder) {
    return dataFolder + QStringLiteral("/Setting.ini");
}

std::optional<std::vector<std::int16_t>> parseSettings(const QByteArray& text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    std::vector<std::int16_t> positions;
    qsizetype pos = 0;
    while (positions.size() < 6 && (positions.empty() || pos < text.size())) {
        const QByteArray field = nextField(text, pos);
        // nearbyint rounds halves to the even neighbour in the default rounding mode.
        const double value = std::nearbyint(leadingNumber(field.toStdString()));
        if (!(value >= std::numeric_limits<std::int16_t>::min() &&
              value <= std::numeric_limits<std::int16_t>::max())) {
            return std::nullopt;
        }
        positions.push_back(static_cast<std::int16_t>(value));
    }
    return positions;
}

QByteArray formatSettings(const ComboPositions& positions) {
    QByteArray text;
    for (const int position : positions) {
        text += QByteArray::number(position) + "\r\n";
    }
    return text;
}

std::optional<QByteArray> readSettingsFile(const QString& path) {
    // isFile() follows links and holds for regular files only, so nothing below can block.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxSettingsFileBytes) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // The file may have grown since it was looked at.
    QByteArray text = file.read(kMaxSettingsFileBytes + 1);
    if (text.size() > kMaxSettingsFileBytes) {
        return std::nullopt;
    }
    return text;
}

bool writeSettingsFile(const QString& path, const ComboPositions& positions) {
    const QFileInfo info(path);
    if (info.isSymLink() && !info.isFile()) {
        return false;
    }
    // A per-user folder does not exist before the first save.
    if (!info.dir().exists() && !QDir().mkpath(info.absolutePath())) {
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray text = formatSettings(positions);
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace scale
