#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "tools/scale-read/http/server/httpaccess.h"
#include "tools/scale-read/http/httpoptions.h"
#include "tools/scale-read/cli/readeroptions.h"

namespace scaleread {
namespace {

QString refusal(const QString& listen, const QString& tokenFile = {},
                const QStringList& origins = {}) {
    const auto parsed = parseHttpSettings(listen, tokenFile, origins, {}, false);
    const auto* error = std::get_if<QString>(&parsed);
    return error ? *error : QStringLiteral("accepted");
}

TEST(HttpSettings, AddressesPortsTokensAndOriginsAreChecked) {
    QTemporaryDir folder;
    const auto write = [&](const char* name, const QByteArray& content) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    const QString token = write("token", "0123456789abcdef\n");
    const QString shortToken = write("short", "secret\n");
    const QString spaced = write("spaced", "0123456789 abcdef\n");
    const std::pair<QStringList, QString> cases[] = {
        {{"8080"}, "accepted"},
        {{"127.0.0.2:8080"}, "accepted"},
        {{"[::1]:8080"}, "accepted"},
        {{"localhost:0"}, "accepted"},
        {{"0.0.0.0:8080", token}, "accepted"},
        {{"http"}, "--http 'http' is not [ADDR:]PORT such as 8080, 0.0.0.0:8080 or [::1]:8080"},
        {{"::1:8080"}, "--http '::1:8080' is not [ADDR:]PORT such as 8080, 0.0.0.0:8080 or [::1]:8080"},
        {{"70000"}, "--http '70000': the port goes from 1 to 65535 (0: any free port)"},
        {{"scales.lan:80"}, "--http 'scales.lan:80': 'scales.lan' is not an IP address of this "
                            "host (IPv6 in brackets)"},
        {{"0.0.0.0:8080"}, "--http 0.0.0.0:8080 is reachable from other machines; give "
                           "--http-token-file FILE"},
        {{"[::]:8080"}, "--http [::]:8080 is reachable from other machines; give "
                        "--http-token-file FILE"},
        {{"8080", folder.filePath("none")},
         "--http-token-file " + folder.filePath("none") + ": No such file or directory"},
        {{"8080", shortToken},
         "--http-token-file " + shortToken + ": the token must be one line of at least 16 "
         "visible characters without spaces (e.g. openssl rand -hex 32)"},
        {{"8080", spaced},
         "--http-token-file " + spaced + ": the token must be one line of at least 16 "
         "visible characters without spaces (e.g. openssl rand -hex 32)"},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(refusal(arguments[0], arguments.value(1)), expected) << arguments.join(' ').toStdString();
    }
    EXPECT_EQ(refusal("8080", {}, {"https://erp.plant.lan", "http://10.0.0.5:8080"}), "accepted");
    // A token file others can read is taken, with a warning said at start.
    for (const bool shared : {false, true}) {
        QFile(token).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    (shared ? QFileDevice::ReadOther : QFileDevice::Permissions()));
        const auto parsed = parseHttpSettings("0.0.0.0:8080", token, {}, {}, false);
        EXPECT_EQ(std::get<HttpSettings>(parsed).tokenFileWarning,
                  shared ? "warning: --http-token-file " + token +
                               " can be read or changed by others than its owner (chmod 600 " +
                               token + ")"
                         : QString());
    }
    for (const char* count : {"0", "4097", "+5", "many"}) {
        const auto parsed = parseHttpSettings("8080", {}, {}, count, false);
        EXPECT_EQ(std::get<QString>(parsed),
                  QStringLiteral("--http-max-clients wants a whole number from 1 to 4096, not '%1'")
                      .arg(count));
    }
    for (const char* origin : {"erp.plant.lan", "https://erp.plant.lan/", "ftp://erp", "*"}) {
        EXPECT_EQ(refusal("8080", {}, {origin}),
                  QStringLiteral("--http-origin '%1' is not scheme://host[:port] such as "
                                 "https://erp.plant.lan")
                      .arg(origin));
    }
}

TEST(HttpSettings, TheServiceOptionsGoWithHttpAndReading) {
    const auto refused = [](const QStringList& arguments) {
        const auto parsed = parseReaderOptions(arguments);
        const auto* error = std::get_if<UsageError>(&parsed);
        return error ? error->message : QStringLiteral("accepted");
    };
    EXPECT_EQ(refused({"--port", "Com1", "--allow-commands"}),
              "--allow-commands is for --mqtt, --http, --modbus or --serve");
    EXPECT_EQ(refused({"--port", "Com1", "--http-origin", "https://a.lan"}),
              "--http-origin is for --http");
    EXPECT_EQ(refused({"--input", "a.rec", "--http", "8080"}),
              "--http serves what is read from ports; not with --input or --detect");
    const auto parsed = parseReaderOptions({"--port", "Com1", "--http", "[::1]:8080",
                                            "--http-origin", "https://A.lan", "--http-origin",
                                            "http://b.lan:81", "--allow-commands"});
    const auto& http = std::get<ReaderOptions>(parsed).http;
    ASSERT_TRUE(http);
    EXPECT_EQ(http->address, QHostAddress(QHostAddress::LocalHostIPv6));
    EXPECT_EQ(http->port, 8080);
    EXPECT_EQ(http->origins, QStringList({"https://a.lan", "http://b.lan:81"}));
    EXPECT_TRUE(http->allowCommands);
    EXPECT_EQ(http->maxClients, 64);
}

TEST(HttpAccess, HostOriginAndTokenRules) {
    const QByteArray token = "0123456789abcdef";
    const QStringList origins = {"https://erp.plant.lan"};
    struct Case {
        RequestCredentials request;
        QByteArray token;
        bool needsToken;
        bool queryTokenCounts;
        Access expected;
    };
    const Case cases[] = {
        {{"127.0.0.1:8080", "", "", ""}, "", true, false, Access::Allowed},
        {{"localhost:8080", "http://localhost:8080", "", ""}, "", true, false, Access::Allowed},
        {{"[::1]:8080", "", "", ""}, "", true, false, Access::Allowed},
        {{"127.7.7.7", "", "", ""}, "", true, false, Access::Allowed},
        {{"rebound.example:8080", "http://rebound.example:8080", "", ""}, "", true, false,
         Access::ForeignHost},
        {{"localhost.attacker.example", "", "", ""}, "", false, false, Access::ForeignHost},
        {{"localhost:8080", "https://evil.example", "", ""}, "", true, false, Access::ForeignOrigin},
        {{"localhost:8080", "https://ERP.plant.lan", "", ""}, "", true, false, Access::Allowed},
        {{"scales.lan", "", "Bearer 0123456789abcdef", ""}, token, true, false, Access::Allowed},
        {{"scales.lan", "", "bearer 0123456789abcdef", ""}, token, true, false, Access::Allowed},
        {{"scales.lan", "", "Bearer 0123456789abcdeF", ""}, token, true, false, Access::NoToken},
        {{"scales.lan", "", "Bearer 0123456789abcde", ""}, token, true, false, Access::NoToken},
        {{"scales.lan", "", "Basic 0123456789abcdef", ""}, token, true, false, Access::NoToken},
        {{"scales.lan", "", "", "0123456789abcdef"}, token, true, false, Access::NoToken},
        {{"scales.lan", "", "", "0123456789abcdef"}, token, true, true, Access::Allowed},
        {{"scales.lan", "", "", ""}, token, false, false, Access::Allowed},
        {{"scales.lan", "http://scales.lan", "", ""}, token, false, false, Access::Allowed},
    };
    int row = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(decideAccess(c.request, c.token, origins, c.needsToken, c.queryTokenCounts),
                  c.expected)
            << "row " << row;
        ++row;
    }
}

}  // namespace
}  // namespace scaleread
