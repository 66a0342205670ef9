// A bounds-checked reader of PE images, portable (no <windows.h>): a file read from disk, as the
// native check of the shipped 32-bit files reads it, or a module the loader has mapped, as the
// stand-in host reads the plug-in to rewrite its imports. 32- and 64-bit images alike.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct PeImage {
  std::vector<uint8_t> File;        // the file's bytes, when read from a file
  const uint8_t* Mapped = nullptr;  // else the base of a mapped module, where an rva is an offset
  uint16_t Machine = 0, Characteristics = 0, Subsystem = 0;
  uint16_t Magic = 0;  // 0x10b: 32-bit, 0x20b: 64-bit
  // The oldest Windows the image asks for, as major and minor version (5.1: XP).
  std::pair<uint16_t, uint16_t> OsVersion, SubsystemVersion;
  uint64_t ImageBase = 0;
  uint32_t SizeOfImage = 0, EntryPoint = 0;  // EntryPoint: the rva the loader calls first
  struct Section {
    uint32_t Rva, Size, FileOffset, FileSize, Flags;
  };
  std::vector<Section> Sections;
  std::vector<std::pair<uint32_t, uint32_t>> Directories;  // rva, size
};

// False when the file cannot be read or is not a well-formed PE file.
bool LoadPeImage(const std::string& path, PeImage& image);
// A module mapped at `base`; its first page holds the headers. False when they are not valid.
bool ViewMappedImage(const void* base, PeImage& image);

// The bytes at `rva` (at most `length`, fewer at the end of the section's file data).
std::span<const uint8_t> BytesAtRva(const PeImage& image, uint32_t rva, uint32_t length);
// The NUL-terminated text at `rva`, or nothing when it runs off its section.
std::optional<std::string> TextAtRva(const PeImage& image, uint32_t rva);
bool RvaIsExecutable(const PeImage& image, uint32_t rva);
// A little-endian value at `at` of `bytes`, 0 when it does not fit.
uint32_t Dword(std::span<const uint8_t> bytes, size_t at);

// Exported name -> ordinal, and the export's code address (rva) by name.
std::map<std::string, uint32_t> ExportOrdinals(const PeImage& image);
std::optional<uint32_t> ExportRva(const PeImage& image, const std::string& name);
uint32_t ExportedFunctionCount(const PeImage& image);

// One slot of the import address table: the DLL as the image names it, the function's name
// (empty when imported by ordinal, or when a mapped image keeps no name table), the slot's rva.
struct PeImport {
  std::string Dll, Function;
  uint32_t SlotRva;
  bool ByOrdinal;
};
std::vector<PeImport> Imports(const PeImage& image);
// Imported DLL names, upper-cased.
std::set<std::string> ImportedDlls(const PeImage& image);
// The data of the first language of resource type/id.
std::span<const uint8_t> Resource(const PeImage& image, uint32_t type, uint32_t id);
// A string value of a version resource (e.g. "FileVersion"), read as ASCII.
std::optional<std::string> VersionString(std::span<const uint8_t> versionInfo, const std::string& key);
