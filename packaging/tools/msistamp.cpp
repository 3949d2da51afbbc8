// msistamp: a build-time host tool that makes an installer's summary
// information repeatable. wixl stamps the creation and last-saved times with
// the clock and the revision number (the package code) with a random GUID;
// this tool overwrites both in place, so two builds of the same files give
// the same bytes.
//
//   msistamp PACKAGE.msi SECONDS [PACKAGE-CODE]
//
// SECONDS (since 1970, UTC) becomes both times; PACKAGE-CODE ("{...}", 38
// characters) becomes the revision number, and without it the all-zero GUID
// does, which lets the caller hash the package before choosing its code.
//
// The package is a compound file: a 512-byte header, sectors chained through
// the allocation table (FAT), a directory of 128-byte entries, and a mini
// stream (in 64-byte mini sectors, chained through the mini FAT) for streams
// shorter than the cut-off. "\005SummaryInformation" is a property set: a
// 28-byte header, one format identifier with the offset of the set, then the
// set's size, property count and (identifier, offset) pairs; each value
// starts with its 32-bit type. Only values of the same size are written, so
// no sector moves.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::size_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kPidRevision = 9;
constexpr std::uint32_t kPidCreated = 12;
constexpr std::uint32_t kPidSaved = 13;
constexpr std::uint32_t kVtLpstr = 0x1E;
constexpr std::uint32_t kVtFiletime = 0x40;
constexpr std::uint64_t kFiletimeAt1970 = 116444736000000000ull;  // 100 ns since 1601
constexpr std::string_view kZeroGuid = "{00000000-0000-0000-0000-000000000000}";
constexpr std::u16string_view kSummaryName = u"\005SummaryInformation";

std::uint64_t Read(const std::vector<unsigned char>& bytes, std::size_t at, int size) {
  if (at > bytes.size() || bytes.size() - at < static_cast<std::size_t>(size)) {
    throw std::runtime_error("truncated");
  }
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

// The file offset of every byte of one stream, in order.
class CompoundFile {
 public:
  explicit CompoundFile(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {
    if (Read(bytes_, 0, 8) != 0xE11AB1A1E011CFD0ull)
      throw std::runtime_error("not a compound file");
    sectorSize_ = std::size_t{1} << Read(bytes_, 0x1E, 2);
    miniSize_ = std::size_t{1} << Read(bytes_, 0x20, 2);
    miniCutoff_ = Read(bytes_, 0x38, 4);
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < kHeaderDifatEntries; ++i) {
      fatSectors.push_back(static_cast<std::uint32_t>(Read(bytes_, 0x4C + 4 * i, 4)));
    }
    for (auto difat = static_cast<std::uint32_t>(Read(bytes_, 0x44, 4)); difat < kEndOfChain;) {
      const std::size_t at = SectorOffset(difat), per = sectorSize_ / 4 - 1;
      for (std::size_t i = 0; i < per; ++i) {
        fatSectors.push_back(static_cast<std::uint32_t>(Read(bytes_, at + 4 * i, 4)));
      }
      difat = static_cast<std::uint32_t>(Read(bytes_, at + 4 * per, 4));
    }
    fatSectors.resize(Read(bytes_, 0x2C, 4));
    fat_ = Table(fatSectors);
    miniFat_ = Table(Chain(fat_, static_cast<std::uint32_t>(Read(bytes_, 0x3C, 4))));
    directory_ =
        Offsets(fat_, sectorSize_, static_cast<std::uint32_t>(Read(bytes_, 0x30, 4)), nullptr);
    const std::size_t root = directory_.at(0);
    miniStream_ = Offsets(fat_, sectorSize_,
                          static_cast<std::uint32_t>(Read(bytes_, root + 0x74, 4)), nullptr);
  }

  std::vector<std::size_t> Stream(std::u16string_view name) const {
    for (std::size_t entry = 0; entry + kDirEntrySize <= directory_.size();
         entry += kDirEntrySize) {
      const std::size_t at = directory_[entry];
      const std::size_t nameBytes = Read(bytes_, at + 0x40, 2);
      if (Read(bytes_, at + 0x42, 1) != 2 || nameBytes != 2 * (name.size() + 1)) continue;
      bool same = true;
      for (std::size_t i = 0; i < name.size(); ++i) same &= Read(bytes_, at + 2 * i, 2) == name[i];
      if (!same) continue;
      const auto start = static_cast<std::uint32_t>(Read(bytes_, at + 0x74, 4));
      const std::size_t size = Read(bytes_, at + 0x78, 4);
      std::vector<std::size_t> offsets = size < miniCutoff_
                                             ? Offsets(miniFat_, miniSize_, start, &miniStream_)
                                             : Offsets(fat_, sectorSize_, start, nullptr);
      if (offsets.size() < size) throw std::runtime_error("stream shorter than its entry");
      offsets.resize(size);
      return offsets;
    }
    throw std::runtime_error("no summary information stream");
  }

  std::vector<unsigned char>& bytes() { return bytes_; }

 private:
  std::size_t SectorOffset(std::uint32_t sector) const {
    return (sector + std::size_t{1}) * sectorSize_;
  }

  std::vector<std::uint32_t> Table(const std::vector<std::uint32_t>& sectors) const {
    std::vector<std::uint32_t> table;
    for (std::uint32_t sector : sectors) {
      for (std::size_t i = 0; i < sectorSize_ / 4; ++i) {
        table.push_back(static_cast<std::uint32_t>(Read(bytes_, SectorOffset(sector) + 4 * i, 4)));
      }
    }
    return table;
  }

  static std::vector<std::uint32_t> Chain(const std::vector<std::uint32_t>& table,
                                          std::uint32_t start) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = start; at < kEndOfChain; at = table.at(at)) {
      if (chain.size() > table.size()) throw std::runtime_error("looping chain");
      chain.push_back(at);
    }
    return chain;
  }

  // Units of `unitSize` along a chain, inside the file or, with `container`,
  // inside the mini stream.
  std::vector<std::size_t> Offsets(const std::vector<std::uint32_t>& table, std::size_t unitSize,
                                   std::uint32_t start,
                                   const std::vector<std::size_t>* container) const {
    std::vector<std::size_t> offsets;
    for (std::uint32_t unit : Chain(table, start)) {
      for (std::size_t i = 0; i < unitSize; ++i) {
        offsets.push_back(container ? container->at(unit * unitSize + i) : SectorOffset(unit) + i);
      }
    }
    return offsets;
  }

  std::vector<unsigned char> bytes_;
  std::size_t sectorSize_ = 512, miniSize_ = 64, miniCutoff_ = 4096;
  std::vector<std::uint32_t> fat_, miniFat_;
  std::vector<std::size_t> directory_, miniStream_;
};

