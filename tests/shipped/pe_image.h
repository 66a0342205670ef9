// A bounds-checked reader of 32-bit PE files, enough to check the shipped binaries without
// running them: headers, sections, exports, imported DLLs and resources.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

struct PeImage {
  std::vector<uint8_t> Bytes;
  uint16_t Machine = 0;
  uint16_t Characteristics = 0;
  uint16_t Magic = 0;
  uint16_t Subsystem = 0;
  uint32_t ImageBase = 0;
  struct Section {
    uint32_t Rva, Size, FileOffset, FileSize, Flags;
  };
  std::vector<Section> Sections;
  std::vector<std::pair<uint32_t, uint32_t>> Directories;  // rva, size
};

// False when the file cannot be read or is not a well-formed 32-bit PE file.
bool LoadPeImage(const std::string& path, PeImage& image);

// The bytes at `rva` (at most `length`, fewer at the end of the section's file data).
std::span<const uint8_t> BytesAtRva(const PeImage& image, uint32_t rva, uint32_t length);
// The NUL-terminated text at `rva`, or nothing when it runs off its section.
std::optional<std::string> TextAtRva(const PeImage& image, uint32_t rva);
bool RvaIsExecutable(const PeImage& image, uint32_t rva);

// Exported name -> ordinal, and the export's code address (rva) by name.
std::map<std::string, uint32_t> ExportOrdinals(const PeImage& image);
std::optional<uint32_t> ExportRva(const PeImage& image, const std::string& name);
uint32_t ExportedFunctionCount(const PeImage& image);
// Imported DLL names, upper-cased.
std::set<std::string> ImportedDlls(const PeImage& image);
// The data of the first language of resource type/id.
std::span<const uint8_t> Resource(const PeImage& image, uint32_t type, uint32_t id);
// A string value of a version resource (e.g. "FileVersion"), read as ASCII.
std::optional<std::string> VersionString(std::span<const uint8_t> versionInfo, const std::string& key);
