// The formats-file reader on arbitrary text: it accepts or refuses with one line naming the file,
// and what it accepts reads and renders frames without fault.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/checks/fuzzcheck.h"
#include "protocols/stream/framestream.h"
#include "protocols/userformats/formatcatalog.h"

using namespace scale;
using fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The text up to the first NUL is the file; what follows is a stream to read with it.
    const std::size_t split = text.find('\0');
    FormatCatalog catalog;
    const auto error = catalog.addFile(text.substr(0, split), "f.toml");
    if (error) {
        require(error->starts_with("f.toml line ") && error->find('\n') == std::string::npos,
                "a refusal is one line naming the file and the line");
        return 0;
    }
    const std::string_view bytes =
        split == std::string_view::npos ? std::string_view() : text.substr(split + 1);
    for (const auto& format : catalog.userFormats()) {
        require(catalog.find(format->name) == &format->description, "a format is found by name");
        FrameStream stream(format->description);
        StreamFrame frame;
        for (const char c : bytes) {
            (void)stream.push(static_cast<std::uint8_t>(c), frame);
        }
        (void)renderUserFrame(*format, -12.5, 2, true, true);
        (void)renderUserStatusFrame(*format, false);
        (void)renderUserStatusFrame(*format, true);
    }
    return 0;
}
