#include "component/registration_table.h"

#include <algorithm>

#include "registration_ids.h"  // generated from VorlenCOM.idl

namespace vorlen::com {
namespace {

// Both interfaces are marshalled without a proxy DLL of their own: the dual
// one by the type library, the dispinterface by the dispatch marshaller.
constexpr char kTypeLibMarshaller[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchMarshaller[] = "{00020420-0000-0000-C000-000000000046}";
constexpr char kProgId[] = "VorlenCOM.Vorlen";
constexpr char kClassVersion[] = "1.0";
constexpr char kThreadingModel[] = "Apartment";
constexpr char kLibraryHelpString[] = "Vorlen ActiveX Dll 5.0";
// The library's version 19.0. Registry versions are hexadecimal ("13.0");
// the manifest's typelib element takes it in decimal ("19.0"), as Microsoft's
// own generators of registration-free manifests write it (MSBuild's
// ComImporter and the .NET host's RegFreeComManifest format the
// TYPELIBATTR's major and minor as a System.Version) and as Wine's parser
// reads it; manifests that name type libraries of version 10 and higher in
// decimal are in use on Windows.
constexpr char kLibraryVersion[] = "19.0";
constexpr char kLibraryVersionKey[] = "13.0";

using Data = RegistryRow::Data;

std::vector<RegisteredInterface> Interfaces() {
  return {{"_Vorlen", kIidDual, kTypeLibMarshaller}, {"__Vorlen", kIidEvents, kDispatchMarshaller}};
}

std::string ClassKey() {
  return std::string("CLSID\\") + kClsid;
}
std::string LibraryKey() {
  return std::string("TypeLib\\") + kLibid + "\\" + kLibraryVersionKey;
}
std::string PlatformKey(Bitness bitness) {
  return LibraryKey() + "\\0\\" + (bitness == Bitness::x64 ? "win64" : "win32");
}

}  // namespace

std::vector<RegistryRow> RegistrationRows(Bitness bitness) {
  const std::string classKey = ClassKey();
  const std::string libraryKey = LibraryKey();
  // The class has no description of its own: its key shows the ProgID.
  std::vector<RegistryRow> rows = {
      {classKey, "", Data::Text, kProgId},
      {classKey + "\\InprocServer32", "", Data::ModulePath, ""},
      {classKey + "\\InprocServer32", "ThreadingModel", Data::Text, kThreadingModel},
      {classKey + "\\ProgID", "", Data::Text, kProgId},
      {classKey + "\\TypeLib", "", Data::Text, kLibid},
      {classKey + "\\VERSION", "", Data::Text, kClassVersion},
      {kProgId, "", Data::Text, kProgId},
      {std::string(kProgId) + "\\CLSID", "", Data::Text, kClsid},
      // Registered as language-neutral (locale 0), with no help file.
      {libraryKey, "", Data::Text, kLibraryHelpString},
      {PlatformKey(bitness), "", Data::ModulePath, ""},
      // No library flags (Wine's RegisterTypeLib writes 8 here, the flag that
      // only says the library came from a file).
      {libraryKey + "\\FLAGS", "", Data::Text, "0"},
      {libraryKey + "\\HELPDIR", "", Data::ModuleFolder, ""},
  };
  // Both bitnesses write these, in one place; the last one's values stand.
  for (RegistryRow& row : rows) {
    row.shared = row.key.starts_with(kProgId) ||
                 (row.key.starts_with(libraryKey) && !row.key.starts_with(libraryKey + "\\0"));
  }
  for (const auto& i : Interfaces()) {
    const std::string key = "Interface\\" + i.iid;
    rows.push_back({key, "", Data::Text, i.name});
    rows.push_back({key + "\\ProxyStubClsid", "", Data::Text, i.marshaller});
    rows.push_back({key + "\\ProxyStubClsid32", "", Data::Text, i.marshaller});
    rows.push_back({key + "\\TypeLib", "", Data::Text, kLibid});
    rows.push_back({key + "\\TypeLib", "Version", Data::Text, kLibraryVersionKey});
  }
  return rows;
}

std::vector<std::string> RegistrationKeys(Bitness bitness) {
  std::vector<std::string> keys;
  for (const auto& row : RegistrationRows(bitness)) {
    // Every ancestor below the hive's top level, so that TypeLib\{LIBID}
    // goes once its last version has gone.
    for (auto end = row.key.find('\\'); end != std::string::npos;
         end = row.key.find('\\', end + 1)) {
      keys.push_back(row.key.substr(0, end));
    }
    keys.push_back(row.key);
  }
  // Top-level keys such as CLSID or TypeLib are everyone's.
  std::erase_if(keys, [](const std::string& key) {
    return key.find('\\') == std::string::npos && key != kProgId;
  });
  const auto depth = [](const std::string& key) { return std::ranges::count(key, '\\'); };
  std::ranges::sort(keys, [&](const std::string& a, const std::string& b) {
    return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
  });
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

OtherRegistration OtherBitnessKeys(Bitness bitness) {
  const Bitness other = bitness == Bitness::x64 ? Bitness::x86 : Bitness::x64;
  return {ClassKey() + "\\InprocServer32", PlatformKey(other)};
}

RegistrationNames Names() {
  return {kClsid, kProgId, kThreadingModel, kLibid, kLibraryVersion, Interfaces()};
}

}  // namespace vorlen::com
