#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "device/linesettings.h"

struct telnet_t;
union telnet_event_t;

namespace scale {

// The Telnet side of an RFC 2217 line: the line's bytes escaped both ways, and the COM-PORT
// option through which the server sets its serial port. Nothing here waits for the server: the
// settings go out once it has agreed to the option, and a server that never answers an option
// (or that refuses it) leaves the line carrying bytes at whatever settings the server keeps.
// Pure bookkeeping over buffers, no I/O: the owner moves outgoing() to the socket.
class ComPortSession {
public:
    // Offers the option, binary transmission and no go-ahead (in outgoing()).
    ComPortSession();
    ~ComPortSession();
    ComPortSession(const ComPortSession&) = delete;
    ComPortSession& operator=(const ComPortSession&) = delete;

    // Bytes from the socket: the line's data is appended to `data`, what the protocol answers
    // goes to outgoing(). False once the stream broke the protocol (the session is then useless).
    bool received(const char* bytes, std::size_t size, std::string& data);
    // The line's bytes, escaped for the socket into outgoing().
    void send(const char* bytes, std::size_t size);
    // Asks for baud, data bits, parity and stop bits, in the order the option recommends; at
    // once when agreed, else as soon as the server agrees.
    void setLine(const LineSettings& settings);
    // Asks the server to throw away what its port holds: received, unsent, or both.
    enum class Purge { Received = 1, Unsent = 2, Both = 3 };
    void purge(Purge which);

    // What the server reported it set; each field as asked until it reports that field.
    const LineSettings& reported() const { return m_reported; }
    bool agreed() const { return m_agreed; }

    // Bytes for the socket, in order; the owner takes them and clears the string.
    std::string& outgoing() { return m_outgoing; }

private:
    static void onEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void event(const telnet_event_t& event);
    void sendSettings();
    void subnegotiate(unsigned char code, const std::string& value);
    void acknowledged(unsigned char code, const char* value, std::size_t size);

    telnet_t* m_telnet = nullptr;
    std::string m_outgoing;
    std::string* m_data = nullptr;  // where received data goes during received()
    std::optional<LineSettings> m_pending;
    LineSettings m_reported;
    bool m_agreed = false;
    bool m_broken = false;
};

}  // namespace scale
