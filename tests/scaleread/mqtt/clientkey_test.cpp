// The random part of the MQTT client ids: made once per installation, kept, and for a folder
// that cannot keep it, one for the run with a reason.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "tools/scale-read/mqtt/broker/clientkey.h"

namespace scaleread {
namespace {

TEST(ClientKey, IsMadeOnceKeptPrivateAndReplacedWhenSpoilt) {
    QTemporaryDir home;
    const QString folder = home.filePath("config/scale-readout");
    int made = 0;
    const auto random = [&] { return std::string(15, 'a') + std::to_string(++made); };

    const ClientKey first = installationClientKey(folder, random);
    EXPECT_EQ(first.key, "aaaaaaaaaaaaaaa1");
    EXPECT_FALSE(first.problem);
    EXPECT_EQ(installationClientKey(folder, random).key, "aaaaaaaaaaaaaaa1");
    QFile file(folder + "/mqtt-client-key");
    EXPECT_EQ(file.permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("aaaa\n");
    file.close();
    EXPECT_EQ(installationClientKey(folder, random).key, "aaaaaaaaaaaaaaa2");
    EXPECT_EQ(installationClientKey(folder, random).key, "aaaaaaaaaaaaaaa2");
}

TEST(ClientKey, AFolderThatCannotKeepItGivesOneForTheRunAndSaysWhy) {
    QTemporaryDir home;
    QFile blocker(home.filePath("config"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder would be
    blocker.close();
    const ClientKey key =
        installationClientKey(home.filePath("config/scale-readout"), randomClientKey);
    EXPECT_EQ(key.key.size(), 16u);
    EXPECT_NE(key.key, installationClientKey(home.filePath("config/x"), randomClientKey).key);
    ASSERT_TRUE(key.problem);
    EXPECT_EQ(key.problem->toStdString(),
              "cannot keep the MQTT client id's random part in " +
                  home.filePath("config/scale-readout/mqtt-client-key").toStdString() +
                  " (cannot make the folder); the broker sees new client ids at each start");
}

}  // namespace
}  // namespace scaleread
