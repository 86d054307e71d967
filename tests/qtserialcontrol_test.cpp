// The real serial control asks the host for its ports only for a port without a link: the walk
// opens thousands of files, and a linked port never needs it.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/serial/qtserialcontrol.h"

namespace scale::test {
namespace {

TEST(QtSerialControlTest, TheHostIsAskedOnlyForPortsWithoutALink) {
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("ports")));
    // Every open of the multiplexer makes a fresh pseudo-terminal: a serial device that is
    // always there.
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/ptmx"), folder.path() + "/ports/Com1"));
    int asked = 0;
    QtSerialControl comm(folder.path() + QStringLiteral("/ports"), [&asked] {
        ++asked;
        return QStringList{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyS0")};
    });

    ASSERT_TRUE(comm.setCommPort(1));
    ASSERT_TRUE(comm.setPortOpen(true));
    EXPECT_EQ(comm.deviceName(1), "/dev/ptmx");
    EXPECT_EQ(asked, 0);
    ASSERT_TRUE(comm.setPortOpen(false));

    EXPECT_EQ(comm.deviceName(2), "/dev/ttyS0");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(comm.deviceNames().mid(0, 3), QStringList({"/dev/ptmx", "/dev/ttyS0", QString()}));
    EXPECT_EQ(asked, 2);
}

}  // namespace
}  // namespace scale::test
