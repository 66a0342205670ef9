// Bounds-checked PE reading, over a file's bytes or a mapped module's.
#include "pe_image.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr uint16_t Pe32Plus = 0x20b;
constexpr uint32_t ExecutableSection = 0x20000000;  // IMAGE_SCN_MEM_EXECUTE
constexpr uint32_t HeaderPage = 4096;               // always mapped, and holds the headers
constexpr uint32_t MaxThunks = 65536;               // bounds a table whose terminator is missing

template <class T>
std::optional<T> At(std::span<const uint8_t> bytes, size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

template <class T>
T RvaValue(const PeImage& image, uint32_t rva) {
  return At<T>(BytesAtRva(image, rva, sizeof(T)), 0).value_or(T{});
}

std::span<const uint8_t> Bytes(const PeImage& image) {
  if (image.Mapped != nullptr) return {image.Mapped, image.SizeOfImage};
  return image.File;
}

bool ParseHeaders(std::span<const uint8_t> bytes, PeImage& image) {
  auto nt = At<uint32_t>(bytes, 0x3c);
  if (At<uint16_t>(bytes, 0) != 0x5a4du || !nt || At<uint32_t>(bytes, *nt) != 0x4550u)
    return false;  // MZ, PE
  const size_t header = *nt + 4, optional = header + 20;
  auto sections = At<uint16_t>(bytes, header + 2), optionalSize = At<uint16_t>(bytes, header + 16);
  auto magic = At<uint16_t>(bytes, optional);
  if (!sections || !optionalSize || (magic != 0x10bu && magic != Pe32Plus)) return false;
  const bool wide = *magic == Pe32Plus;
  image.Machine = *At<uint16_t>(bytes, header);
  image.Characteristics = At<uint16_t>(bytes, header + 18).value_or(0);
  image.Magic = *magic;
  image.ImageBase =
      wide ? At<uint64_t>(bytes, optional + 24).value_or(0) : At<uint32_t>(bytes, optional + 28).value_or(0);
  image.SizeOfImage = At<uint32_t>(bytes, optional + 56).value_or(0);
  image.EntryPoint = At<uint32_t>(bytes, optional + 16).value_or(0);
  image.Subsystem = At<uint16_t>(bytes, optional + 68).value_or(0);
  auto version = [&](size_t at) {
    return std::pair{At<uint16_t>(bytes, optional + at).value_or(0), At<uint16_t>(bytes, optional + at + 2).value_or(0)};
  };
  image.OsVersion = version(40);
  image.SubsystemVersion = version(48);
  const size_t table = optional + (wide ? 112 : 96);
  const uint32_t directories = std::min(At<uint32_t>(bytes, table - 4).value_or(0), 16u);
  for (uint32_t i = 0; i < directories; ++i) {
    auto rva = At<uint32_t>(bytes, table + 8 * i), size = At<uint32_t>(bytes, table + 4 + 8 * i);
    if (!rva || !size) return false;
    image.Directories.emplace_back(*rva, *size);
  }
  for (size_t i = 0, at = optional + *optionalSize; i < *sections; ++i, at += 40) {
    auto size = At<uint32_t>(bytes, at + 8), rva = At<uint32_t>(bytes, at + 12);
    auto fileSize = At<uint32_t>(bytes, at + 16), fileOffset = At<uint32_t>(bytes, at + 20);
    auto flags = At<uint32_t>(bytes, at + 36);
    if (!size || !rva || !fileSize || !fileOffset || !flags) return false;
    image.Sections.push_back({*rva, *size, *fileOffset, *fileSize, *flags});
  }
  return true;
}

// A pointer-sized entry of an import table; 0 when it cannot be read.
uint64_t Thunk(const PeImage& image, uint32_t rva) {
  return image.Magic == Pe32Plus ? RvaValue<uint64_t>(image, rva) : RvaValue<uint32_t>(image, rva);
}

uint32_t ExportDirectory(const PeImage& image) {
  return image.Directories.empty() ? 0 : image.Directories[0].first;
}

}  // namespace

