#include "device/network/comportsession.h"

#include <libtelnet.h>

#include <cstdint>

namespace scale {
namespace {

constexpr unsigned char kComPortOption = 44;
// What the client asks; the server answers with the code plus 100.
constexpr unsigned char kSetBaud = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kPurgeData = 12;
constexpr unsigned char kServerOffset = 100;

const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

struct ParityCode {
    Parity parity;
    unsigned char code;
};
constexpr ParityCode kParityCodes[] = {{Parity::None, 1}, {Parity::Odd, 2}, {Parity::Even, 3},
                                       {Parity::Mark, 4}, {Parity::Space, 5}};

struct StopCode {
    StopBits stopBits;
    unsigned char code;
};
constexpr StopCode kStopCodes[] = {
    {StopBits::One, 1}, {StopBits::Two, 2}, {StopBits::OneAndHalf, 3}};

}  // namespace

ComPortSession::ComPortSession() {
    m_telnet = ::telnet_init(kOptions, &ComPortSession::onEvent, 0, this);
    ::telnet_negotiate(m_telnet, TELNET_WILL, kComPortOption);
    ::telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
    ::telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
    ::telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_SGA);
    ::telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_SGA);
}

ComPortSession::~ComPortSession() {
    ::telnet_free(m_telnet);
}

void ComPortSession::onEvent(telnet_t*, telnet_event_t* event, void* self) {
    static_cast<ComPortSession*>(self)->event(*event);
}

bool ComPortSession::received(const char* bytes, std::size_t size, std::string& data) {
    if (m_broken) {
        return false;
    }
    m_data = &data;
    ::telnet_recv(m_telnet, bytes, size);
    m_data = nullptr;
    return !m_broken;
}

void ComPortSession::send(const char* bytes, std::size_t size) {
    ::telnet_send(m_telnet, bytes, size);
}

void ComPortSession::setLine(const LineSettings& settings) {
    m_pending = settings;
    m_reported = settings;
    if (m_agreed) {
        sendSettings();
    }
}

void ComPortSession::purge(Purge which) {
    if (m_agreed) {
        subnegotiate(kPurgeData, std::string(1, static_cast<char>(which)));
    }
}

void ComPortSession::event(const telnet_event_t& event) {
    switch (event.type) {
        case TELNET_EV_DATA:
            if (m_data) {
                m_data->append(event.data.buffer, event.data.size);
            }
            break;
        case TELNET_EV_SEND:
            m_outgoing.append(event.data.buffer, event.data.size);
            break;
        case TELNET_EV_DO:
            if (event.neg.telopt == kComPortOption && !m_agreed) {
                m_agreed = true;
                sendSettings();
            }
            break;
        case TELNET_EV_DONT:
            // A server that refuses at once is not reported by the library, only one that
            // withdraws an agreed option.
            if (event.neg.telopt == kComPortOption) {
                m_agreed = false;
            }
            break;
        case TELNET_EV_SUBNEGOTIATION:
            if (event.sub.telopt == kComPortOption && event.sub.size >= 1) {
                acknowledged(static_cast<unsigned char>(event.sub.buffer[0]), event.sub.buffer + 1,
                             event.sub.size - 1);
            }
            break;
        case TELNET_EV_ERROR:
            m_broken = true;
            break;
        default:
            break;
    }
}

void ComPortSession::sendSettings() {
    if (!m_pending) {
        return;
    }
    const LineSettings settings = *m_pending;
    m_pending.reset();
    const auto baud = static_cast<std::uint32_t>(settings.baud);
    subnegotiate(kSetBaud, {static_cast<char>(baud >> 24), static_cast<char>(baud >> 16),
                            static_cast<char>(baud >> 8), static_cast<char>(baud)});
    subnegotiate(kSetDataSize, std::string(1, static_cast<char>(settings.dataBits)));
    for (const ParityCode& parity : kParityCodes) {
        if (parity.parity == settings.parity) {
            subnegotiate(kSetParity, std::string(1, static_cast<char>(parity.code)));
        }
    }
    for (const StopCode& stop : kStopCodes) {
        if (stop.stopBits == settings.stopBits) {
            subnegotiate(kSetStopSize, std::string(1, static_cast<char>(stop.code)));
        }
    }
}

void ComPortSession::subnegotiate(unsigned char code, const std::string& value) {
    const std::string body = static_cast<char>(code) + value;
    // Escapes an IAC in the value (a baud of 255 has one).
    ::telnet_subnegotiation(m_telnet, kComPortOption, body.data(), body.size());
}

void ComPortSession::acknowledged(unsigned char code, const char* value, std::size_t size) {
    const auto byte = [value](std::size_t at) { return static_cast<unsigned char>(value[at]); };
    switch (code) {
        case kServerOffset + kSetBaud:
            if (size >= 4) {
                m_reported.baud = static_cast<std::int32_t>(
                    (std::uint32_t{byte(0)} << 24) | (std::uint32_t{byte(1)} << 16) |
                    (std::uint32_t{byte(2)} << 8) | byte(3));
            }
            break;
        case kServerOffset + kSetDataSize:
            if (size >= 1 && byte(0) >= 5 && byte(0) <= 8) {
                m_reported.dataBits = byte(0);
            }
            break;
        case kServerOffset + kSetParity:
            for (const ParityCode& parity : kParityCodes) {
                if (size >= 1 && parity.code == byte(0)) {
                    m_reported.parity = parity.parity;
                }
            }
            break;
        case kServerOffset + kSetStopSize:
            for (const StopCode& stop : kStopCodes) {
                if (size >= 1 && stop.code == byte(0)) {
                    m_reported.stopBits = stop.stopBits;
                }
            }
            break;
        default:
            break;  // line and modem state notifications, signatures: nothing we act on
    }
}

}  // namespace scale
