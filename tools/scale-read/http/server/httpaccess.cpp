#include "tools/scale-read/http/server/httpaccess.h"

#include <QHostAddress>

namespace scaleread {
namespace {

// Compares in a time that does not depend on where the texts first differ (the length is no
// secret).
bool sameSecret(const QByteArray& given, const QByteArray& expected) {
    if (expected.isEmpty() || given.size() != expected.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        difference |= static_cast<unsigned char>(expected[i] ^ given[i]);
    }
    return difference == 0;
}

bool carriesToken(const RequestCredentials& request, const QByteArray& token,
                  bool queryTokenCounts) {
    static const QByteArray scheme = QByteArrayLiteral("bearer ");
    const QByteArray& header = request.authorization;
    if (header.size() > scheme.size() && header.first(scheme.size()).toLower() == scheme) {
        return sameSecret(header.mid(scheme.size()).trimmed(), token);
    }
    return queryTokenCounts && sameSecret(request.queryToken, token);
}

}  // namespace

bool isLoopbackHost(const QByteArray& host) {
    QByteArray name = host;
    if (name.startsWith('[')) {
        const qsizetype end = name.indexOf(']');
        if (end < 0) {
            return false;
        }
        name = name.mid(1, end - 1);
    } else if (const qsizetype colon = name.lastIndexOf(':'); colon >= 0) {
        name.truncate(colon);
    }
    if (name.toLower() == "localhost") {
        return true;
    }
    const QHostAddress address(QString::fromLatin1(name));
    return !address.isNull() && address.isLoopback();
}

Access decideAccess(const RequestCredentials& request, const QByteArray& token,
                    const QStringList& origins, bool needsToken, bool queryTokenCounts) {
    if (token.isEmpty() && !isLoopbackHost(request.host)) {
        return Access::ForeignHost;
    }
    if (!request.origin.isEmpty()) {
        const QString origin = QString::fromLatin1(request.origin);
        const bool own = origin == QLatin1String("http://") + QString::fromLatin1(request.host) ||
                         origin == QLatin1String("https://") + QString::fromLatin1(request.host);
        if (!own && !origins.contains(origin, Qt::CaseInsensitive)) {
            return Access::ForeignOrigin;
        }
    }
    if (needsToken && !token.isEmpty() && !carriesToken(request, token, queryTokenCounts)) {
        return Access::NoToken;
    }
    return Access::Allowed;
}

}  // namespace scaleread
