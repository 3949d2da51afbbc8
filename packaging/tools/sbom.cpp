// sbom: a build-time host tool that writes the release's bill of materials,
// CycloneDX 1.6 JSON, from the facts make dist gathered; it reads no clock,
// so that the same build gives the same bytes.
//
//   sbom VERSION SECONDS SERIAL COPYRIGHT COMPONENTS.tsv PROGRAMS.tsv FILES.tsv TOOLS.tsv OUT
//
// SECONDS (since 1970, UTC) is the BOM's time and SERIAL its UUID.
// COMPONENTS.tsv: the runtime components, as third_party writes them.
// PROGRAMS.tsv:   program (x86/VORLEN.dll), SHA-256 of the shipped file.
// FILES.tsv:      archive, path inside it (empty for the archive itself), SHA-256.
// TOOLS.tsv:      what the tool did, Debian package, version, architecture.
//
// Each archive is a component with the files inside it as its components; a
// file that is one of the programs (by its hash) depends on the runtime
// components linked into that program. The build tools are the formula's
// components.
#include <cstdio>
#include <ctime>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "json.h"
#include "tsv.h"

namespace {

using vorlen::json::Value;

const char kSupplier[] = "The VORLEN authors";

std::string Iso8601(const std::string& seconds) {
  const std::time_t time = std::stoll(seconds);
  std::tm utc{};
  if (gmtime_r(&time, &utc) == nullptr) throw std::runtime_error("bad time " + seconds);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// Package URL of a Debian package (pkg:deb/debian/NAME@VERSION?arch=ARCH):
// name and version percent-encoded where the purl rules ask for it.
std::string Purl(const std::string& package, const std::string& version,
                 const std::string& architecture) {
  const auto encode = [](const std::string& text, bool plus) {
    std::string out;
    for (char c : text) {
      if (c == '%')
        out += "%25";
      else if (c == ':')
        out += "%3A";
      else if (c == '+' && plus)
        out += "%2B";
      else
        out += c;
    }
    return out;
  };
  return "pkg:deb/debian/" + encode(package, true) + "@" + encode(version, false) +
         "?arch=" + architecture;
}

Value Supplier() {
  return Value::Object().Add("name", kSupplier);
}

// Our own files name their license; the toolchain's parts give an SPDX
// expression, which may hold LicenseRef- identifiers.
Value License(const std::string& id) {
  return Value::Array().Push(Value::Object().Add("license", Value::Object().Add("id", id)));
}
Value LicenseExpression(const std::string& spdx) {
  return Value::Array().Push(Value::Object().Add("expression", spdx));
}

Value Sha256(const std::string& hash) {
  return Value::Array().Push(Value::Object().Add("alg", "SHA-256").Add("content", hash));
}

std::string TypeOf(const std::string& path) {
  if (path.ends_with(".dll")) return "library";
  if (path.ends_with(".exe")) return "application";
  return "file";
}

Value DebianComponent(const std::string& type, const std::string& ref, const std::string& name,
                      const std::string& version, const std::string& package,
                      const std::string& architecture, const std::string& description) {
  return Value::Object()
      .Add("type", type)
      .Add("bom-ref", ref)
      .Add("name", name)
      .Add("version", version)
      .Add("description", description)
      .Add("purl", Purl(package, version, architecture));
}

struct Member {
  std::string path, hash;
};
struct Archive {
  std::string name, hash;
  std::vector<Member> members;
};

std::vector<Archive> Archives(const std::vector<vorlen::tsv::Row>& files) {
  std::vector<Archive> archives;
  for (const auto& row : files) {
    if (archives.empty() || archives.back().name != row[0]) archives.push_back({row[0], {}, {}});
    if (row[1].empty()) {
      archives.back().hash = row[2];
    } else {
      archives.back().members.push_back({row[1], row[2]});
    }
  }
  for (const Archive& archive : archives) {
    if (archive.hash.empty()) throw std::runtime_error(archive.name + " has no hash of its own");
  }
  return archives;
}

std::string DescriptionOf(const std::string& archive) {
  if (archive.ends_with(".msi")) return "the installer: one per-machine package for 64-bit Windows";
  return "both bitnesses, ready for registration-free use, with the C++ header";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 10) {
    std::fprintf(stderr,
                 "usage: sbom VERSION SECONDS SERIAL COPYRIGHT COMPONENTS.tsv PROGRAMS.tsv "
                 "FILES.tsv TOOLS.tsv OUT\n");
    return 2;
  }
  try {
    const std::string version = argv[1], copyright = argv[4];
    const auto runtime = vorlen::tsv::ReadRows(argv[5], 8);
    const auto programs = vorlen::tsv::ReadRows(argv[6], 2);
    const auto archives = Archives(vorlen::tsv::ReadRows(argv[7], 3));
    const auto tools = vorlen::tsv::ReadRows(argv[8], 4);

    // The runtime components in each program, and each program by its hash.
    std::map<std::string, std::vector<std::string>> linked_into;
    for (const auto& row : runtime) {
      const std::string list = row[7] + ",";
      for (std::size_t at = 0, comma; (comma = list.find(',', at)) != std::string::npos;
           at = comma + 1) {
        linked_into[list.substr(at, comma - at)].push_back(row[0]);
      }
    }
    std::map<std::string, std::string> program_of_hash;
    for (const auto& row : programs) program_of_hash[row[1]] = row[0];
    std::set<std::string> shipped;

    Value product =
        Value::Object()
            .Add("type", "library")
            .Add("bom-ref", "VORLEN")
            .Add("supplier", Supplier())
            .Add("name", "VORLEN")
            .Add("version", version)
            .Add("description",
                 "In-process COM server VORLEN.dll (ProgID VorlenCOM.Vorlen), 32-bit and "
                 "64-bit, with the stand-in converter vorlen.exe and the command-line "
                 "client vorlen-convert.exe")
            .Add("licenses", License("Apache-2.0"))
            .Add("copyright", copyright);

    Value components = Value::Array(), dependencies = Value::Array(), parts = Value::Array();
    for (const Archive& archive : archives) parts.Push(archive.name);
    dependencies.Push(Value::Object().Add("ref", "VORLEN").Add("dependsOn", std::move(parts)));
    for (const Archive& archive : archives) {
      Value inside = Value::Array();
      for (const Member& member : archive.members) {
        const std::string ref = archive.name + "/" + member.path;
        Value file = Value::Object()
                         .Add("type", TypeOf(member.path))
                         .Add("bom-ref", ref)
                         .Add("supplier", Supplier())
                         .Add("name", member.path)
                         .Add("version", version)
                         .Add("hashes", Sha256(member.hash));
        // The notices are the toolchain's own texts, under their own terms.
        if (member.path != "THIRD-PARTY-NOTICES.txt") file.Add("licenses", License("Apache-2.0"));
        inside.Push(std::move(file));
        const auto program = program_of_hash.find(member.hash);
        if (program == program_of_hash.end()) continue;
        shipped.insert(program->second);
        Value needs = Value::Array();
        for (const std::string& part : linked_into[program->second]) needs.Push(part);
        dependencies.Push(Value::Object().Add("ref", ref).Add("dependsOn", std::move(needs)));
      }
      components.Push(Value::Object()
                          .Add("type", "file")
                          .Add("bom-ref", archive.name)
                          .Add("supplier", Supplier())
                          .Add("name", archive.name)
                          .Add("version", version)
                          .Add("description", DescriptionOf(archive.name))
                          .Add("hashes", Sha256(archive.hash))
                          .Add("licenses", License("Apache-2.0"))
                          .Add("components", std::move(inside)));
    }
    for (const auto& row : programs) {
      if (!shipped.contains(row[0])) throw std::runtime_error(row[0] + " is in no archive");
    }
    // What the programs link statically: nothing further below them.
    for (const auto& row : runtime) {
      components.Push(DebianComponent("library", row[0], row[1], row[2], row[3], row[4], row[6])
                          .Add("licenses", LicenseExpression(row[5])));
      dependencies.Push(Value::Object().Add("ref", row[0]).Add("dependsOn", Value::Array()));
    }

    // The build's tools, one component per Debian package.
    std::vector<std::string> packages;
    std::map<std::string, vorlen::tsv::Row> tool_of;
    for (const auto& row : tools) {
      auto [it, added] = tool_of.emplace(row[1], row);
      if (added) {
        packages.push_back(row[1]);
      } else {
        it->second[0] += "; " + row[0];
      }
    }
    Value build_tools = Value::Array();
    for (const std::string& package : packages) {
      const auto& row = tool_of.at(package);
      build_tools.Push(DebianComponent("application", "tool:" + package, package, row[2], package,
                                       row[3], row[0]));
    }

    Value bom = Value::Object();
    bom.Add("$schema", "http://cyclonedx.org/schema/bom-1.6.schema.json")
        .Add("bomFormat", "CycloneDX")
        .Add("specVersion", "1.6")
        .Add("serialNumber", std::string("urn:uuid:") + argv[3])
        .Add("version", 1)
        .Add("metadata",
             Value::Object()
                 .Add("timestamp", Iso8601(argv[2]))
                 .Add("lifecycles", Value::Array().Push(Value::Object().Add("phase", "build")))
                 .Add("tools",
                      Value::Object().Add(
                          "components", Value::Array().Push(
                                            Value::Object()
                                                .Add("type", "application")
                                                .Add("name", "make dist (packaging/tools/sbom.cpp)")
                                                .Add("version", version))))
                 .Add("supplier", Supplier())
                 .Add("component", std::move(product)))
        .Add("components", std::move(components))
        .Add("dependencies", std::move(dependencies))
        .Add(
            "formulation",
            Value::Array().Push(
                Value::Object().Add("bom-ref", "build").Add("components", std::move(build_tools))));
    vorlen::tsv::WriteFile(argv[9], bom.Text());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sbom: %s\n", e.what());
    return 1;
  }
  return 0;
}
