// tlbfix: a build-time host tool that finishes a compiled type library.
//
// widl refuses [nonextensible] and [version] on a dispinterface, yet the event
// interface must carry both. This tool sets them in the library's record for
// one named dispinterface: TYPEFLAG_FNONEXTENSIBLE in its type flags and the
// given major.minor version. It also takes the name off every [retval]
// parameter: widl invents one ("a") where the IDL leaves it out, and the
// method table's result parameter is unnamed.
//
//   tlbfix IN.tlb OUT.tlb NAME MAJOR.MINOR
//
// The library is the "MSFT" format that widl writes: a fixed header, one
// offset per type info, a directory of fifteen segments, then the segments.
// The type-info segment holds one 0x64-byte record per type info; a record's
// name is an offset into the name segment, whose entries are three 32-bit
// words (the low byte of the third is the name's length) and the characters.
// A type info's functions lie at its member offset: one word with the size of
// the block, then one record per function, each starting with its own size
// (low 16 bits) and ending with three words per parameter (type, name offset
// or -1, flags); the parameter count is the 16-bit word at 0x14.
//
// widl also records when it ran, in two custom data items of the library:
// a VT_UI4 time under {DE77BA63-517C-11D1-A2DA-0000F8773CE9} and the text
// "Created by WIDL version V at <ctime>". Each build would then give a
// different DLL, so the tool writes one fixed time, the start of 1970, into
// both. The library's custom data list starts at header offset 0x40 in the
// custom-data-GUID segment (entries: GUID offset, data offset, next); a data
// item is a 16-bit type followed by its value (a 32-bit length and the
// characters for a string).
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr std::size_t kHeaderSize = 0x54;
constexpr std::size_t kHelpDllFlag = 0x100;  // header varflags: one extra word follows
constexpr std::size_t kSegmentCount = 15;
constexpr std::size_t kTypeInfoSegment = 0;
constexpr std::size_t kNameSegment = 7;
constexpr std::size_t kTypeInfoSize = 0x64;
constexpr std::size_t kTypeKindOffset = 0x00;
constexpr std::size_t kFlagsOffset = 0x30;
constexpr std::size_t kNameOffset = 0x34;
constexpr std::size_t kVersionOffset = 0x38;
constexpr std::size_t kMemberOffset = 0x04;
constexpr std::size_t kElementCountOffset = 0x18;  // low 16 bits: functions
constexpr std::size_t kFuncArgCountOffset = 0x14;
constexpr std::size_t kParamSize = 12;
constexpr std::uint32_t kTkindDispatch = 4;
constexpr std::uint32_t kTypeFlagNonExtensible = 0x80;
constexpr std::uint32_t kParamFlagRetval = 0x8;
constexpr std::uint32_t kNoName = 0xFFFFFFFFu;
constexpr std::size_t kGuidSegment = 5;
constexpr std::size_t kCustomDataSegment = 11;
constexpr std::size_t kCustomGuidSegment = 12;
constexpr std::size_t kLibraryCustomData = 0x40;
constexpr std::uint16_t kVtUi4 = 0x13;
constexpr std::uint16_t kVtBstr = 0x08;
constexpr unsigned char kCreationTimeGuid[16] = {0x63, 0xBA, 0x77, 0xDE, 0x7C, 0x51, 0xD1, 0x11,
                                                 0xA2, 0xDA, 0x00, 0x00, 0xF8, 0x77, 0x3C, 0xE9};
constexpr std::string_view kCreatedBy = "Created by WIDL version ";
constexpr std::string_view kFixedCtime = "Thu Jan  1 00:00:00 1970";

class Library {
 public:
  explicit Library(std::vector<unsigned char> bytes) : bytes_(std::move(bytes)) {}

  std::uint32_t Word(std::size_t at) const {
    if (at > bytes_.size() || bytes_.size() - at < 4) throw std::runtime_error("truncated library");
    std::uint32_t value;
    std::memcpy(&value, bytes_.data() + at, 4);
    return value;  // the format is little-endian, like every host this builds on
  }
  void SetWord(std::size_t at, std::uint32_t value) {
    Word(at);  // bounds check
    std::memcpy(bytes_.data() + at, &value, 4);
  }
  std::string_view Chars(std::size_t at, std::size_t count) const {
    if (at > bytes_.size() || bytes_.size() - at < count)
      throw std::runtime_error("truncated library");
    return {reinterpret_cast<const char*>(bytes_.data() + at), count};
  }
  void SetChars(std::size_t at, std::string_view text) {
    Chars(at, text.size());  // bounds check
    std::memcpy(bytes_.data() + at, text.data(), text.size());
  }
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 private:
  std::vector<unsigned char> bytes_;
};

struct Segment {
  std::size_t offset;
  std::size_t length;
};

Segment SegmentAt(const Library& lib, std::size_t index) {
  const std::size_t typeInfoCount = lib.Word(0x20);
  std::size_t directory = kHeaderSize + 4 * typeInfoCount;
  if (lib.Word(0x14) & kHelpDllFlag) directory += 4;
  const std::size_t entry = directory + 16 * index;
  const std::uint32_t offset = lib.Word(entry);
  if (offset == 0xFFFFFFFFu) throw std::runtime_error("library has no such segment");
  return {offset, lib.Word(entry + 4)};
}

