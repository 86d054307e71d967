#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocols/stream/formatdescription.h"
#include "protocols/userformats/userformat.h"

namespace scale {

// The built-in formats and those users described, found by name.
class FormatCatalog {
public:
    // Adds the formats of one formats file. On failure, one line naming the file, the line and
    // what is wrong, and nothing of that file is added.
    std::optional<std::string> addFile(std::string_view text, std::string_view fileName);

    const FormatDescription* find(std::string_view name) const;
    const UserFormat* userFormat(std::string_view name) const;
    // Built-in formats first, in the table's order, then the users' in the order read.
    std::vector<const FormatDescription*> formats() const;
    const UserFormats& userFormats() const { return m_user; }

private:
    UserFormats m_user;
};

}  // namespace scale
