#pragma once
// Every registry value that registering the component writes under the
// machine's classes (HKEY_LOCAL_MACHINE\Software\Classes), as one table.
// DllRegisterServer writes it, and the installer's rows are generated from it
// at build time, so the two cannot differ. Plain text only: the table is also
// compiled into a host tool.
#include <string>
#include <vector>

namespace vorlen::com {

enum class Bitness { x86, x64 };

struct RegistryRow {
  // What the value holds: fixed text, or where the module was found.
  enum class Data { Text, ModulePath, ModuleFolder };
  std::string key;   // below HKEY_LOCAL_MACHINE\Software\Classes
  std::string name;  // empty for the key's default value
  Data data = Data::Text;
  std::string text;  // the value of a Text row
  // In the part of the registry that both bitnesses' views share (the ProgID,
  // the type library's own values) rather than in this bitness's view.
  bool shared = false;
};

// What registering the module of this bitness writes into its registry view.
std::vector<RegistryRow> RegistrationRows(Bitness bitness);

// Where the other bitness's module, while registered, holds its own values:
// the module path of its class (in its own view) and its type library
// platform key.
struct OtherRegistration {
  std::string classKey, libraryKey;
};
OtherRegistration OtherBitnessKeys(Bitness bitness);

// The keys of the rows, deepest first. Unregistering removes the rows' values
// and then each of these keys that is left empty, as an uninstaller does:
// what someone else keeps under them stays.
std::vector<std::string> RegistrationKeys(Bitness bitness);

// The same registration as a registration-free manifest describes it.
struct RegisteredInterface {
  std::string name, iid, marshaller;
};
struct RegistrationNames {
  std::string clsid, progId, threadingModel, libid, libraryVersion;
  std::vector<RegisteredInterface> interfaces;
};
RegistrationNames Names();

}  // namespace vorlen::com
