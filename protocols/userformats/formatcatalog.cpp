#include "protocols/userformats/formatcatalog.h"

#include "protocols/stream/formattable.h"

namespace scale {

std::optional<std::string> FormatCatalog::addFile(std::string_view text,
                                                  std::string_view fileName) {
    auto read = readUserFormats(text, fileName);
    if (auto* error = std::get_if<std::string>(&read)) {
        return *error;
    }
    auto& formats = std::get<UserFormats>(read);
    for (const auto& format : formats) {
        if (find(format->name) != nullptr) {
            return std::string(fileName) + " line " + std::to_string(format->fileLine) +
                   ": format '" + format->name + "' is already described in another file";
        }
    }
    for (auto& format : formats) {
        m_user.push_back(std::move(format));
    }
    return std::nullopt;
}

const FormatDescription* FormatCatalog::find(std::string_view name) const {
    if (const FormatDescription* builtin = builtinFormat(name)) {
        return builtin;
    }
    const UserFormat* user = userFormat(name);
    return user != nullptr ? &user->description : nullptr;
}

const UserFormat* FormatCatalog::userFormat(std::string_view name) const {
    for (const auto& format : m_user) {
        if (format->name == name) {
            return format.get();
        }
    }
    return nullptr;
}

std::vector<const FormatDescription*> FormatCatalog::formats() const {
    std::vector<const FormatDescription*> all;
    for (const FormatDescription& format : builtinFormats()) {
        all.push_back(&format);
    }
    for (const auto& format : m_user) {
        all.push_back(&format->description);
    }
    return all;
}

}  // namespace scale
