#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace scale {

// The six list positions (port, baud, parity, data bits, stop bits, mode) kept between runs in
// "Setting.ini" in the data folder (beside the program, or the per-user one of an installed copy):
// one signed number per line, CR LF after each.
using ComboPositions = std::array<int, 6>;

inline constexpr ComboPositions kDefaultPositions = {0, 2, 2, 0, 0, 0};

QString settingsFilePath(const QString& dataFolder);

// Reads the positions from the file's text, first box first. Fewer than six are returned when the
// text ends early (the remaining boxes keep their positions). nullopt when there is nothing to
// read at all or a number does not fit 16 bits.
//
// A field runs to the next comma or line end, leading spaces skipped and surrounding double
// quotes removed; its leading number is rounded half to even ("2.5" gives 2, "3.5" gives 4), and
// a field without one gives 0.
std::optional<std::vector<std::int16_t>> parseSettings(const QByteArray& text);

QByteArray formatSettings(const ComboPositions& positions);

// A valid file is six short lines; anything longer is not one.
inline constexpr qint64 kMaxSettingsFileBytes = 4096;

// The file's bytes, or nullopt when it cannot be used: missing or unreadable, longer than
// kMaxSettingsFileBytes, or not a regular file (a FIFO, a device, a directory, a socket, or a link
// to one), which could block start-up or feed it without end.
std::optional<QByteArray> readSettingsFile(const QString& path);

// Replaces the file as a whole: a new file is written beside it and renamed over it, so a crash or
// a full disk leaves the old file or the new one, never a truncated one. A link is written
// through only to an existing regular file: renaming over a link's device or FIFO target would
// replace that node for every program on the host.
bool writeSettingsFile(const QString& path, const ComboPositions& positions);

}  // namespace scale
