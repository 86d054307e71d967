#pragma once

#include <span>
#include <string>
#include <string_view>

#include "protocols/formats/encoding.h"

namespace scaleread {

// A format a station can be served in: the indicator's side from the table of formats, and the
// few words the table has no row for.
struct ServedFormat {
    std::string_view name;
    const scale::SpokenFormat* speaking;
    // The answer to a weight request while there is no fresh weight (the station is stale, lost
    // or reports an error): never a weight.
    std::string_view noWeight;
    // A request that cancels what the client is waiting for, and its answer; empty where none.
    std::string_view reset;
    std::string_view resetAnswer;
};

std::span<const ServedFormat> servedFormats();
// Null when no format of that name can be served.
const ServedFormat* servedFormatNamed(std::string_view name);
// "sics, sma or 8217", for messages.
std::string servedFormatNames();

}  // namespace scaleread
