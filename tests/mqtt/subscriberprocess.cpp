#include "subscriberprocess.h"

#include "tests/e2e/harness/livewindow.h"

namespace scale::test {

bool SubscriberProcess::start(int port, const QString& topic, const QString& session,
                              const QStringList& more) {
    // One line a message: the retain flag, the topic and the payload.
    QStringList arguments = {QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                             QStringLiteral("-p"), QString::number(port),
                             QStringLiteral("-q"), QStringLiteral("1"),
                             QStringLiteral("-F"), QStringLiteral("%r %t %p"),
                             QStringLiteral("-t"), topic};
    if (!session.isEmpty()) {
        arguments << QStringLiteral("-c") << QStringLiteral("-i") << session;
    }
    m_process.start(QStringLiteral("mosquitto_sub"), arguments + more);
    if (!m_process.waitForStarted(5000)) {
        return false;
    }
    // Give it its subscription before anything is published.
    LiveWindow::waitFor([] { return false; }, 300);
    return m_process.state() == QProcess::Running;
}

SubscriberProcess::~SubscriberProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

const std::vector<SubscriberProcess::Message>& SubscriberProcess::messages() {
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() >= 3) {
            m_messages.push_back(
                {parts[0] == QLatin1String("1"), parts[1], parts.mid(2).join(QLatin1Char(' '))});
        }
    }
    return m_messages;
}

bool SubscriberProcess::waitFor(const std::function<bool(const Message&)>& match,
                                int milliseconds) {
    return LiveWindow::waitFor(
        [&] {
            const auto& all = messages();
            return std::any_of(all.begin(), all.end(), match);
        },
        milliseconds);
}

QStringList SubscriberProcess::payloads(const QString& topic, bool withRetained) {
    QStringList found;
    for (const Message& message : messages()) {
        if (message.topic == topic && (withRetained || !message.retained)) {
            found << message.payload;
        }
    }
    return found;
}

}  // namespace scale::test
