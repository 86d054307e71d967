#include "tools/scale-read/records/recordformat.h"

#include <charconv>
#include <ctime>

namespace scaleread {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendRaw(std::string& out, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out.push_back(' ');
        }
        out.push_back(kHexDigits[bytes[i] >> 4]);
        out.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
}

void appendJsonString(std::string& out, std::string_view text) {
    out.push_back('"');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (byte < 0x20) {
            out += "\\u00";
            out.push_back(kHexDigits[byte >> 4]);
            out.push_back(kHexDigits[byte & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

// RFC 4180: quoted only when it holds a comma, a quote or a line end.
void appendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out.push_back('"');
    for (const char c : text) {
        if (c == '"') {
            out.push_back('"');
        }
        out.push_back(c);
    }
    out.push_back('"');
}

void appendTwo(char* at, int value) {
    at[0] = static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
}

// The calendar second, in UTC or in the host's zone; `offset` gets the zone's "+08:00".
void appendSecondText(char (&text)[20], char (&offset)[7], std::int64_t second, bool local) {
    const auto seconds = static_cast<std::time_t>(second);
    std::tm parts{};
    if (local) {
        ::localtime_r(&seconds, &parts);
        const long east = parts.tm_gmtoff / 60;
        const long minutes = east < 0 ? -east : east;
        offset[0] = east < 0 ? '-' : '+';
        appendTwo(offset + 1, static_cast<int>(minutes / 60 % 100));
        offset[3] = ':';
        appendTwo(offset + 4, static_cast<int>(minutes % 60));
        offset[6] = '\0';
    } else {
        ::gmtime_r(&seconds, &parts);
    }
    const int year = parts.tm_year + 1900;
    appendTwo(text, year / 100 % 100);
    appendTwo(text + 2, year % 100);
    text[4] = '-';
    appendTwo(text + 5, parts.tm_mon + 1);
    text[7] = '-';
    appendTwo(text + 8, parts.tm_mday);
    text[10] = 'T';
    appendTwo(text + 11, parts.tm_hour);
    text[13] = ':';
    appendTwo(text + 14, parts.tm_min);
    text[16] = ':';
    appendTwo(text + 17, parts.tm_sec);
    text[19] = '\0';
}

// The whole second at or before `utcMillis`, and what is left over.
std::int64_t floorSecond(std::int64_t utcMillis) {
    return utcMillis >= 0 ? utcMillis / 1000 : (utcMillis - 999) / 1000;
}

void appendFraction(std::string& out, int millis) {
    const char fraction[4] = {'.', static_cast<char>('0' + millis / 100),
                              static_cast<char>('0' + millis / 10 % 10),
                              static_cast<char>('0' + millis % 10)};
    out.append(fraction, 4);
}

}  // namespace

RecordFormatter::RecordFormatter(OutputFormat format, bool errorColumn, bool localTime)
    : m_format(format), m_errorColumn(errorColumn), m_localTime(localTime) {}

void RecordFormatter::setJsonType(std::string_view type) {
    m_jsonHead = "{\"type\":";
    appendJsonString(m_jsonHead, type);
    m_jsonHead += ",\"time\":\"";
}

std::string RecordFormatter::header(bool withStation) const {
    if (m_format != OutputFormat::Csv) {
        return {};
    }
    std::string line = withStation ? "time,station,port,protocol,weight,text,stable,raw"
                                   : "time,port,protocol,weight,text,stable,raw";
    if (m_errorColumn) {
        line += ",error";
    }
    return line + ",unit,mode,motion,tare\n";
}

void RecordFormatter::appendTime(std::string& out, std::int64_t utcMillis) {
    const std::int64_t second = floorSecond(utcMillis);
    if (second != m_cachedSecond) {
        m_cachedSecond = second;
        appendSecondText(m_secondText, m_offsetText, second,
                         m_localTime && m_format == OutputFormat::Text);
    }
    if (m_format == OutputFormat::Text) {
        out.append(m_secondText, 10);
        out.push_back(' ');
        out.append(m_secondText + 11, 8);
    } else {
        out.append(m_secondText, 19);
    }
    appendFraction(out, static_cast<int>(utcMillis - second * 1000));
    if (m_localTime && m_format == OutputFormat::Text) {
        out.append(m_offsetText, 6);
    } else {
        out.push_back('Z');
    }
}

void RecordFormatter::appendHead(std::string& out, const RecordSource& source,
                                 std::int64_t utcMillis) {
    switch (m_format) {
        case OutputFormat::Jsonl:
            out += m_jsonHead;
            appendTime(out, utcMillis);
            out.push_back('"');
            if (!source.station.empty()) {
                out += ",\"station\":";
                appendJsonString(out, source.station);
            }
            out += ",\"port\":";
            appendJsonString(out, source.port);
            out += ",\"protocol\":\"";
            out += source.protocol;
            out.push_back('"');
            return;
        case OutputFormat::Csv:
            appendTime(out, utcMillis);
            out.push_back(',');
            if (!source.station.empty()) {
                appendCsvField(out, source.station);
                out.push_back(',');
            }
            appendCsvField(out, source.port);
            out.push_back(',');
            out += source.protocol;
            return;
        case OutputFormat::Text:
            appendTime(out, utcMillis);
            out += "  ";
            if (!source.station.empty()) {
                out += source.station;
                out += "  ";
            }
            out += source.port;
            return;
    }
}

void RecordFormatter::appendReading(std::string& out, const RecordSource& source,
                                    std::int64_t utcMillis, const scale::StreamFrame& frame,
                                    bool stable) {
    appendHead(out, source, utcMillis);
    switch (m_format) {
        case OutputFormat::Jsonl:
            out += ",\"weight\":";
            out += frame.number;
            out += ",\"text\":";
            appendJsonString(out, frame.text);
            out += stable ? ",\"stable\":true,\"raw\":\"" : ",\"stable\":false,\"raw\":\"";
            appendRaw(out, frame.raw);
            out.push_back('"');
            if (!frame.unit.empty()) {
                out += ",\"unit\":";
                appendJsonString(out, frame.unit);
            }
            if (frame.mode != scale::WeighMode::None) {
                out += ",\"mode\":\"";
                out += scale::weighModeName(frame.mode);
                out.push_back('"');
            }
            if (frame.motion != scale::Motion::Unknown) {
                out += frame.motion == scale::Motion::Moving ? ",\"motion\":true"
                                                             : ",\"motion\":false";
            }
            if (!frame.tare.empty()) {
                out += ",\"tare\":";
                out += frame.tare;
            }
            out += "}\n";
            return;
        case OutputFormat::Csv:
            out.push_back(',');
            out += frame.number;
            out.push_back(',');
            appendCsvField(out, frame.text);
            out += stable ? ",true," : ",false,";
            appendRaw(out, frame.raw);
            out += m_errorColumn ? ",," : ",";
            appendCsvField(out, frame.unit);
            out.push_back(',');
            out += scale::weighModeName(frame.mode);
            out += frame.motion == scale::Motion::Moving   ? ",true,"
                   : frame.motion == scale::Motion::Steady ? ",false,"
                                                           : ",,";
            out += frame.tare;
            out.push_back('\n');
            return;
        case OutputFormat::Text:
            out += "  ";
            out += frame.text;
            if (frame.mode != scale::WeighMode::None) {
                out.push_back(' ');
                out += scale::weighModeName(frame.mode);
            }
            out += stable ? "  stable\n" : "\n";
            return;
    }
}

void RecordFormatter::appendCommand(std::string& out, const RecordSource& source,
                                    std::int64_t utcMillis, std::string_view command,
                                    std::string_view result, std::string_view text,
                                    std::string_view idJson) {
    appendHead(out, source, utcMillis);
    switch (m_format) {
        case OutputFormat::Jsonl:
            out += ",\"command\":";
            appendJsonString(out, command);
            if (!idJson.empty()) {
                out += ",\"id\":";
                out += idJson;
            }
            out += ",\"result\":";
            appendJsonString(out, result);
            if (!text.empty()) {
                out += ",\"text\":";
                appendJsonString(out, text);
            }
            out += "}\n";
            return;
        case OutputFormat::Csv:
            out.push_back(',');
            appendCsvField(out, command);
            out.push_back(',');
            appendCsvField(out, result);
            out.push_back(',');
            appendCsvField(out, text);
            out.push_back('\n');
            return;
        case OutputFormat::Text:
            out += "  ";
            out += command;
            out += "  ";
            out += result;
            if (!text.empty()) {
                out += "  ";
                out += text;
            }
            out.push_back('\n');
            return;
    }
}

void RecordFormatter::appendError(std::string& out, const RecordSource& source,
                                  std::int64_t utcMillis, const scale::StreamFrame& frame) {
    const std::string_view error = scale::frameErrorName(frame.error);
    appendHead(out, source, utcMillis);
    switch (m_format) {
        case OutputFormat::Jsonl:
            out += ",\"error\":\"";
            out += error;
            out.push_back('"');
            if (!frame.message.empty()) {
                out += ",\"text\":";
                appendJsonString(out, frame.message);
            }
            out += ",\"raw\":\"";
            appendRaw(out, frame.raw);
            out += "\"}\n";
            return;
        case OutputFormat::Csv:
            out += ",,";
            appendCsvField(out, frame.message);
            out += ",,";
            appendRaw(out, frame.raw);
            out.push_back(',');
            out += error;
            out += ",,,,\n";
            return;
        case OutputFormat::Text:
            out += "  rejected (";
            out += error;
            if (!frame.message.empty()) {
                out += ": ";
                out += frame.message;
            }
            out += "): ";
            appendRaw(out, frame.raw);
            out.push_back('\n');
            return;
    }
}

void RecordFormatter::appendRecord(std::string& out, const RecordSource& source,
                                   std::int64_t utcMillis, const scale::StreamFrame& frame,
                                   bool stable) {
    if (frame.error == scale::FrameError::None) {
        appendReading(out, source, utcMillis, frame, stable);
    } else {
        appendError(out, source, utcMillis, frame);
    }
}

std::string isoTime(std::int64_t utcMillis) {
    std::string text;
    RecordFormatter(OutputFormat::Jsonl, false).appendTime(text, utcMillis);
    return text;
}

std::int64_t parseIsoTime(std::string_view text) {
    // 2026-12-07T12:34:56.789Z
    if (text.size() != 24 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.' || text[23] != 'Z') {
        return -1;
    }
    const auto number = [&](std::size_t at, std::size_t length) {
        int value = -1;
        const char* first = text.data() + at;
        const auto result = std::from_chars(first, first + length, value);
        return result.ec == std::errc{} && result.ptr == first + length ? value : -1;
    };
    std::tm parts{};
    parts.tm_year = number(0, 4) - 1900;
    parts.tm_mon = number(5, 2) - 1;
    parts.tm_mday = number(8, 2);
    parts.tm_hour = number(11, 2);
    parts.tm_min = number(14, 2);
    parts.tm_sec = number(17, 2);
    const int millis = number(20, 3);
    if (parts.tm_year < 0 || parts.tm_mon < 0 || parts.tm_mday < 1 || parts.tm_hour < 0 ||
        parts.tm_min < 0 || parts.tm_sec < 0 || millis < 0) {
        return -1;
    }
    const std::time_t seconds = ::timegm(&parts);
    return static_cast<std::int64_t>(seconds) * 1000 + millis;
}

}  // namespace scaleread