// The offset of the type-info record called `name`, if the library has one.
std::optional<std::size_t> FindTypeInfo(const Library& lib, std::string_view name) {
  const Segment infos = SegmentAt(lib, kTypeInfoSegment);
  const Segment names = SegmentAt(lib, kNameSegment);
  const std::size_t count = lib.Word(0x20);
  if (count * kTypeInfoSize > infos.length) throw std::runtime_error("type-info segment too short");
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t record = infos.offset + i * kTypeInfoSize;
    const std::size_t nameEntry = lib.Word(record + kNameOffset);
    if (nameEntry + 12 > names.length) throw std::runtime_error("name outside the name segment");
    const std::size_t length = lib.Word(names.offset + nameEntry + 8) & 0xFF;
    if (lib.Chars(names.offset + nameEntry + 12, length) == name) return record;
  }
  return std::nullopt;
}

// Takes the name off every [retval] parameter; returns how many it changed.
int UnnameRetvalParams(Library& lib) {
  const Segment infos = SegmentAt(lib, kTypeInfoSegment);
  const std::size_t count = lib.Word(0x20);
  int changed = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t record = infos.offset + i * kTypeInfoSize;
    const std::size_t functions = lib.Word(record + kElementCountOffset) & 0xFFFF;
    if (functions == 0) continue;
    const std::size_t block = lib.Word(record + kMemberOffset);
    std::size_t at = block + 4;
    const std::size_t end = at + lib.Word(block);
    for (std::size_t f = 0; f < functions; ++f) {
      const std::size_t size = lib.Word(at) & 0xFFFF;
      const std::size_t args = lib.Word(at + kFuncArgCountOffset) & 0xFFFF;
      if (size < kFuncArgCountOffset + 4 + args * kParamSize || at + size > end) {
        throw std::runtime_error("malformed function record");
      }
      for (std::size_t a = 0; a < args; ++a) {
        const std::size_t param = at + size - (args - a) * kParamSize;
        if ((lib.Word(param + 8) & kParamFlagRetval) && lib.Word(param + 4) != kNoName) {
          lib.SetWord(param + 4, kNoName);
          ++changed;
        }
      }
      at += size;
    }
  }
  return changed;
}

// Writes the fixed time over widl's in the library's custom data.
void PinCreationTime(Library& lib) {
  const Segment guids = SegmentAt(lib, kGuidSegment);
  const Segment data = SegmentAt(lib, kCustomDataSegment);
  const Segment entries = SegmentAt(lib, kCustomGuidSegment);
  std::size_t visited = 0;
  for (std::uint32_t entry = lib.Word(kLibraryCustomData); entry != kNoName;
       entry = lib.Word(entries.offset + entry + 8)) {
    if (entry + 12 > entries.length || ++visited > entries.length / 12) {
      throw std::runtime_error("malformed custom data list");
    }
    const std::size_t guid = guids.offset + lib.Word(entries.offset + entry);
    const std::size_t item = data.offset + lib.Word(entries.offset + entry + 4);
    const std::uint16_t type = lib.Word(item) & 0xFFFF;
    if (type == kVtUi4 &&
        lib.Chars(guid, 16) ==
            std::string_view(reinterpret_cast<const char*>(kCreationTimeGuid), 16)) {
      lib.SetWord(item + 2, 0);
    } else if (type == kVtBstr) {
      const std::string_view chars = lib.Chars(item + 6, lib.Word(item + 2));
      const std::size_t at = chars.find(" at ");
      if (chars.starts_with(kCreatedBy) && at != std::string_view::npos &&
          chars.size() >= at + 4 + kFixedCtime.size()) {
        lib.SetChars(item + 6 + at + 4, kFixedCtime);
      }
    }
  }
}

bool ParseVersion(std::string_view text, std::uint16_t& major, std::uint16_t& minor) {
  const auto dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  const auto parse = [](std::string_view part, std::uint16_t& out) {
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), out);
    return error == std::errc() && end == part.data() + part.size() && !part.empty();
  };
  return parse(text.substr(0, dot), major) && parse(text.substr(dot + 1), minor);
}

int Run(int argc, char** argv) {
  std::uint16_t major = 0, minor = 0;
  if (argc != 5 || !ParseVersion(argv[4], major, minor)) {
    std::fprintf(stderr, "usage: tlbfix IN.tlb OUT.tlb DISPINTERFACE MAJOR.MINOR\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read ") + argv[1]);
  Library lib(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
  if (lib.Word(0) != kMagic) throw std::runtime_error("not an MSFT type library");

  const auto record = FindTypeInfo(lib, argv[3]);
  if (!record) throw std::runtime_error(std::string("no type info named ") + argv[3]);
  if ((lib.Word(*record + kTypeKindOffset) & 0xF) != kTkindDispatch) {
    throw std::runtime_error(std::string(argv[3]) + " is not a dispinterface");
  }
  lib.SetWord(*record + kFlagsOffset, lib.Word(*record + kFlagsOffset) | kTypeFlagNonExtensible);
  lib.SetWord(*record + kVersionOffset, std::uint32_t{major} | (std::uint32_t{minor} << 16));
  UnnameRetvalParams(lib);
  if (lib.Word(kLibraryCustomData) != kNoName) PinCreationTime(lib);

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(lib.bytes().data()),
            static_cast<std::streamsize>(lib.bytes().size()));
  if (!out.flush()) throw std::runtime_error(std::string("cannot write ") + argv[2]);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tlbfix: %s\n", e.what());
    return 1;
  }
}