bool LoadPeImage(const std::string& path, PeImage& image) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  image = PeImage{};
  image.File.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return ParseHeaders(image.File, image);
}

bool ViewMappedImage(const void* base, PeImage& image) {
  image = PeImage{};
  image.Mapped = static_cast<const uint8_t*>(base);
  image.SizeOfImage = HeaderPage;
  // Parsing replaces the page's size with the image's.
  return ParseHeaders(Bytes(image), image) && image.SizeOfImage >= HeaderPage;
}

std::span<const uint8_t> BytesAtRva(const PeImage& image, uint32_t rva, uint32_t length) {
  if (image.Mapped != nullptr) {
    if (rva >= image.SizeOfImage) return {};
    return Bytes(image).subspan(rva, std::min(length, image.SizeOfImage - rva));
  }
  for (const PeImage::Section& section : image.Sections) {
    if (rva < section.Rva || rva - section.Rva >= std::min(section.Size, section.FileSize)) continue;
    const uint64_t offset = uint64_t{section.FileOffset} + (rva - section.Rva);
    const uint64_t end = std::min<uint64_t>(
        {offset + length, uint64_t{section.FileOffset} + section.FileSize, image.File.size()});
    if (offset >= end) return {};
    return std::span<const uint8_t>(image.File).subspan(offset, end - offset);
  }
  return {};
}

std::optional<std::string> TextAtRva(const PeImage& image, uint32_t rva) {
  std::span<const uint8_t> bytes = BytesAtRva(image, rva, 4096);
  auto end = std::find(bytes.begin(), bytes.end(), 0);
  if (end == bytes.end()) return std::nullopt;
  return std::string(bytes.begin(), end);
}

bool RvaIsExecutable(const PeImage& image, uint32_t rva) {
  return std::any_of(image.Sections.begin(), image.Sections.end(), [rva](const PeImage::Section& s) {
    return (s.Flags & ExecutableSection) != 0 && rva >= s.Rva && rva - s.Rva < s.Size;
  });
}

uint32_t Dword(std::span<const uint8_t> bytes, size_t at) { return At<uint32_t>(bytes, at).value_or(0); }

std::map<std::string, uint32_t> ExportOrdinals(const PeImage& image) {
  std::map<std::string, uint32_t> result;
  const uint32_t dir = ExportDirectory(image);
  if (dir == 0) return result;
  const uint32_t base = RvaValue<uint32_t>(image, dir + 16), names = RvaValue<uint32_t>(image, dir + 24);
  const uint32_t nameTable = RvaValue<uint32_t>(image, dir + 32),
                 ordinalTable = RvaValue<uint32_t>(image, dir + 36);
  for (uint32_t i = 0; i < names && i < 4096; ++i) {
    auto name = TextAtRva(image, RvaValue<uint32_t>(image, nameTable + 4 * i));
    if (name) result[*name] = base + RvaValue<uint16_t>(image, ordinalTable + 2 * i);
  }
  return result;
}

std::optional<uint32_t> ExportRva(const PeImage& image, const std::string& name) {
  auto ordinals = ExportOrdinals(image);
  auto found = ordinals.find(name);
  if (found == ordinals.end()) return std::nullopt;
  const uint32_t dir = ExportDirectory(image);
  const uint32_t index = found->second - RvaValue<uint32_t>(image, dir + 16);
  return RvaValue<uint32_t>(image, RvaValue<uint32_t>(image, dir + 28) + 4 * index);
}

uint32_t ExportedFunctionCount(const PeImage& image) {
  const uint32_t dir = ExportDirectory(image);
  if (dir == 0) return 0;
  const uint32_t functions = RvaValue<uint32_t>(image, dir + 20), table = RvaValue<uint32_t>(image, dir + 28);
  uint32_t count = 0;
  for (uint32_t i = 0; i < functions && i < 4096; ++i) count += RvaValue<uint32_t>(image, table + 4 * i) != 0;
  return count;
}

