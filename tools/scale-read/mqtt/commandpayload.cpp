#include "tools/scale-read/mqtt/commandpayload.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <string>

namespace scaleread {
namespace {

// A JSON value on its own, compact: QJsonDocument writes only arrays and objects.
std::string jsonText(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2).toStdString();
}

constexpr std::string_view kExpected =
    "expected zero, tare, clear-tare or {\"command\":\"zero\",\"id\":…}";

bool isShortId(const QJsonValue& id) {
    if (id.isUndefined() || id.isDouble()) {
        return true;
    }
    if (!id.isString()) {
        return false;
    }
    const QString text = id.toString();
    return !text.isEmpty() && static_cast<std::size_t>(text.size()) <= kCommandIdLimit &&
           std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

}  // namespace

std::variant<CommandPayload, PayloadProblem> readCommandPayload(std::string_view payload) {
    if (payload.size() > kCommandPayloadLimit) {
        return PayloadProblem{{}, {},
                              "the message is over " + std::to_string(kCommandPayloadLimit) +
                                  " bytes",
                              CommandResult::Refused};
    }
    const QByteArray bytes =
        QByteArray(payload.data(), static_cast<qsizetype>(payload.size())).trimmed();
    if (!bytes.startsWith('{')) {
        if (const auto kind = commandKindNamed(bytes.toStdString())) {
            return CommandPayload{*kind, {}};
        }
        // Named back as it came, cut short: a result says which message it answers.
        return PayloadProblem{jsonText(QString::fromUtf8(bytes.left(64))), {},
                              std::string(kExpected)};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (!document.isObject()) {
        return PayloadProblem{{}, {},
                              error.error == QJsonParseError::NoError
                                  ? std::string("not a JSON object")
                                  : "not JSON (at character " + std::to_string(error.offset) + ")"};
    }
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    if (!isShortId(id)) {
        return PayloadProblem{{}, {},
                              "the id is a number or up to " + std::to_string(kCommandIdLimit) +
                                  " printable ASCII characters",
                              CommandResult::Refused};
    }
    const std::string idJson = id.isUndefined() ? std::string() : jsonText(id);
    const QJsonValue command = object.value(QStringLiteral("command"));
    if (command.isString()) {
        if (const auto kind = commandKindNamed(command.toString().toStdString())) {
            return CommandPayload{*kind, idJson};
        }
    }
    return PayloadProblem{command.isUndefined() ? std::string() : jsonText(command), idJson,
                          std::string(kExpected)};
}

}  // namespace scaleread
