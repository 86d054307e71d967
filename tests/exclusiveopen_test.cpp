// A serial device is held by one open at a time, whatever name reaches it, and is free again the
// moment its holder ends, even when the holder was killed outright.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>

#include <fstream>
#include <string>

#include "app/serial/deviceholder.h"
#include "device/terminal/exclusiveopen.h"

namespace scale::test {
namespace {

// A pseudo-terminal whose slave anyone may open, and a link to it.
class ExclusiveOpenTest : public ::testing::Test {
protected:
    ExclusiveOpenTest() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
            device = ::ptsname(m_master);
            ::chmod(device.c_str(), 0666);
            link = m_folder.path().toStdString() + "/Com1";
            ::symlink(device.c_str(), link.c_str());
        }
    }
    ~ExclusiveOpenTest() override { ::close(m_master); }

    // A child process that holds the device until it is killed; its pid.
    pid_t startHolder() {
        int ready[2];
        if (::pipe(ready) != 0) {
            return -1;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            const ExclusiveOpen held = openExclusive(link);
            const char answer = held.fd >= 0 ? 'y' : 'n';
            (void)::write(ready[1], &answer, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char answer = 'n';
        const bool holds = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
        return holds ? child : -1;
    }

    // Whether a child process running as `nobody` opens the device.
    bool opensAsNobody() const {
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgroups(0, nullptr) == 0 &&
                                 ::setresgid(65534, 65534, 65534) == 0 &&
                                 ::setresuid(65534, 65534, 65534) == 0;
            ::_exit(dropped && openExclusive(device).fd >= 0 ? 0 : 1);
        }
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

    QTemporaryDir m_folder;
    int m_master = -1;
    std::string device;
    std::string link;
};

TEST_F(ExclusiveOpenTest, OneHolderWhateverTheNameAndFreeOnceClosed) {
    ASSERT_FALSE(device.empty());
    const ExclusiveOpen first = openExclusive(device);
    ASSERT_GE(first.fd, 0);

    // Through a link, and a second open of the same name: refused, root or not.
    for (const std::string& name : {link, device}) {
        const ExclusiveOpen second = openExclusive(name);
        EXPECT_EQ(second.fd, -1) << name;
        EXPECT_EQ(second.refusal, OpenRefusal::InUse) << name;
    }

    closeExclusive(first.fd);
    const ExclusiveOpen again = openExclusive(link);
    EXPECT_GE(again.fd, 0);
    closeExclusive(again.fd);
}

TEST_F(ExclusiveOpenTest, AHolderKilledOutrightLeavesTheDeviceFreeForEveryone) {
    ASSERT_FALSE(device.empty());
    const pid_t holder = startHolder();
    ASSERT_GT(holder, 0);

    // Named with the program it runs, through the link as through the device.
    std::ifstream comm("/proc/self/comm");
    std::string program;
    std::getline(comm, program);
    const auto found = deviceHolder(QFile::decodeName(link.c_str()));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->pid, holder);
    EXPECT_EQ(found->program.toStdString(), program);
    EXPECT_EQ(openExclusive(device).refusal, OpenRefusal::InUse);

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    if (::geteuid() == 0) {
        EXPECT_TRUE(opensAsNobody());
    }
    const ExclusiveOpen after = openExclusive(link);
    EXPECT_GE(after.fd, 0);
    closeExclusive(after.fd);
    EXPECT_FALSE(deviceHolder(QFile::decodeName(device.c_str())).has_value());
}

TEST(ExclusiveOpen, SaysWhyAPathDoesNotOpen) {
    EXPECT_EQ(openExclusive("/dev/null").refusal, OpenRefusal::NotSerial);
    QTemporaryDir folder;
    EXPECT_EQ(openExclusive(folder.path().toStdString() + "/absent").refusal,
              OpenRefusal::NoSuchDevice);
}

}  // namespace
}  // namespace scale::test
