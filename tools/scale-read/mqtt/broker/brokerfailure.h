#pragma once

#include <QString>
#include <string>

#include "tools/scale-read/mqtt/mqtttarget.h"

namespace scaleread {

// How one attempt to talk to the broker ended, as the library and the system reported it.
struct ConnectOutcome {
    int code = 0;               // the library's return code (MOSQ_ERR_...)
    int systemError = 0;        // errno, for MOSQ_ERR_ERRNO and lost connections
    int connack = -1;           // the broker's answer to CONNECT; -1: none came
    bool accepted = false;      // the broker had accepted this connection before it ended
    long certificateError = 0;  // the TLS library's verdict on the broker's certificate
    std::string tlsError;       // the TLS library's last complaint, if any
    bool answersTls = false;    // a plain attempt's port turned out to speak TLS
};

// What went wrong, by kind: the stations of one reader share a broker, and one note per kind
// tells their user enough.
enum class BrokerTrouble { Away, Login, Refused, Certificate, NoTls, SpeaksTls, Tls, Lookup };

struct BrokerFailure {
    BrokerTrouble trouble;
    QString text;  // one line, in the tool's words
};

// "HOST:PORT", an IPv6 address in brackets; and "the broker at HOST:PORT", as notes name it.
QString brokerAddress(const MqttTarget& target);
QString brokerName(const MqttTarget& target);

// Turns an attempt that ended into a note a user can act on.
BrokerFailure describeFailure(const ConnectOutcome& outcome, const MqttTarget& target,
                              const std::string& clientId);

// Whether an attempt that ended this way is worth a TLS probe of the port: a plain CONNECT
// that the far end dropped without a word is what a TLS listener does with it.
bool mayBeTlsListener(const ConnectOutcome& outcome, const MqttTarget& target);

}  // namespace scaleread
