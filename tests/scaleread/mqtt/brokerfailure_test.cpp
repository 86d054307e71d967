#include <gtest/gtest.h>
#include <mosquitto.h>
#include <openssl/x509_vfy.h>

#include <cerrno>

#include "tools/scale-read/mqtt/broker/brokerfailure.h"

namespace scaleread {
namespace {

MqttTarget target(bool tls, const QString& user = {}, const QString& password = {}) {
    MqttTarget broker;
    broker.host = QStringLiteral("broker.plant.lan");
    broker.port = tls ? 8883 : 1883;
    broker.tls = tls;
    broker.caFile = tls ? QStringLiteral("/etc/plant/ca.pem") : QString();
    broker.user = user;
    broker.password = password;
    return broker;
}

ConnectOutcome refusedWith(int connack) {
    ConnectOutcome outcome;
    outcome.code = MOSQ_ERR_CONN_REFUSED;
    outcome.connack = connack;
    return outcome;
}

ConnectOutcome tlsFailure(const std::string& complaint, long certificateError = X509_V_OK) {
    ConnectOutcome outcome;
    outcome.code = MOSQ_ERR_TLS;
    outcome.tlsError = "OpenSSL Error[0]: error:0A000086:SSL routines::" + complaint;
    outcome.certificateError = certificateError;
    return outcome;
}

ConnectOutcome systemFailure(int code, int error) {
    ConnectOutcome outcome;
    outcome.code = code;
    outcome.systemError = error;
    return outcome;
}

TEST(BrokerFailure, EachWayAnAttemptEndsIsToldInTheToolsWords) {
    ConnectOutcome lost = systemFailure(MOSQ_ERR_CONN_LOST, ECONNRESET);
    lost.accepted = true;
    ConnectOutcome plainOnTls = systemFailure(MOSQ_ERR_CONN_LOST, ECONNRESET);
    plainOnTls.answersTls = true;
    const struct {
        ConnectOutcome outcome;
        MqttTarget broker;
        BrokerTrouble trouble;
        QString text;
    } cases[] = {
        {lost, target(false), BrokerTrouble::Away,
         "the broker at broker.plant.lan:1883 is gone; keeping stable weights until it is back"},
        {systemFailure(MOSQ_ERR_ERRNO, ECONNREFUSED), target(false), BrokerTrouble::Away,
         "the broker at broker.plant.lan:1883 is not there (nothing listens on its port); keeping "
         "stable weights until it answers"},
        {systemFailure(MOSQ_ERR_ERRNO, EHOSTUNREACH), target(false), BrokerTrouble::Away,
         "the broker at broker.plant.lan:1883 is not reached (no route to host); keeping stable "
         "weights until it answers"},
        {systemFailure(MOSQ_ERR_KEEPALIVE, 0), target(false), BrokerTrouble::Away,
         "the broker at broker.plant.lan:1883 took the connection but does not answer; keeping "
         "stable weights until it does"},
        {systemFailure(MOSQ_ERR_EAI, 0), target(false), BrokerTrouble::Lookup,
         "cannot resolve broker.plant.lan"},
        {refusedWith(5), target(true, "reader", "pw"), BrokerTrouble::Login,
         "the broker at broker.plant.lan:8883 refused the user name or password (--mqtt-user "
         "reader)"},
        {refusedWith(4), target(true, "reader"), BrokerTrouble::Login,
         "the broker at broker.plant.lan:8883 refused the user name or password (--mqtt-user "
         "reader, and SCALE_READ_MQTT_PASSWORD is empty)"},
        {refusedWith(5), target(false), BrokerTrouble::Login,
         "the broker at broker.plant.lan:1883 wants a login: give --mqtt-user and the password "
         "in SCALE_READ_MQTT_PASSWORD"},
        {refusedWith(2), target(false), BrokerTrouble::Refused,
         "the broker at broker.plant.lan:1883 refused the client id scale-read-host-gate"},
        {refusedWith(1), target(false), BrokerTrouble::Refused,
         "the broker at broker.plant.lan:1883 does not speak MQTT 3.1.1"},
        {refusedWith(9), target(false), BrokerTrouble::Refused,
         "the broker at broker.plant.lan:1883 refused the connection (code 9)"},
        {tlsFailure("certificate verify failed", X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN),
         target(true), BrokerTrouble::Certificate,
         "the broker at broker.plant.lan:8883 has a certificate not signed by the CA in "
         "/etc/plant/ca.pem"},
        {tlsFailure("certificate verify failed", X509_V_ERR_HOSTNAME_MISMATCH), target(true),
         BrokerTrouble::Certificate,
         "the broker at broker.plant.lan:8883 has a certificate not made out to broker.plant.lan"},
        {tlsFailure("certificate verify failed", X509_V_ERR_CERT_HAS_EXPIRED), target(true),
         BrokerTrouble::Certificate,
         "the broker at broker.plant.lan:8883 has an expired certificate"},
        {tlsFailure("unexpected eof while reading"), target(true), BrokerTrouble::NoTls,
         "no TLS answer from broker.plant.lan:8883: is it a plain listener? use mqtt://"},
        {tlsFailure("wrong version number"), target(true), BrokerTrouble::NoTls,
         "no TLS answer from broker.plant.lan:8883: is it a plain listener? use mqtt://"},
        {tlsFailure("sslv3 alert handshake failure"), target(true), BrokerTrouble::Tls,
         "TLS with the broker at broker.plant.lan:8883 failed: sslv3 alert handshake failure"},
        {plainOnTls, target(false), BrokerTrouble::SpeaksTls,
         "the broker at broker.plant.lan:1883 speaks TLS; use mqtts://"},
        {systemFailure(MOSQ_ERR_CONN_LOST, ECONNRESET), target(false), BrokerTrouble::Away,
         "the broker at broker.plant.lan:1883 hung up without answering; keeping stable weights "
         "until it answers"},
    };
    for (const auto& each : cases) {
        const BrokerFailure failure =
            describeFailure(each.outcome, each.broker, "scale-read-host-gate");
        EXPECT_EQ(failure.text, each.text);
        EXPECT_EQ(failure.trouble, each.trouble) << each.text.toStdString();
    }

    MqttTarget withoutCa = target(true);
    withoutCa.caFile.clear();
    EXPECT_EQ(describeFailure(tlsFailure("certificate verify failed", 20), withoutCa, "").text,
              "the broker at broker.plant.lan:8883 has a certificate not signed by a CA this host "
              "trusts; name its CA with --mqtt-ca");
    MqttTarget v6 = target(false);
    v6.host = QStringLiteral("::1");
    EXPECT_EQ(brokerName(v6), "the broker at [::1]:1883");
}

TEST(BrokerFailure, OnlyAPlainConnectionDroppedBeforeAnyAnswerIsProbedForTls) {
    ConnectOutcome dropped = systemFailure(MOSQ_ERR_CONN_LOST, ECONNRESET);
    EXPECT_TRUE(mayBeTlsListener(dropped, target(false)));
    EXPECT_FALSE(mayBeTlsListener(dropped, target(true)));
    EXPECT_FALSE(mayBeTlsListener(refusedWith(5), target(false)));
    EXPECT_FALSE(mayBeTlsListener(systemFailure(MOSQ_ERR_ERRNO, ECONNREFUSED), target(false)));
    dropped.accepted = true;
    EXPECT_FALSE(mayBeTlsListener(dropped, target(false)));
}

}  // namespace
}  // namespace scaleread
