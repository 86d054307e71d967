#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/userformats/userformat.h"
#include "tools/indicator-sim/formats/spokenformat.h"

namespace indicatorsim {

// A format from a formats file, shaped as a row of the format table: its frames come from the
// format's `send` template, and its request and commands are taken as the exact bytes given.
struct SpokenUserFormat {
    scale::UserFormats formats;  // the whole file, which owns the texts below
    const scale::UserFormat* format = nullptr;
    std::vector<RequestWord> requests;
    SpokenFormat row;
};

// The format `name` of the formats file `fileName` whose text is `text`. Throws UsageError with
// the reader's line for a bad file, and names the formats there for a missing one.
std::shared_ptr<const SpokenUserFormat> spokenUserFormat(std::string_view text,
                                                     std::string_view fileName,
                                                     std::string_view name);

}  // namespace indicatorsim
