#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

namespace scaleread {

// The random part of the reader's MQTT client ids, kept per installation so that the broker
// sees the same ids after a restart, while no other client can guess them.
struct ClientKey {
    std::string key;  // 16 lower-case hex digits
    // Why the key could not be kept, so that it holds for this run only; unset when kept.
    std::optional<QString> problem;
};

// The key in FOLDER/mqtt-client-key, made with `random` (16 hex digits) and stored there,
// readable by its owner only, the first time.
ClientKey installationClientKey(const QString& folder, const std::function<std::string()>& random);
// 16 hex digits from the system's source of randomness.
std::string randomClientKey();

}  // namespace scaleread
