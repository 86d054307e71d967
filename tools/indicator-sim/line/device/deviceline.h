#pragma once

#include <string>

#include "tools/indicator-sim/line/line.h"
#include "tools/indicator-sim/line/device/serialsettings.h"

namespace indicatorsim {

// A real serial device, set up raw with the given baud, parity, data and stop bits, no flow
// control, and the modem lines ignored; held exclusively while this process has it open.
class DeviceLine : public Line {
public:
    DeviceLine(std::string path, const SerialSettings& settings);
    ~DeviceLine() override;

    DeviceLine(const DeviceLine&) = delete;
    DeviceLine& operator=(const DeviceLine&) = delete;

    int fd() const override { return m_fd; }
    std::string devicePath() const override { return m_path; }
    void send(std::span<const std::uint8_t> bytes) override;
    std::size_t unsentBytes() const override;

private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace indicatorsim
