// Which device "ComN" reaches: the operator's links first, then the host's ports in order.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/serial/portnames.h"

namespace scale {
namespace {

TEST(PortNamesTest, AdaptersComeFirstByNumberThenTheRestByName) {
    const QStringList host = {"/dev/ttyS1",   "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0",
                              "/dev/ttyUSB2", "/dev/ttyAMA0",  "/dev/ttyUSB0"};
    EXPECT_EQ(orderHostPorts(host),
              QStringList({"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10",
                           "/dev/ttyAMA0", "/dev/ttyS0", "/dev/ttyS1"}));
}

TEST(PortNamesTest, LinkInThePortsFolderWinsOverTheHostList) {
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::link("/dev/serial/by-id/usb-pinned-if00", folder.filePath("Com2")));
    const QStringList host = {"/dev/ttyUSB0", "/dev/ttyUSB1"};

    EXPECT_EQ(resolvePortDevice(1, folder.path(), host), "/dev/ttyUSB0");
    // A dangling pin still names its device, so opening fails instead of reaching another port.
    EXPECT_EQ(resolvePortDevice(2, folder.path(), host), "/dev/serial/by-id/usb-pinned-if00");
    EXPECT_EQ(resolvePortDevice(3, folder.path(), host), "");
    EXPECT_EQ(resolvePortDevice(1, folder.path() + "/missing", {}), "");
}

}  // namespace
}  // namespace scale
