#pragma once

#include <QByteArray>
#include <QStringList>

namespace scaleread {

// What a request brings that decides whether it is let in.
struct RequestCredentials {
    QByteArray host;           // the Host header
    QByteArray origin;         // the Origin header, empty when the client sent none
    QByteArray authorization;  // the Authorization header
    QByteArray queryToken;     // ?token=, which a browser's WebSocket or page link can carry
};

enum class Access {
    Allowed,
    ForeignHost,    // a name that is not this machine's loopback, with no token to stand guard
    ForeignOrigin,  // a page of another origin not named with --http-origin
    NoToken,        // a token is set and the request does not carry it
};

// The rules, in order: without a token the service is reached only as localhost or by a
// loopback address, so that a page whose name resolves to 127.0.0.1 cannot read it; a browser
// page of another origin must be named; and with a token, `needsToken` requests carry it, in the
// Authorization header or, where `queryTokenCounts`, as ?token=.
Access decideAccess(const RequestCredentials& request, const QByteArray& token,
                    const QStringList& origins, bool needsToken, bool queryTokenCounts);

// Whether `host` ("localhost:8080", "127.0.0.1", "[::1]:80") names this machine's loopback.
bool isLoopbackHost(const QByteArray& host);

}  // namespace scaleread
