// registry_rows: a build-time host tool that writes the component's
// registration, taken from the table that DllRegisterServer uses, in the two
// shapes an installation needs:
//
//   registry_rows wxs TEMPLATE OUT        the installer's source: each line
//       "<!-- registry rows: x86 -->" (or x64) of TEMPLATE becomes that view's
//       RegistryValue elements, naming the module as [#VORLEN_x86.dll] and its
//       folder as [INSTALLDIR_x86]
//   registry_rows manifest VERSION OUT    the registration-free assembly manifest,
//       VERSION in the four parts of an assembly identity (1.0.0.0)
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "component/registration_table.h"

namespace {

using vorlen::com::Bitness;
using vorlen::com::RegistryRow;

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      // Installer-formatted text: a literal bracket is written [\[] or [\]].
      case '[':
        out += "[\\[]";
        break;
      case ']':
        out += "[\\]]";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Rows(Bitness bitness, const std::string& indent) {
  const std::string view = bitness == Bitness::x64 ? "x64" : "x86";
  std::ostringstream out;
  for (const RegistryRow& row : vorlen::com::RegistrationRows(bitness)) {
    std::string value = Xml(row.text);
    if (row.data == RegistryRow::Data::ModulePath) value = "[#VORLEN_" + view + ".dll]";
    if (row.data == RegistryRow::Data::ModuleFolder) value = "[INSTALLDIR_" + view + "]";
    // HKCR in a per-machine package writes HKLM\Software\Classes (the
    // Registry table's msidbRegistryRootClassesRoot), as DllRegisterServer does.
    out << indent << "<RegistryValue Root=\"HKCR\" Key=\"" << Xml(row.key) << "\"";
    if (!row.name.empty()) out << " Name=\"" << Xml(row.name) << "\"";
    out << " Type=\"string\" Value=\"" << value << "\" />\n";
  }
  return out.str();
}

std::string Wxs(std::istream& in) {
  std::string text, line;
  while (std::getline(in, line)) {
    const auto at = line.find("<!-- registry rows: ");
    if (at == std::string::npos) {
      text += line + "\n";
    } else {
      const bool x64 = line.find("x64", at) != std::string::npos;
      text += Rows(x64 ? Bitness::x64 : Bitness::x86, line.substr(0, at));
    }
  }
  return text;
}

std::string Manifest(const std::string& version) {
  const auto names = vorlen::com::Names();
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      << "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
      << "  <assemblyIdentity type=\"win32\" name=\"VORLEN\" version=\"" << Xml(version)
      << "\" />\n"
      << "  <file name=\"VORLEN.dll\">\n"
      << "    <comClass clsid=\"" << names.clsid << "\" progid=\"" << Xml(names.progId)
      << "\" threadingModel=\"" << names.threadingModel << "\" tlbid=\"" << names.libid << "\" />\n"
      << "    <typelib tlbid=\"" << names.libid << "\" version=\"" << names.libraryVersion
      << "\" helpdir=\"\" />\n"
      << "  </file>\n";
  for (const auto& i : names.interfaces) {
    out << "  <comInterfaceExternalProxyStub name=\"" << Xml(i.name) << "\" iid=\"" << i.iid
        << "\" proxyStubClsid32=\"" << i.marshaller << "\" tlbid=\"" << names.libid << "\" />\n";
  }
  out << "</assembly>\n";
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  std::string text;
  if (mode == "wxs") {
    std::ifstream in(argv[2]);
    if (!in) {
      std::cerr << "registry_rows: cannot read " << argv[2] << "\n";
      return 1;
    }
    text = Wxs(in);
  } else if (mode == "manifest") {
    text = Manifest(argv[2]);
  } else {
    std::cerr << "usage: registry_rows wxs TEMPLATE OUT | registry_rows manifest VERSION OUT\n";
    return 2;
  }
  std::ofstream out(argv[3], std::ios::binary);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "registry_rows: cannot write " << argv[3] << "\n";
    return 1;
  }
  return 0;
}
