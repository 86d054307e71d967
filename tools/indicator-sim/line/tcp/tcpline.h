#pragma once

#include <string>

#include "tools/indicator-sim/line/line.h"
#include "tools/indicator-sim/line/tcp/tcpplace.h"

namespace indicatorsim {

// The indicator's own TCP port, as an indicator with Ethernet or a device server has one: one
// client at a time, served until it leaves; then the next. Nothing connected is a cable with
// nobody at the other end: frames go nowhere.
class TcpLine : public Line {
public:
    // Listens at `place`; port 0 takes a free one.
    explicit TcpLine(const TcpPlace& place);
    ~TcpLine() override;

    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // The client's socket, or the listening one while nobody is connected.
    int fd() const override { return m_client >= 0 ? m_client : m_listener; }
    // "tcp://127.0.0.1:PORT", with the port taken.
    std::string devicePath() const override { return m_address; }
    void send(std::span<const std::uint8_t> bytes) override;
    std::size_t unsentBytes() const override;
    std::size_t receive(std::span<std::uint8_t> into) override;

private:
    void dropClient();

    int m_listener = -1;
    int m_client = -1;
    std::string m_address;
};

}  // namespace indicatorsim