// Writes `value` over the property `id` of the summary stream, which must hold
// a value of that type and size already.
void Overwrite(std::vector<unsigned char>& stream, std::uint32_t id, std::uint32_t type,
               const std::vector<unsigned char>& value) {
  const std::size_t set = Read(stream, 0x2C, 4);
  const std::size_t count = Read(stream, set + 4, 4);
  for (std::size_t i = 0; i < count; ++i) {
    if (Read(stream, set + 8 + 8 * i, 4) != id) continue;
    std::size_t at = set + Read(stream, set + 12 + 8 * i, 4);
    if (Read(stream, at, 4) != type) throw std::runtime_error("unexpected property type");
    at += 4;
    if (type == kVtLpstr) {
      if (Read(stream, at, 4) != value.size())
        throw std::runtime_error("revision of another length");
      at += 4;
    }
    if (stream.size() - at < value.size()) throw std::runtime_error("truncated property");
    std::copy(value.begin(), value.end(), stream.begin() + static_cast<std::ptrdiff_t>(at));
    return;
  }
  throw std::runtime_error("summary property " + std::to_string(id) + " is missing");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc != 3 && argc != 4) {
      std::fputs("usage: msistamp PACKAGE.msi SECONDS [PACKAGE-CODE]\n", stderr);
      return 2;
    }
    std::uint64_t seconds = 0;
    const std::string_view text = argv[2];
    if (std::from_chars(text.data(), text.data() + text.size(), seconds).ptr !=
        text.data() + text.size()) {
      throw std::runtime_error("SECONDS is not a number");
    }
    const std::string_view code = argc == 4 ? std::string_view(argv[3]) : kZeroGuid;
    if (code.size() != kZeroGuid.size() || code.front() != '{' || code.back() != '}') {
      throw std::runtime_error("PACKAGE-CODE is not a braced GUID");
    }

    std::ifstream in(argv[1], std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the package");
    CompoundFile file(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
    in.close();

    const std::vector<std::size_t> offsets = file.Stream(kSummaryName);
    std::vector<unsigned char> stream;
    for (std::size_t at : offsets) stream.push_back(file.bytes().at(at));

    std::vector<unsigned char> filetime;
    for (std::uint64_t ticks = kFiletimeAt1970 + seconds * 10000000ull; filetime.size() < 8;
         ticks >>= 8) {
      filetime.push_back(static_cast<unsigned char>(ticks));
    }
    Overwrite(stream, kPidCreated, kVtFiletime, filetime);
    Overwrite(stream, kPidSaved, kVtFiletime, filetime);
    std::vector<unsigned char> revision(code.begin(), code.end());
    revision.push_back(0);
    Overwrite(stream, kPidRevision, kVtLpstr, revision);

    for (std::size_t i = 0; i < offsets.size(); ++i) file.bytes()[offsets[i]] = stream[i];
    std::ofstream out(argv[1], std::ios::binary | std::ios::in);
    out.write(reinterpret_cast<const char*>(file.bytes().data()),
              static_cast<std::streamsize>(file.bytes().size()));
    if (!out.flush()) throw std::runtime_error("cannot write the package");
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "msistamp: %s: %s\n", argc > 1 ? argv[1] : "", error.what());
    return 1;
  }
}
