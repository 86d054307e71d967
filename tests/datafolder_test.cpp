// Where an installed copy keeps its settings and port links, and the first save there.
#include <gtest/gtest.h>

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/settings/datafolder.h"
#include "app/settings/settingsfile.h"

namespace scale {
namespace {

TEST(DataFolder, BesideAPortableCopyAndPerUserForAnInstalledOne) {
    EXPECT_EQ(dataFolder("/opt/tool", true, "/home/op/.config"), "/opt/tool");
    EXPECT_EQ(dataFolder("/usr/bin", false, "/home/op/.config"), "/home/op/.config/scale-readout");

    QTemporaryDir program;
    EXPECT_EQ(dataFolder(program.path()), program.path());
}

// Root may write to /usr/bin, but a settings file there would be every user's and a stray file
// among the system's programs.
TEST(DataFolder, SystemProgramFoldersCountAsInstalledWhoeverRunsThem) {
    for (const char* folder : {"/usr/bin", "/usr/bin/", "/usr/local/bin"})
        EXPECT_TRUE(isSystemProgramFolder(folder)) << folder;
    for (const char* folder : {"/opt/tool", "/usr/bin/tool", "/home/op/scale-readout/build/bin"})
        EXPECT_FALSE(isSystemProgramFolder(folder)) << folder;
    EXPECT_EQ(dataFolder("/usr/bin"), QStandardPaths::writableLocation(
                                          QStandardPaths::GenericConfigLocation) +
                                          "/scale-readout");
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
