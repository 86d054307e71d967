#pragma once

#include <string>

namespace scaleread {

// Whether HOST:PORT completes a TLS handshake, its certificate unchecked: told apart from a
// plain MQTT listener, which hangs up on the greeting. Blocks for up to `timeoutMs` per step.
bool answersTls(const std::string& host, int port, int timeoutMs);

}  // namespace scaleread
