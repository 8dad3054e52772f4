#include "store/xml_data_file.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace keyrig {

namespace {

// True for what an empty store writes: nothing but white space and the declaration line.
bool HoldsNothing(std::string_view text) {
    const auto skipSpace = [&text] {
        const size_t first = text.find_first_not_of(" \t\r\n");
        text.remove_prefix(first == std::string_view::npos ? text.size() : first);
    };
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    skipSpace();
    if (text.starts_with("<?xml")) {
        const size_t end = text.find("?>");
        if (end == std::string_view::npos) {
            return false;
        }
        text.remove_prefix(end + 2);
        skipSpace();
    }
    return text.empty();
}

}  // namespace

XmlDataFile::ReadStatus XmlDataFile::Read(const std::filesystem::path& path,
                                          pugi::xml_document& document,
                                          pugi::xml_encoding encoding) {
    path_ = path;
    keepBeforeWriting_ = false;
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::not_found) {
        parseResult_ = {};
        parseResult_.status = pugi::status_file_not_found;
        return ReadStatus::Missing;
    }
    std::string bytes;
    std::ifstream stream(path, std::ios::binary);
    if (stream && type == std::filesystem::file_type::regular) {
        bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    if (!stream || type != std::filesystem::file_type::regular) {
        parseResult_ = {};
        parseResult_.status = pugi::status_io_error;
    } else {
        parseResult_ =
            document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, encoding);
        if (parseResult_) {
            return ReadStatus::Parsed;
        }
        if (parseResult_.status == pugi::status_no_document_element && HoldsNothing(bytes)) {
            return ReadStatus::Empty;
        }
    }
    // An unreadable or malformed file may still hold what the user made; never write over it
    // without keeping it.
    document.reset();
    keepBeforeWriting_ = true;
    return ReadStatus::Damaged;
}

namespace {
std::function<void(const std::filesystem::path&)> writeObserver;
}  // namespace

bool XmlDataFile::Write(const pugi::xml_document& document) {
    if (keepBeforeWriting_) {
        std::error_code error;
        if (std::filesystem::exists(path_, error) && KeepDamagedFile(path_).empty()) {
            return false;
        }
        keepBeforeWriting_ = false;
    }
    const bool written = platform::ReplaceFileContents(path_, FormatXmlDocument(document));
    if (written && writeObserver) {
        writeObserver(path_);
    }
    return written;
}

void SetDataFileWriteObserver(std::function<void(const std::filesystem::path&)> observer) {
    writeObserver = std::move(observer);
}

std::string FormatXmlDocument(const pugi::xml_document& document) {
    std::ostringstream text;
    document.save(text, "\t", pugi::format_indent, pugi::encoding_utf8);
    return std::move(text).str();
}

std::filesystem::path KeepDamagedFile(const std::filesystem::path& path) {
    for (int number = 1; number < 1000; ++number) {
        auto kept = path;
        kept += number == 1 ? std::string(".bad") : ".bad." + std::to_string(number);
        std::error_code error;
        if (std::filesystem::exists(kept, error) || error) {
            continue;
        }
        std::filesystem::rename(path, kept, error);
        return error ? std::filesystem::path() : kept;
    }
    return {};
}

}  // namespace keyrig
