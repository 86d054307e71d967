#pragma once

#include <QString>
#include <optional>

namespace scale {

enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };

// Line settings as the serial control takes them, "2400,N,8,1".
struct LineSettings {
    qint32 baud = 9600;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    bool operator==(const LineSettings&) const = default;
};

// Parses "baud,parity,data,stop": a positive whole baud (any rate, custom ones included), parity
// N, E, O, M or S (either case), data bits 5 to 8 and stop bits 1, 1.5 or 2. Anything else,
// including data bits 4, which serial hosts cannot do, gives nullopt.
std::optional<LineSettings> parseLineSettings(const QString& text);

}  // namespace scale