std::vector<PeImport> Imports(const PeImage& image) {
  std::vector<PeImport> result;
  if (image.Directories.size() < 2 || image.Directories[1].first == 0) return result;
  const uint32_t thunkSize = image.Magic == Pe32Plus ? 8 : 4;
  const uint64_t byOrdinal = uint64_t{1} << (8 * thunkSize - 1);
  // Import descriptors of 20 bytes, ended by one whose name is 0.
  for (uint32_t at = image.Directories[1].first, count = 0; count < 256; at += 20, ++count) {
    const uint32_t name = RvaValue<uint32_t>(image, at + 12), slots = RvaValue<uint32_t>(image, at + 16);
    if (name == 0) break;
    const std::string dll = TextAtRva(image, name).value_or("?");
    // Without a name table a file keeps the names in the slots, which the loader overwrites.
    uint32_t names = RvaValue<uint32_t>(image, at);
    if (names == 0 && image.Mapped == nullptr) names = slots;
    for (uint32_t t = 0; t < MaxThunks && Thunk(image, slots + t * thunkSize) != 0; ++t) {
      const uint64_t entry = names != 0 ? Thunk(image, names + t * thunkSize) : 0;
      if (names != 0 && entry == 0) break;
      PeImport slot{dll, "", slots + t * thunkSize, names != 0 && (entry & byOrdinal) != 0};
      // The name follows a two-byte hint.
      if (names != 0 && !slot.ByOrdinal)
        slot.Function = TextAtRva(image, static_cast<uint32_t>(entry) + 2).value_or("");
      result.push_back(slot);
    }
  }
  return result;
}

std::set<std::string> ImportedDlls(const PeImage& image) {
  std::set<std::string> result;
  for (PeImport import : Imports(image)) {
    std::transform(import.Dll.begin(), import.Dll.end(), import.Dll.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    result.insert(import.Dll);
  }
  return result;
}

std::span<const uint8_t> Resource(const PeImage& image, uint32_t type, uint32_t id) {
  if (image.Directories.size() < 3 || image.Directories[2].first == 0) return {};
  const uint32_t root = image.Directories[2].first;
  // One level of the resource tree: the entry with this id, or the first one (id 0: any).
  auto entry = [&](uint32_t dir, uint32_t wanted) -> std::optional<uint32_t> {
    const uint32_t count = RvaValue<uint16_t>(image, dir + 12) + RvaValue<uint16_t>(image, dir + 14);
    for (uint32_t i = 0; i < count && i < 1024; ++i) {
      const uint32_t name = RvaValue<uint32_t>(image, dir + 16 + 8 * i);
      if (wanted == 0 || name == wanted) return RvaValue<uint32_t>(image, dir + 20 + 8 * i);
    }
    return std::nullopt;
  };
  auto types = entry(root, type);
  if (!types || !(*types & 0x80000000u)) return {};
  auto ids = entry(root + (*types & 0x7fffffffu), id);
  if (!ids || !(*ids & 0x80000000u)) return {};
  auto language = entry(root + (*ids & 0x7fffffffu), 0);
  if (!language || (*language & 0x80000000u)) return {};
  const uint32_t data = root + *language;
  return BytesAtRva(image, RvaValue<uint32_t>(image, data), RvaValue<uint32_t>(image, data + 4));
}

std::optional<std::string> VersionString(std::span<const uint8_t> info, const std::string& key) {
  // The key in UTF-16 with its terminator, then padding to 4 bytes, then the UTF-16 value.
  std::vector<uint8_t> pattern;
  for (char c : key) pattern.insert(pattern.end(), {static_cast<uint8_t>(c), 0});
  pattern.insert(pattern.end(), {0, 0});
  auto found = std::search(info.begin(), info.end(), pattern.begin(), pattern.end());
  if (found == info.end()) return std::nullopt;
  size_t at = ((found - info.begin()) + pattern.size() + 3) & ~size_t{3};
  std::string value;
  for (auto unit = At<uint16_t>(info, at); unit && *unit != 0; unit = At<uint16_t>(info, at += 2))
    value.push_back(*unit < 0x80 ? static_cast<char>(*unit) : '?');
  return value;
}
