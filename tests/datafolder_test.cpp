// Where an installed copy keeps its settings and port links, and the first save there.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/datafolder.h"
#include "app/settingsfile.h"

namespace scale {
namespace {

TEST(DataFolder, BesideAPortableCopyAndPerUserForAnInstalledOne) {
    EXPECT_EQ(dataFolder("/opt/tool", true, "/home/op/.config"), "/opt/tool");
    EXPECT_EQ(dataFolder("/usr/bin", false, "/home/op/.config"), "/home/op/.config/scale-readout");

    QTemporaryDir program;
    EXPECT_EQ(dataFolder(program.path()), program.path());
}

TEST(DataFolder, TheFirstSaveCreatesThePerUserFolder) {
    QTemporaryDir home;
    const QString path = settingsFilePath(home.filePath(".config/scale-readout"));
    ASSERT_TRUE(writeSettingsFile(path, kDefaultPositions));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n"));
}

}  // namespace
}  // namespace scale
