// --ports on a made-up host: a sysfs and /dev tree in a temporary folder, with a USB adapter,
// an ACM board and a built-in port, and a ports folder whose links reach a real pseudo-terminal
// that another process holds, the adapter by its stable name, and a device that is gone.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "tools/scale-read/ports/portlisting.h"

namespace scaleread {
namespace {

class FakeHost {
public:
    FakeHost() {
        const QString usb = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1");
        facts(usb + "/1-2", {{"idVendor", "0403"},
                             {"idProduct", "6001"},
                             {"manufacturer", "FTDI"},
                             {"product", "FT232R USB UART"},
                             {"serial", "A12345"}});
        driver(usb + "/1-2/1-2:1.0/ttyUSB0", "/sys/bus/usb-serial/drivers/ftdi_sio");
        tty("ttyUSB0", usb + "/1-2/1-2:1.0/ttyUSB0");
        facts(usb + "/1-3", {{"idVendor", "2341"},
                             {"idProduct", "0043"},
                             {"manufacturer", "Arduino (www.arduino.cc)"},
                             {"serial", "7583033323835"}});
        driver(usb + "/1-3/1-3:1.0", "/sys/bus/usb/drivers/cdc_acm");
        tty("ttyACM0", usb + "/1-3/1-3:1.0");
        // A built-in port, with the serial core's own device between it and its driver.
        driver("/sys/devices/platform/serial8250", "/sys/bus/platform/drivers/serial8250");
        driver("/sys/devices/platform/serial8250/serial8250:0/serial8250:0.0",
               "/sys/bus/serial-base/drivers/port");
        tty("ttyS0", "/sys/devices/platform/serial8250/serial8250:0/serial8250:0.0");
        link("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0", "/dev/ttyUSB0");
        write("/proc/100/comm", "ModemManager\n");
        write("/proc/200/comm", "brltty\n");
    }

    QString path(const QString& inside) const { return m_root.path() + inside; }
    HostView view() const {
        HostView host;
        host.sys = path("/sys");
        host.dev = path("/dev");
        host.proc = path("/proc");
        host.access = [this](const QString& device) {
            return DeviceAccess{QFileInfo::exists(device), QStringLiteral("dialout"),
                                device != path("/dev/ttyACM0")};
        };
        return host;
    }
    void write(const QString& inside, const QString& text) {
        QDir().mkpath(QFileInfo(path(inside)).path());
        QFile file(path(inside));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    }
    void link(const QString& inside, const QString& target) {
        QDir().mkpath(QFileInfo(path(inside)).path());
        ASSERT_TRUE(QFile::link(target.startsWith("/dev/pts") ? target : path(target), path(inside)));
    }

private:
    void facts(const QString& dir, const std::vector<std::pair<QString, QString>>& files) {
        for (const auto& [name, text] : files) {
            write(dir + "/" + name, text + "\n");
        }
    }
    void driver(const QString& dir, const QString& driverDir) {
        QDir().mkpath(path(driverDir));
        QDir().mkpath(path(dir));
        link(dir + "/driver", driverDir);
    }
    // /sys/class/tty/NAME and its device link, and the node in /dev.
    void tty(const QString& name, const QString& device) {
        QDir().mkpath(path(device + "/tty/" + name));
        link(device + "/tty/" + name + "/device", device);
        link("/sys/class/tty/" + name, device + "/tty/" + name);
        write("/dev/" + name, "");
    }

    QTemporaryDir m_root;
};

TEST(PortListing, ListsDevicesInComOrderWithWhatTheHostKnows) {
    FakeHost host;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const QString pty = QString::fromLocal8Bit(::ptsname(master));
    QProcess holder;
    holder.setStandardInputFile(pty);
    holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted());

    host.link("/ports/Com1", pty);
    host.link("/ports/Com3", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    host.link("/ports/Com5", "/dev/ttyUSB9");
    const QStringList hostPorts = {host.path("/dev/ttyUSB0"), host.path("/dev/ttyACM0"),
                                   host.path("/dev/ttyS0")};
    const std::vector<PortEntry> entries =
        listPorts(hostPorts, host.path("/ports"), host.view());

    QStringList lines;
    for (const PortEntry& entry : entries) {
        lines << portLine(entry, OutputFormat::Text);
    }
    const QString acm = host.path("/dev/ttyACM0");
    const QString usb0 = host.path("/dev/ttyUSB0");
    const QStringList expected = {
        // Open in another program, but not held: anyone may open it.
        QStringLiteral("Com1 %1 link=ports/Com1 group=dialout access=yes").arg(pty),
        QStringLiteral("Com2 %1 usb=2341:0043 maker=\"Arduino (www.arduino.cc)\" "
                       "serial=7583033323835 driver=cdc_acm group=dialout access=no "
                       "hint=\"sudo usermod -aG dialout $USER, then log in again\" "
                       "conflict=\"ModemManager is running and probes new ACM devices as "
                       "modems, holding the port for a while after it appears\"")
            .arg(acm),
        QStringLiteral("Com3 %1 link=ports/Com3 by_id=%2 usb=0403:6001 maker=FTDI "
                       "product=\"FT232R USB UART\" serial=A12345 driver=ftdi_sio group=dialout "
                       "access=yes conflict=\"brltty is running and claims 0403:6001 adapters "
                       "as braille displays\"")
            .arg(usb0, host.path("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0")),
        QStringLiteral("Com5 %1 link=ports/Com5 missing=yes").arg(host.path("/dev/ttyUSB9")),
        // Com3's link takes the number the host's third port would have had.
        QStringLiteral("- %1 driver=serial8250 group=dialout access=yes")
            .arg(host.path("/dev/ttyS0")),
    };
    EXPECT_EQ(lines, expected);

    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(portLine(entries[1], OutputFormat::Jsonl),
              QStringLiteral(
                  "{\"com\":[\"Com2\"],\"links\":[],\"device\":\"%1\",\"by_id\":null,"
                  "\"usb\":\"2341:0043\",\"maker\":\"Arduino (www.arduino.cc)\",\"product\":null,"
                  "\"serial\":\"7583033323835\",\"driver\":\"cdc_acm\",\"missing\":false,"
                  "\"group\":\"dialout\",\"access\":false,"
                  "\"hint\":\"sudo usermod -aG dialout $USER, then log in again\","
                  "\"held_by\":null,\"conflicts\":[\"ModemManager is running and probes new ACM "
                  "devices as modems, holding the port for a while after it appears\"]}")
                  .arg(acm));

    // Held once a program takes its lock.
    QProcess locker;
    locker.start(QStringLiteral("flock"), {QStringLiteral("-x"), pty, QStringLiteral("sleep"),
                                           QStringLiteral("30")});
    ASSERT_TRUE(locker.waitForStarted());
    std::optional<scale::DeviceHolder> held;
    for (int i = 0; i < 500 && !held; ++i) {
        QThread::msleep(10);  // until flock has taken the lock
        held = portHolder(pty);
    }
    ASSERT_TRUE(held.has_value());
    PortEntry lockedEntry = entries[0];
    lockedEntry.holder = held;
    EXPECT_EQ(portLine(lockedEntry, OutputFormat::Jsonl).section(QStringLiteral("\"held_by\":"), 1),
              QStringLiteral("{\"pid\":%1,\"program\":\"flock\"},\"conflicts\":[]}")
                  .arg(locker.processId()));
    locker.kill();
    locker.waitForFinished();

    holder.kill();
    holder.waitForFinished();
    ::close(master);
}

}  // namespace
}  // namespace scaleread
