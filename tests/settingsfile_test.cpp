// Settings files that could hang start-up or exhaust its memory, and links that must not be
// written through: each counts as a failed restore, and start-up goes on with the defaults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/formfixture.h"

namespace scale::test {
namespace {

const QByteArray kDefaults = "0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n";

class SettingsFileTest : public FormFixture {
protected:
    QString path() const { return folder.path() + QStringLiteral("/Setting.ini"); }
    QString unsaved() const { return QStringLiteral("设置无法保存：") + path(); }
    void expectDefaultBoxes() {
        std::vector<int> positions;
        for (const auto& box : view.boxes) {
            positions.push_back(box.listIndex);
        }
        EXPECT_EQ(positions, std::vector<int>({0, 2, 2, 0, 0, 0}));
        EXPECT_TRUE(comm.PortOpen());
    }
    // A second start-up in the same test: a fresh window, the port closed as at program exit.
    void restart() {
        view = FakeFormView();
        (void)comm.setPortOpen(false);
        start();
    }
};

TEST_F(SettingsFileTest, NonRegularAndOversizedFilesAreReplacedByTheDefaults) {
    const std::function<void(const QString&)> makers[] = {
        [](const QString& at) { ASSERT_EQ(::mkfifo(at.toLocal8Bit().constData(), 0644), 0); },
        [](const QString& at) {
            QFile file(at);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_TRUE(file.resize(qint64{1} << 30));  // sparse: no gigabyte of disk
        },
        [](const QString& at) {
            QFile file(at);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("1\r\n").repeated(1000000));
        },
    };
    for (const auto& make : makers) {
        QFile::remove(path());
        make(path());
        restart();
        expectDefaultBoxes();
        EXPECT_TRUE(view.messages.empty());
        EXPECT_TRUE(QFileInfo(path()).isFile());
        EXPECT_EQ(readSettings(), kDefaults);
    }
}

TEST_F(SettingsFileTest, ADirectoryInTheWayIsReportedAndLeftAlone) {
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Setting.ini")));
    start();
    expectDefaultBoxes();
    EXPECT_EQ(view.messages, std::vector<QString>({unsaved(), unsaved()}));
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST_F(SettingsFileTest, LinksAreFollowedOnlyToRegularFiles) {
    // To a FIFO: not read (it would block), not replaced.
    const QString fifo = folder.path() + QStringLiteral("/line");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
    ASSERT_TRUE(QFile::link(fifo, path()));
    start();
    expectDefaultBoxes();
    EXPECT_EQ(view.messages, std::vector<QString>({unsaved(), unsaved()}));
    struct stat info {};
    ASSERT_EQ(::stat(fifo.toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // To a regular file: read, and written through, so the link stays.
    const QString stored = folder.path() + QStringLiteral("/stored.ini");
    QFile target(stored);
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("1\r\n4\r\n2\r\n0\r\n0\r\n1\r\n");
    target.close();
    QFile::remove(path());
    ASSERT_TRUE(QFile::link(stored, path()));
    restart();
    EXPECT_EQ(view.boxes[1].text, "9600");
    EXPECT_EQ(form->state().ProtocolMode, 1);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    QFile reread(stored);
    ASSERT_TRUE(reread.open(QIODevice::ReadOnly));
    EXPECT_EQ(reread.readAll(), QByteArray("1\r\n4\r\n2\r\n0\r\n0\r\n1\r\n"));
}

}  // namespace
}  // namespace scale::test
