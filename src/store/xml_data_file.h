// One XML data file of the program directory: where it lives, how it is read, and how it is
// replaced without ever leaving half a file or losing a file that could not be read.
#pragma once

#include <filesystem>
#include <functional>
#include <pugixml.hpp>
#include <string>

namespace keyrig {

class XmlDataFile final {
  public:
    enum class ReadStatus {
        Parsed,   // the document holds the file
        Empty,    // well formed but without any element: only the declaration line, or nothing
        Missing,  // there is no file at the path
        Damaged,  // the file exists but cannot be read or parsed; it is kept before any write
    };

    // Remembers `path` and reads it into `document` with the default parse options. A damaged
    // file is moved aside before the first Write() over it.
    ReadStatus Read(const std::filesystem::path& path, pugi::xml_document& document,
                    pugi::xml_encoding encoding);

    // Writes `document` over the file: indented with one tab, UTF-8 without byte order mark,
    // the declaration line first. A damaged file at the path is first renamed to the first free
    // name of "NAME.bad", "NAME.bad.2", ...; if that fails nothing is written.
    bool Write(const pugi::xml_document& document);

    const std::filesystem::path& path() const { return path_; }
    const pugi::xml_parse_result& parseResult() const { return parseResult_; }

  private:
    std::filesystem::path path_;
    pugi::xml_parse_result parseResult_;
    bool keepBeforeWriting_ = false;
};

// Called on the writing thread after each data file a Write() replaced, for tools that trace
// what the program writes. Nothing by default; set before any store writes.
void SetDataFileWriteObserver(std::function<void(const std::filesystem::path&)> observer);

// The bytes Write() puts into a file, for callers that compare or print them.
std::string FormatXmlDocument(const pugi::xml_document& document);

// Moves a damaged file to the first free name of "NAME.bad", "NAME.bad.2", ... and returns that
// name, or an empty path when the file could not be moved.
std::filesystem::path KeepDamagedFile(const std::filesystem::path& path);

}  // namespace keyrig
