// One holder per serial device, end to end: a second reader is refused whatever name it uses and
// is told who holds the device, the window refuses it too, and a reader killed outright as root
// leaves the device at once to an ordinary user, the window as well as scale-read, whatever lock
// files older programs have left.
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

#include "app/serial/deviceholder.h"
#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/readerfixture.h"

namespace scale::test {
namespace {

constexpr auto kReadWriteAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                               QFileDevice::ReadOther | QFileDevice::WriteOther;
constexpr auto kOpenFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                             QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

const QStringList kAsNobody = {"--reuid", "nobody", "--regid", "nogroup", "--clear-groups"};

// Lock files such as an older program killed outright leaves in the lock folder for `paths`,
// owned by root and naming a live process; the ones made here go again at the end.
class StaleLockFiles {
public:
    explicit StaleLockFiles(const QStringList& paths) {
        for (QString name : paths) {
            if (name.startsWith(QLatin1String("/dev/"))) {
                name.remove(0, 5);
            }
            const QString file =
                "/run/lock/LCK.." + name.replace(QLatin1Char('/'), QLatin1Char('_'));
            QFile lock(file);
            if (!lock.exists() && lock.open(QIODevice::WriteOnly)) {
                lock.write("1\nscale-read\nlocalhost\n");
                m_made << file;
            }
        }
    }
    ~StaleLockFiles() {
        for (const QString& file : m_made) {
            QFile::remove(file);
        }
    }

private:
    QStringList m_made;
};

class ExclusiveAccessTest : public ReaderFixture {
protected:
    QString device() const { return QFileInfo(link()).symLinkTarget(); }
    // A reader on the link that has written its first record.
    bool startHolder(ReaderProcess& reader) {
        return reader.start({"--port", link()}) && reader.waitForLines(1, 5000);
    }
};

TEST_F(ExclusiveAccessTest, ASecondReaderIsRefusedWhateverTheNameAndToldWhoHoldsTheDevice) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:1.5"}));
    ReaderProcess holder;
    ASSERT_TRUE(startHolder(holder));
    // A copy of the program whose ports/Com1 reaches the same device.
    const QString program = path(QStringLiteral("bin/scale-read"));
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("bin/ports"))));
    ASSERT_TRUE(QFile::copy(QStringLiteral(SCALE_READ_PATH), program));
    ASSERT_TRUE(QFile::link(device(), path(QStringLiteral("bin/ports/Com1"))));

    const QString inUse =
        ": the device is in use by scale-read (pid " + QString::number(holder.pid()) + ")";
    const struct {
        QStringList arguments;
        QString error;
    } cases[] = {
        {{"--port", device()}, "scale-read: cannot open " + device() + inUse},
        {{"--port", link()}, "scale-read: cannot open " + link() + inUse},
        {{"--port", "Com1"}, "scale-read: cannot open Com1 (" + device() + ")" + inUse},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.arguments));
        ReaderProcess second;
        ASSERT_TRUE(second.start(c.arguments, program));
        ASSERT_TRUE(second.waitForExit(5000));
        EXPECT_EQ(second.exitCode(), 1);
        EXPECT_TRUE(second.output().isEmpty());
        EXPECT_EQ(joined(second.errorLines()), c.error.toStdString());
    }
    // The simulator driving a device refuses it too.
    QProcess driver;
    driver.start(QStringLiteral(INDICATOR_SIM_PATH), {"--device", device()});
    ASSERT_TRUE(driver.waitForFinished(5000));
    EXPECT_EQ(driver.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(driver.readAllStandardError()).toStdString(),
              "indicator-sim: " + device().toStdString() + " is in use by another program\n");
    // The holder reads on undisturbed.
    EXPECT_TRUE(holder.waitForLines(static_cast<int>(holder.lines().size()) + 5, 3000));
}

TEST_F(ExclusiveAccessTest, TheWindowRefusesADeviceAReaderHolds) {
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:1.5"}));
    ReaderProcess holder;
    ASSERT_TRUE(startHolder(holder));
    LiveWindow live;
    ASSERT_TRUE(QFile::link(device(), live.portLink()));
    live.writeSettings(4, 0);
    live.start();
    // Once as start-up opens the port, once as its apply opens it again.
    const QString refused = QStringLiteral("端口不存在或正在被使用！");
    EXPECT_EQ(live.window.messages.join('|').toStdString(),
              QStringList({refused, refused}).join('|').toStdString());
    EXPECT_FALSE(live.comm.PortOpen());
}

TEST_F(ExclusiveAccessTest, AReaderKilledAsRootLeavesTheDeviceToAnOrdinaryUserAtOnce) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || nobody == nullptr) {
        GTEST_SKIP() << "runs a reader as root, then others as the user nobody: needs root";
    }
    ASSERT_TRUE(sim.start(link(), {"--weight", "fixed:1.5"}));
    const QString pts = device();
    ASSERT_TRUE(QFile::setPermissions(pts, kReadWriteAll));
    const StaleLockFiles stale({pts, link()});
    {
        ReaderProcess root;
        ASSERT_TRUE(startHolder(root));
        root.signal(SIGKILL);
        ASSERT_TRUE(root.waitForExit(3000));
    }

    ReaderProcess reader;
    ASSERT_TRUE(reader.start(
        kAsNobody + QStringList{QStringLiteral(SCALE_READ_PATH), "--port", pts, "--count", "1"},
        QStringLiteral("setpriv")));
    ASSERT_TRUE(reader.waitForExit(5000));
    EXPECT_EQ(reader.exitCode(), 0) << joined(reader.errorLines());
    EXPECT_EQ(joined(reader.maskedLines()),
              joined({reading(pts, "continuous", "1.5", "1.5kg", false,
                              "02 2B 30 30 30 30 31 35 31 31 45 03")}));

    // The window, as nobody, from a program folder of nobody's: it holds the device once it has
    // opened it (a refusal would leave it waiting in a message box instead).
    QTemporaryDir top;
    ASSERT_TRUE(QFile::setPermissions(top.path(), kOpenFolder));
    const QString folder = top.path() + QStringLiteral("/program");
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/ports")));
    ASSERT_TRUE(QFile::copy(QStringLiteral(SCALE_READOUT_PATH), folder + "/scale-readout"));
    ASSERT_TRUE(QFile::link(pts, folder + QStringLiteral("/ports/Com1")));
    QFile settings(folder + QStringLiteral("/Setting.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("0\r\n4\r\n2\r\n0\r\n0\r\n0\r\n");
    settings.close();
    for (const QString& file : {folder, folder + "/ports", folder + "/Setting.ini"}) {
        ASSERT_EQ(::lchown(QFile::encodeName(file).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    QProcess window;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), folder);
    window.setProcessEnvironment(environment);
    window.start(QStringLiteral("setpriv"), kAsNobody + QStringList{folder + "/scale-readout"});
    ASSERT_TRUE(window.waitForStarted(5000));
    EXPECT_TRUE(LiveWindow::waitFor(
        [&] {
            const auto holding = deviceHolder(pts);
            return holding && holding->pid == window.processId();
        },
        10000))
        << "window pid " << window.processId() << ", state " << window.state() << ", holder "
        << (deviceHolder(pts) ? deviceHolder(pts)->pid : 0) << ", window said "
        << window.readAllStandardError().toStdString();
    window.kill();
    window.waitForFinished(3000);
}

}  // namespace
}  // namespace scale::test
