// pe_resource: a host tool of the static checks that writes one resource of a
// PE file (a DLL or a program, 32-bit or 64-bit) to standard output, byte for
// byte: the data of the first language of resource TYPE, ID, as
// FindResource would find it.
//   pe_resource FILE TYPE ID     (TYPE and ID are numbers: 24 1 is RT_MANIFEST #1)
// Exits 1 when FILE has no such resource, 2 on wrong usage or a file that is
// not a PE file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

class PeFile {
 public:
  explicit PeFile(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {
    const std::uint32_t pe = U32(0x3c);
    if (U32(pe) != 0x00004550) throw std::runtime_error("no PE signature");
    const std::uint32_t coff = pe + 4;
    const std::uint32_t optional = coff + 20;
    const bool pe32plus = U16(optional) == 0x20b;
    const std::uint32_t directories = optional + (pe32plus ? 112 : 96);
    const std::uint32_t directoryCount = U32(optional + (pe32plus ? 108 : 92));
    sections_ = optional + U16(coff + 16);
    sectionCount_ = U16(coff + 2);
    constexpr std::uint32_t kResourceDirectory = 2;
    if (directoryCount > kResourceDirectory) {
      resourceRva_ = U32(directories + kResourceDirectory * 8);
    }
  }

  // The resource's bytes, or nothing when the file has none such.
  std::optional<std::string> Resource(std::uint32_t type, std::uint32_t id) const {
    if (resourceRva_ == 0) return std::nullopt;
    const std::uint32_t root = Offset(resourceRva_);
    const auto typeEntry = Entry(root, type);
    if (!typeEntry || !(*typeEntry & 0x80000000u)) return std::nullopt;
    const auto idEntry = Entry(root + (*typeEntry & 0x7fffffffu), id);
    if (!idEntry || !(*idEntry & 0x80000000u)) return std::nullopt;
    const auto language = Entry(root + (*idEntry & 0x7fffffffu), std::nullopt);
    if (!language || (*language & 0x80000000u)) return std::nullopt;
    const std::uint32_t data = root + *language;
    const std::uint32_t at = Offset(U32(data)), size = U32(data + 4);
    if (at + static_cast<std::uint64_t>(size) > bytes_.size())
      throw std::runtime_error("truncated");
    return std::string(bytes_.begin() + at, bytes_.begin() + at + size);
  }

 private:
  std::uint32_t U16(std::uint32_t at) const {
    if (at + 2ull > bytes_.size()) throw std::runtime_error("truncated");
    return bytes_[at] | bytes_[at + 1] << 8;
  }
  std::uint32_t U32(std::uint32_t at) const { return U16(at) | U16(at + 2) << 16; }

  // The file offset of a relative virtual address, through the section table.
  std::uint32_t Offset(std::uint32_t rva) const {
    for (std::uint32_t i = 0; i < sectionCount_; ++i) {
      const std::uint32_t section = sections_ + i * 40;
      const std::uint32_t start = U32(section + 12);
      const std::uint32_t size = std::max(U32(section + 8), U32(section + 16));
      if (rva >= start && rva - start < size) return U32(section + 20) + (rva - start);
    }
    throw std::runtime_error("an address outside every section");
  }

  // The entry of a resource directory with this numeric ID (the first entry
  // for none): a subdirectory's offset with the high bit set, or a data entry's.
  std::optional<std::uint32_t> Entry(std::uint32_t directory,
                                     std::optional<std::uint32_t> id) const {
    const std::uint32_t named = U16(directory + 12), numbered = U16(directory + 14);
    for (std::uint32_t i = 0; i < named + numbered; ++i) {
      const std::uint32_t entry = directory + 16 + i * 8;
      if (!id || (i >= named && U32(entry) == *id)) return U32(entry + 4);
    }
    return std::nullopt;
  }

  std::vector<unsigned char> bytes_;
  std::uint32_t sections_ = 0, sectionCount_ = 0, resourceRva_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: pe_resource FILE TYPE ID\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "pe_resource: cannot read " << argv[1] << "\n";
    return 2;
  }
  try {
    const PeFile file(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
    const auto resource = file.Resource(static_cast<std::uint32_t>(std::stoul(argv[2])),
                                        static_cast<std::uint32_t>(std::stoul(argv[3])));
    if (!resource) return 1;
    std::fwrite(resource->data(), 1, resource->size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 2;
  } catch (const std::exception& e) {
    std::cerr << "pe_resource: " << argv[1] << ": " << e.what() << "\n";
    return 2;
  }
}
