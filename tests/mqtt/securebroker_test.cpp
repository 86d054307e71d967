// scale-read and a broker that requires TLS and a password, as a plant's does: a throw-away CA
// and server certificate, a password file and an ACL that lets the reader write below its
// prefix only. The right CA and password bring the records; each mistake gets one line that
// names it, quickly, while the reader reads on, tries again without spinning, and never shows
// the password.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <iostream>

#include "brokerprocess.h"
#include "subscriberprocess.h"
#include "tests/e2e/harness/livewindow.h"
#include "tests/e2e/harness/simulatorprocess.h"

namespace scale::test {
namespace {

const QString kPassword = QStringLiteral("pw-7f3a-reader");
const QString kWatcherPassword = QStringLiteral("pw-watcher");

bool run(const QString& program, const QStringList& arguments, const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool done = process.waitForFinished(20000) &&
                      process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!done) {
        std::cout << program.toStdString() << ": " << process.readAll().toStdString();
    }
    return done;
}

// A key and a self-signed CA certificate named NAME.key and NAME.pem in `folder`.
bool makeCa(const QString& folder, const QString& name) {
    return run("openssl",
               {"req", "-x509", "-new", "-nodes", "-newkey", "ec", "-pkeyopt",
                "ec_paramgen_curve:P-256", "-days", "2", "-subj", "/CN=" + name + " test CA",
                "-keyout", name + ".key", "-out", name + ".pem"},
               folder);
}

// The reader as a child process in the C locale, with the password in its environment.
class PasswordReader {
public:
    bool start(const QStringList& arguments, const QString& password) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "C");
        environment.insert("SCALE_READ_MQTT_PASSWORD", password);
        m_process.setProcessEnvironment(environment);
        // Quiet: the broker's lines are what these tests read, not the notes on the ports.
        m_process.start(QStringLiteral(SCALE_READ_PATH), QStringList{"--quiet"} + arguments);
        return m_process.waitForStarted(5000);
    }
    ~PasswordReader() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    qint64 pid() const { return m_process.processId(); }
    QString errors() {
        m_errors += QString::fromUtf8(m_process.readAllStandardError());
        return m_errors;
    }
    // Its user and system time so far, in clock ticks.
    long cpuTicks() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
        if (!stat.open(QIODevice::ReadOnly)) {
            return -1;
        }
        // Fields 14 and 15, counted after the command's closing parenthesis.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 13 ? fields[11].toLong() + fields[12].toLong() : -1;
    }
    QString arguments() const {
        QProcess ps;
        ps.start("ps", {"-ww", "-o", "args=", "-p", QString::number(pid())});
        ps.waitForFinished(5000);
        return QString::fromUtf8(ps.readAllStandardOutput());
    }
    bool stop() {
        ::kill(static_cast<pid_t>(pid()), SIGTERM);
        return m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QString m_errors;
};

class SecureBrokerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString work = broker.filePath(".");
        const QString acl =
            "user reader\ntopic write scale-readout/#\n"
            "user watcher\ntopic read scale-readout/#\n";
        QFile aclFile(broker.filePath("acl"));
        QFile extension(broker.filePath("server.ext"));
        if (!aclFile.open(QIODevice::WriteOnly) || aclFile.write(acl.toUtf8()) < 0 ||
            !extension.open(QIODevice::WriteOnly) ||
            extension.write("subjectAltName=IP:127.0.0.1\n") < 0) {
            FAIL() << "cannot write in " << work.toStdString();
        }
        aclFile.close();
        extension.close();
        if (!makeCa(work, "ca") || !makeCa(work, "other") ||
            !run("openssl",
                 {"req", "-new", "-nodes", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                  "-subj", "/CN=127.0.0.1", "-keyout", "server.key", "-out", "server.csr"},
                 work) ||
            !run("openssl",
                 {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                  "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out", "server.pem"},
                 work)) {
            GTEST_SKIP() << "no openssl to make certificates with";
        }
        if (!run("mosquitto_passwd", {"-b", "-c", "passwd", "reader", kPassword}, work) ||
            !run("mosquitto_passwd", {"-b", "passwd", "watcher", kWatcherPassword}, work)) {
            GTEST_SKIP() << "no mosquitto_passwd";
        }
        // The broker may drop root's rights to a user of its own, which must read them all.
        for (const char* name : {"ca.pem", "server.pem", "server.key", "passwd", "acl"}) {
            QFile::setPermissions(broker.filePath(name),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }
        plainPort = BrokerProcess::freePort();
        broker.configure(QStringLiteral("listener %1 127.0.0.1\n"
                                        "cafile %3\ncertfile %4\nkeyfile %5\n"
                                        "listener %2 127.0.0.1\n"
                                        "allow_anonymous false\n"
                                        "password_file %6\nacl_file %7\n")
                             .arg(broker.port())
                             .arg(plainPort)
                             .arg(broker.filePath("ca.pem"), broker.filePath("server.pem"),
                                  broker.filePath("server.key"), broker.filePath("passwd"),
                                  broker.filePath("acl")));
        if (!broker.start()) {
            GTEST_SKIP() << "no mosquitto broker to start";
        }
    }
    QString link(const QString& name) const { return folder.filePath(name); }
    QString station(const QString& name) const { return name + "=" + link(name) + ",continuous"; }
    QString tlsUrl() const { return QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port()); }

    QTemporaryDir folder;
    BrokerProcess broker;
    int plainPort = 0;
};

