#include "tools/scale-read/mqtt/broker/brokerfailure.h"

#include <mosquitto.h>
#include <openssl/x509_vfy.h>

#include <cerrno>

#include "device/systemreason.h"

namespace scaleread {
namespace {

struct Answer {
    int connack;
    BrokerTrouble trouble;
    const char* text;  // %1 the broker, %2 the client id
};

// MQTT 3.1.1 CONNACK return codes. Brokers differ in which of 4 and 5 they give for a wrong
// password, so both are treated as a login problem (and told apart from a missing login).
constexpr Answer kAnswers[] = {
    {1, BrokerTrouble::Refused, "%1 does not speak MQTT 3.1.1"},
    {2, BrokerTrouble::Refused, "%1 refused the client id %2"},
    {3, BrokerTrouble::Refused, "%1 says it is unavailable; trying again"},
};

struct CertificateVerdict {
    long error;
    const char* text;  // %1 the broker, %2 the host
};

constexpr CertificateVerdict kVerdicts[] = {
    {X509_V_ERR_HOSTNAME_MISMATCH, "%1 has a certificate not made out to %2"},
    {X509_V_ERR_IP_ADDRESS_MISMATCH, "%1 has a certificate not made out to %2"},
    {X509_V_ERR_CERT_HAS_EXPIRED, "%1 has an expired certificate"},
    {X509_V_ERR_CERT_NOT_YET_VALID, "%1 has a certificate that is not valid yet"},
};

// The last, most specific part of an OpenSSL error line, "error:0A000126:SSL
// routines::unexpected eof while reading": "unexpected eof while reading".
std::string reasonOf(const std::string& line) {
    const auto colon = line.rfind(':');
    return colon == std::string::npos ? line : line.substr(colon + 1);
}

// A table's text with its blanks filled, whichever of them it uses.
QString filled(const char* text, const QString& first, const QString& second) {
    return QString::fromUtf8(text)
        .replace(QLatin1String("%1"), first)
        .replace(QLatin1String("%2"), second);
}

bool tlsSaid(const ConnectOutcome& outcome, const char* reason) {
    return outcome.tlsError.find(reason) != std::string::npos;
}

}  // namespace

QString brokerAddress(const MqttTarget& target) {
    const QString host = target.host.contains(QLatin1Char(':'))
                             ? QStringLiteral("[%1]").arg(target.host)
                             : target.host;
    return QStringLiteral("%1:%2").arg(host).arg(target.port);
}

QString brokerName(const MqttTarget& target) {
    return QStringLiteral("the broker at %1").arg(brokerAddress(target));
}

bool mayBeTlsListener(const ConnectOutcome& outcome, const MqttTarget& target) {
    return !target.tls && !outcome.accepted && outcome.connack < 0 &&
           (outcome.code == MOSQ_ERR_CONN_LOST || outcome.code == MOSQ_ERR_PROTOCOL);
}

BrokerFailure describeFailure(const ConnectOutcome& outcome, const MqttTarget& target,
                              const std::string& clientId) {
    const QString broker = brokerName(target);
    if (outcome.accepted) {
        return {BrokerTrouble::Away,
                QStringLiteral("%1 is gone; keeping stable weights until it is back").arg(broker)};
    }
    if (outcome.connack == 4 || outcome.connack == 5) {
        if (target.user.isEmpty()) {
            return {BrokerTrouble::Login,
                    QStringLiteral("%1 wants a login: give --mqtt-user and the password in "
                                   "SCALE_READ_MQTT_PASSWORD")
                        .arg(broker)};
        }
        return {BrokerTrouble::Login,
                QStringLiteral("%1 refused the user name or password (--mqtt-user %2%3)")
                    .arg(broker, target.user,
                         target.password.isEmpty()
                             ? QStringLiteral(", and SCALE_READ_MQTT_PASSWORD is empty")
                             : QString())};
    }
    if (outcome.connack > 0) {
        for (const Answer& answer : kAnswers) {
            if (answer.connack == outcome.connack) {
                return {answer.trouble,
                        filled(answer.text, broker, QString::fromStdString(clientId))};
            }
        }
        return {
            BrokerTrouble::Refused,
            QStringLiteral("%1 refused the connection (code %2)").arg(broker).arg(outcome.connack)};
    }
    if (outcome.code == MOSQ_ERR_EAI) {
        return {BrokerTrouble::Lookup, QStringLiteral("cannot resolve %1").arg(target.host)};
    }
    if (outcome.answersTls) {
        return {BrokerTrouble::SpeaksTls,
                QStringLiteral("%1 speaks TLS; use mqtts://").arg(broker)};
    }
    if (target.tls && (outcome.code == MOSQ_ERR_TLS || !outcome.tlsError.empty())) {
        if (outcome.certificateError != X509_V_OK ||
            tlsSaid(outcome, "certificate verify failed")) {
            for (const CertificateVerdict& verdict : kVerdicts) {
                if (verdict.error == outcome.certificateError) {
                    return {BrokerTrouble::Certificate, filled(verdict.text, broker, target.host)};
                }
            }
            return {BrokerTrouble::Certificate,
                    target.caFile.isEmpty()
                        ? QStringLiteral("%1 has a certificate not signed by a CA this host "
                                         "trusts; name its CA with --mqtt-ca")
                              .arg(broker)
                        : QStringLiteral("%1 has a certificate not signed by the CA in %2")
                              .arg(broker, target.caFile)};
        }
        // A plain listener takes the TLS greeting for a bad packet and hangs up, or answers in
        // plain MQTT, which TLS calls a wrong version.
        if (outcome.tlsError.empty() || tlsSaid(outcome, "unexpected eof") ||
            tlsSaid(outcome, "wrong version number") ||
            tlsSaid(outcome, "packet length too long") ||
            tlsSaid(outcome, "record layer failure")) {
            return {BrokerTrouble::NoTls,
                    QStringLiteral("no TLS answer from %1: is it a plain listener? use mqtt://")
                        .arg(brokerAddress(target))};
        }
        return {BrokerTrouble::Tls,
                QStringLiteral("TLS with %1 failed: %2")
                    .arg(broker, QString::fromStdString(reasonOf(outcome.tlsError)))};
    }
    if (outcome.code == MOSQ_ERR_ERRNO && outcome.systemError == ECONNREFUSED) {
        return {BrokerTrouble::Away,
                QStringLiteral("%1 is not there (nothing listens on its port); keeping stable "
                               "weights until it answers")
                    .arg(broker)};
    }
    if (outcome.code == MOSQ_ERR_ERRNO && outcome.systemError != 0) {
        return {BrokerTrouble::Away,
                QStringLiteral("%1 is not reached (%2); keeping stable weights until it answers")
                    .arg(broker,
                         QString::fromLocal8Bit(scale::systemReasonText(outcome.systemError)))};
    }
    if (outcome.code == MOSQ_ERR_KEEPALIVE) {
        return {BrokerTrouble::Away,
                QStringLiteral("%1 took the connection but does not answer; keeping stable "
                               "weights until it does")
                    .arg(broker)};
    }
    if (outcome.code == MOSQ_ERR_CONN_LOST || outcome.code == MOSQ_ERR_PROTOCOL) {
        return {BrokerTrouble::Away,
                QStringLiteral("%1 hung up without answering; keeping stable weights until it "
                               "answers")
                    .arg(broker)};
    }
    return {BrokerTrouble::Away,
            QStringLiteral("%1 is not reached (library code %2); keeping stable weights until it "
                           "answers")
                .arg(broker)
                .arg(outcome.code)};
}

}  // namespace scaleread
