#include "platform/version_info.h"

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/utf16_linux.h"

namespace {

constexpr char kSectionName[] = ".quillet_version";
// L"VS_VERSION_INFO" as the block keeps it: 16-bit units.
constexpr char16_t kBlockKey[] = u"VS_VERSION_INFO";
constexpr std::size_t kHeaderBytes = 6;

// Where a section lies in the file.
struct Span {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

template <typename Header, typename Section>
bool findSection(std::ifstream& file, Span* found) {
  Header header{};
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(&header), sizeof(header)) ||
      header.e_shentsize != sizeof(Section) || header.e_shstrndx >= header.e_shnum) {
    return false;
  }
  std::vector<Section> sections(header.e_shnum);
  file.seekg(static_cast<std::streamoff>(header.e_shoff));
  if (!file.read(reinterpret_cast<char*>(sections.data()),
                 static_cast<std::streamsize>(sections.size() * sizeof(Section)))) {
    return false;
  }
  const Section& names = sections[header.e_shstrndx];
  std::string table(names.sh_size, '\0');
  file.seekg(static_cast<std::streamoff>(names.sh_offset));
  if (!file.read(table.data(), static_cast<std::streamsize>(table.size()))) return false;
  for (const Section& section : sections) {
    if (section.sh_name < table.size() && section.sh_type == SHT_PROGBITS &&
        std::strcmp(table.c_str() + section.sh_name, kSectionName) == 0) {
      *found = Span{section.sh_offset, section.sh_size};
      return true;
    }
  }
  return false;
}

// Reads the version block of a file. Returns 0 or the Windows error.
DWORD readBlock(LPCWSTR name, std::vector<char>* block) {
  std::string path;
  if (name == nullptr || !quillet::platform::utf8FromWide(name, &path) || path.empty()) {
    return ERROR_INVALID_PARAMETER;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return ERROR_FILE_NOT_FOUND;
  std::ifstream file(path, std::ios::binary);
  if (!file) return ERROR_ACCESS_DENIED;
  unsigned char ident[EI_NIDENT] = {};
  if (!file.read(reinterpret_cast<char*>(ident), sizeof(ident)) ||
      std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  Span span;
  const bool found = ident[EI_CLASS] == ELFCLASS64
                         ? findSection<Elf64_Ehdr, Elf64_Shdr>(file, &span)
                         : findSection<Elf32_Ehdr, Elf32_Shdr>(file, &span);
  if (!found || span.size < kHeaderBytes || span.size > 0x10000)
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  block->resize(span.size);
  file.seekg(static_cast<std::streamoff>(span.offset));
  if (!file.read(block->data(), static_cast<std::streamsize>(block->size()))) {
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
  }
  WORD length = 0;
  std::memcpy(&length, block->data(), sizeof(length));
  if (length < kHeaderBytes || length > block->size()) return ERROR_RESOURCE_DATA_NOT_FOUND;
  block->resize(length);  // the section may be padded
  return 0;
}

WORD wordAt(const BYTE* block, std::size_t offset) {
  WORD value = 0;
  std::memcpy(&value, block + offset, sizeof(value));
  return value;
}

// Returns the offset of the block's value, or 0 when the block is not VS_VERSION_INFO.
std::size_t valueOffset(const BYTE* block) {
  const WORD length = wordAt(block, 0);
  const std::size_t keyUnits = sizeof(kBlockKey) / sizeof(kBlockKey[0]);  // NUL included
  const std::size_t keyEnd = kHeaderBytes + keyUnits * 2;
  if (length < keyEnd) return 0;
  for (std::size_t i = 0; i < keyUnits; ++i) {
    if (wordAt(block, kHeaderBytes + i * 2) != kBlockKey[i]) return 0;
  }
  return (keyEnd + 3) & ~static_cast<std::size_t>(3);
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
  if (lpdwHandle != nullptr) *lpdwHandle = 0;
  std::vector<char> block;
  const DWORD error = readBlock(lptstrFilename, &block);
  if (error != 0) {
    SetLastError(error);
    return 0;
  }
  return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD /*dwHandle*/, DWORD dwLen, LPVOID lpData) {
  if (lpData == nullptr || dwLen == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<char> block;
  const DWORD error = readBlock(lptstrFilename, &block);
  if (error != 0) {
    SetLastError(error);
    return FALSE;
  }
  std::memcpy(lpData, block.data(), block.size() < dwLen ? block.size() : dwLen);
  return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
  if (pBlock == nullptr || lpSubBlock == nullptr || lplpBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* block = static_cast<const BYTE*>(pBlock);
  const std::size_t offset = valueOffset(block);
  if (std::wcscmp(lpSubBlock, L"\\") != 0 || offset == 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  const WORD valueLength = wordAt(block, 2);
  const bool fits = offset + valueLength <= wordAt(block, 0);
  *lplpBuffer = const_cast<BYTE*>(block + offset);
  if (puLen != nullptr) *puLen = fits ? valueLength : 0;
  return TRUE;
}