// Five readers at once on the one broker: four with a mistake each, one right.
class SecureBrokerRun : public SecureBrokerTest {
protected:
    void startReaders() {
        const char* names[] = {"a", "b", "c", "d", "e", "f"};
        for (int i = 0; i < 6; ++i) {
            // Slow, so that the reading itself costs next to nothing beside the broker's refusals.
            ASSERT_TRUE(
                simulators[i].start(link(names[i]), {"--weight", "fixed:1.5", "--rate", "2"}));
        }
        ASSERT_TRUE(watcher.start(
            broker.port(), "scale-readout/#", {},
            {"--cafile", broker.filePath("ca.pem"), "-u", "watcher", "-P", kWatcherPassword}));
        sinceStart.start();
        const QString ca = broker.filePath("ca.pem");
        const QStringList login = {"--mqtt-user", "reader"};
        ASSERT_TRUE(wrongPassword.start(
            QStringList{"--station", station("a"), "--station", station("b"), "--mqtt", tlsUrl(),
                        "--mqtt-ca", ca, "--output", records()} +
                login,
            "not-" + kPassword));
        ASSERT_TRUE(untrusted.start(
            QStringList{"--station", station("c"), "--mqtt", tlsUrl(), "--mqtt-ca", other()} +
                login,
            kPassword));
        ASSERT_TRUE(
            plainOnTls.start(QStringList{"--station", station("d"), "--mqtt",
                                         QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())} +
                                 login,
                             kPassword));
        ASSERT_TRUE(tlsOnPlain.start(
            QStringList{"--station", station("e"), "--mqtt",
                        QStringLiteral("mqtts://127.0.0.1:%1").arg(plainPort), "--mqtt-ca", ca} +
                login,
            kPassword));
        ASSERT_TRUE(right.start(
            QStringList{"--station", station("f"), "--mqtt", tlsUrl(), "--mqtt-ca", ca} + login,
            kPassword));
    }

    // Each mistake is named within 5 s, and the right reader publishes. The first try of the
    // reader with the wrong password sets the clock of its next ones: after 1, 2, 4, 8 ... s.
    void expectMistakesNamedAndRightPublishing() {
        ASSERT_TRUE(LiveWindow::waitFor([&] { return !wrongPassword.errors().isEmpty(); }, 5000));
        firstTry = sinceStart.elapsed();
        PasswordReader* refused[] = {&untrusted, &plainOnTls, &tlsOnPlain};
        EXPECT_TRUE(LiveWindow::waitFor(
            [&] {
                return std::all_of(
                    std::begin(refused), std::end(refused),
                    [](PasswordReader* reader) { return !reader->errors().isEmpty(); });
            },
            static_cast<int>(5000 - sinceStart.elapsed())));
        ASSERT_TRUE(watcher.waitFor(
            [](const SubscriberProcess::Message& message) {
                return message.topic == "scale-readout/f/stable";
            },
            5000));
    }

    // Refused, the reader tries again now and then, reads on, and costs next to nothing:
    // measured over 11 s that hold one try per station, the one 7 s after the first (a TLS try
    // costs some 12 ms of CPU in this sanitized build, 1 ms in a plain one).
    void expectRefusedReaderReadsOnCheaply() {
        const auto recordCount = [&] {
            QFile file(records());
            return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
        };
        LiveWindow::waitFor([] { return false; },
                            static_cast<int>(firstTry + 3500 - sinceStart.elapsed()));
        const long ticksBefore = wrongPassword.cpuTicks();
        const qsizetype recordsBefore = recordCount();
        LiveWindow::waitFor([] { return false; }, 11000);
        refusedTicks = wrongPassword.cpuTicks() - ticksBefore;
        EXPECT_LE(refusedTicks, 11) << "CPU ticks of 10 ms in 11 s while refused";
        EXPECT_GE(recordCount(), recordsBefore + 30);
    }

    // Stopped, each reader has said its mistake once and what it kept; the right one nothing.
    void stopAndExpectOneLinePerMistake() {
        for (PasswordReader* reader :
             {&wrongPassword, &untrusted, &plainOnTls, &tlsOnPlain, &right}) {
            arguments << reader->arguments();
            EXPECT_TRUE(reader->stop());
        }
        const QString address = QStringLiteral("127.0.0.1:%1").arg(broker.port());
        const QString plainAddress = QStringLiteral("127.0.0.1:%1").arg(plainPort);
        const QString keptOne =
            "scale-read: station %1: 1 stable weights not published, the broker "
            "being away at the end\n";
        EXPECT_EQ(wrongPassword.errors().toStdString(),
                  QString("scale-read: the broker at " + address +
                          " refused the user name or password (--mqtt-user "
                          "reader)\n" +
                          keptOne.arg("a") + keptOne.arg("b"))
                      .toStdString());
        EXPECT_EQ(untrusted.errors().toStdString(),
                  QString("scale-read: the broker at " + address +
                          " has a certificate not signed by the CA in " + other() + "\n" +
                          keptOne.arg("c"))
                      .toStdString());
        EXPECT_EQ(plainOnTls.errors().toStdString(),
                  QString("scale-read: the broker at " + address + " speaks TLS; use mqtts://\n" +
                          keptOne.arg("d"))
                      .toStdString());
        EXPECT_EQ(tlsOnPlain.errors().toStdString(),
                  QString("scale-read: no TLS answer from " + plainAddress +
                          ": is it a plain listener? use mqtt://\n" + keptOne.arg("e"))
                      .toStdString());
        EXPECT_EQ(right.errors().toStdString(), "");
    }

    // The right one's records arrived, as they were read (the weight long settled by the last),
    // and the password is nowhere to be seen.
    void expectRightRecordsAndNoPassword() {
        const QStringList readings = watcher.payloads("scale-readout/f/reading");
        ASSERT_FALSE(readings.isEmpty());
        EXPECT_EQ(
            QString(readings.last())
                .replace(QRegularExpression(R"("time":"[^"]*")"), "TIME")
                .toStdString(),
            (R"({TIME,"station":"f","port":")" + link("f") +
             R"(","protocol":"continuous","weight":1.5,"text":"1.5kg","stable":true,"raw":"02 2B 30 30 30 30 31 35 31 31 45 03","unit":"kg"})")
                .toStdString());
        QFile recorded(records());
        ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
        const QString seen = arguments.join('\n') + QString::fromUtf8(recorded.readAll()) +
                             refusals() + right.errors() +
                             watcher.payloads("scale-readout/f/reading").join('\n');
        EXPECT_FALSE(seen.contains(kPassword));
        EXPECT_TRUE(arguments.join('\n').contains("--mqtt-user reader"));
    }

    // The broker saw a handful of refused logins from the two stations, not a storm. Prints the
    // transcript: what the broker saw, and what each reader said.
    void expectNoStormAndPrintTranscript() {
        broker.stop();
        const QString log = broker.log();
        EXPECT_LE(log.count("not authorised"), 10);
        std::cout << "--- broker\n";
        static const QRegularExpression told(
            "New client connected.*|.*not authorised.*|OpenSSL Error.*|Client connection from .*"
            "failed.*|Client <unknown> disconnected.*");
        for (const QString& line : log.split('\n')) {
            if (told.match(line).hasMatch()) {
                std::cout << line.toStdString() << '\n';
            }
        }
        std::cout << "--- readers\n"
                  << refusals().toStdString()
                  << "--- the refused reader's CPU over 11 s: " << refusedTicks * 10 << " ms\n";
    }

    QString records() const { return folder.filePath("a-b.jsonl"); }
    QString other() const { return broker.filePath("other.pem"); }
    QString refusals() {
        return wrongPassword.errors() + untrusted.errors() + plainOnTls.errors() +
               tlsOnPlain.errors();
    }

    SimulatorProcess simulators[6];
    SubscriberProcess watcher;
    QElapsedTimer sinceStart;
    qint64 firstTry = 0;
    long refusedTicks = 0;
    QStringList arguments;  // the readers' command lines as the system shows them
    PasswordReader wrongPassword, untrusted, plainOnTls, tlsOnPlain, right;
};

TEST_F(SecureBrokerRun, RightCaAndPasswordPublishEachMistakeIsNamedOnceAndReadingGoesOn) {
    ASSERT_NO_FATAL_FAILURE(startReaders());
    ASSERT_NO_FATAL_FAILURE(expectMistakesNamedAndRightPublishing());
    expectRefusedReaderReadsOnCheaply();
    stopAndExpectOneLinePerMistake();
    expectRightRecordsAndNoPassword();
    expectNoStormAndPrintTranscript();
}

}  // namespace
}  // namespace scale::test
