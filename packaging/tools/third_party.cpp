// third_party: a build-time host tool that writes THIRD-PARTY-NOTICES.txt
// and the list of the runtime components in the programs, for the bill of
// materials, from the toolchain files that went into each program.
//
//   third_party VERSION LINKED.tsv NOTICES.txt COMPONENTS.tsv
//
// LINKED.tsv has one row per program and toolchain file that the program's
// link map names: program, file, Debian package, its version, its
// architecture (make dist reads the maps and asks dpkg). The rules below say
// which component each file belongs to; a file that no rule claims stops the
// tool, so that nothing new is linked in without its notices. Each
// component's notices are the verbatim texts of its package's copyright file,
// and a full license text in /usr/share/common-licenses that they refer to
// comes after them; a missing file or text stops the tool too.
//
// COMPONENTS.tsv: reference, name, version, package, architecture, SPDX
// expression, description, and the programs that contain it (comma-separated).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "debian_copyright.h"
#include "tsv.h"

namespace {

using vorlen::notices::Notice;

struct Rule {
  std::string name;
  std::string description;
  std::regex file;     // the file's name
  std::regex package;  // the Debian package that holds it
  std::function<Notice(std::string_view copyright)> notice;
};

// What the MinGW-w64 toolchain links into a static program. Profiling
// (libgmon.a, gcrt*.o, -pg) has other terms and no rule.
const std::vector<Rule>& Rules() {
  using vorlen::notices::GccRuntimeNotice;
  using vorlen::notices::MachineReadableNotice;
  static const std::vector<Rule> rules = {
      {"libstdc++", "the C++ standard library of GCC", std::regex(R"(libstdc\+\+\.a)"),
       std::regex(R"(g\+\+-mingw-w64-.+)"),
       [](std::string_view c) { return GccRuntimeNotice(c, "libstdc++-v3"); }},
      {"libgcc", "GCC's low-level runtime library, unwinder and start-up objects",
       std::regex(R"(libgcc(_eh)?\.a|crtbegin\.o|crtend\.o)"), std::regex(R"(gcc-mingw-w64-.+)"),
       [](std::string_view c) { return GccRuntimeNotice(c, "libgcc"); }},
      {"winpthreads", "the POSIX threads library of MinGW-w64, under std::thread and std::mutex",
       std::regex(R"(lib(win)?pthread\.a)"), std::regex(R"(mingw-w64-.+-dev)"),
       [](std::string_view c) {
         return MachineReadableNotice(c, {"mingw-w64-libraries/winpthreads/"},
                                      {"mingw-w64-libraries/winpthreads/tests_pthread/"});
       }},
      {"mingw-w64-crt",
       "the MinGW-w64 C runtime: start-up code, C library extensions and the import libraries "
       "of the system DLLs",
       std::regex(R"(lib(?!gmon\.)[a-z0-9_]+\.a|(dll)?crt2\.o)"), std::regex(R"(mingw-w64-.+-dev)"),
       [](std::string_view c) {
         return MachineReadableNotice(c, {"*", "mingw-w64-crt/"}, {"mingw-w64-crt/profile/"});
       }},
  };
  return rules;
}

struct Component {
  const Rule* rule;
  std::string package, version, architecture;
  std::set<std::string> programs;
  std::string spdx;
  std::vector<std::size_t> notices;  // into the sections: its own texts, then full licenses
};

// One text of the notices, with the files it was taken from.
struct Section {
  std::string title, text;
  std::vector<std::string> sources;
};

const Rule& RuleFor(const std::string& file, const std::string& package) {
  const std::string name = std::filesystem::path(file).filename().string();
  for (const Rule& rule : Rules()) {
    if (std::regex_match(name, rule.file) && std::regex_match(package, rule.package)) return rule;
  }
  throw std::runtime_error(file + " (Debian package " + package +
                           ") went into a program, but no rule in packaging/tools/third_party.cpp "
                           "says which component it is and where its notices are");
}

// The section with `text`, made if there is none yet.
std::size_t SectionOf(std::vector<Section>& sections, const std::string& title,
                      const std::string& text, const std::string& source) {
  auto same = std::find_if(sections.begin(), sections.end(),
                           [&](const Section& s) { return s.text == text; });
  if (same == sections.end()) {
    sections.push_back({title, text, {}});
    same = sections.end() - 1;
  } else if (same->title.find(title) == std::string::npos) {
    same->title += ", " + title;
  }
  if (std::find(same->sources.begin(), same->sources.end(), source) == same->sources.end()) {
    same->sources.push_back(source);
  }
  return static_cast<std::size_t>(same - sections.begin());
}

// The full license texts that a notice names by their place on a Debian
// system ("/usr/share/common-licenses/GPL-3").
std::vector<std::filesystem::path> LicensesReferredTo(const std::string& text) {
  static const std::regex kReference(R"(/usr/share/common-licenses/[A-Za-z0-9][A-Za-z0-9.+-]*)");
  std::vector<std::filesystem::path> files;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kReference);
       it != std::sregex_iterator(); ++it) {
    std::string path = it->str();
    while (path.back() == '.') path.pop_back();  // the end of a sentence
    std::error_code error;
    const auto file = std::filesystem::canonical(path, error);
    if (error) throw std::runtime_error(path + ", which a notice refers to, is missing");
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  }
  return files;
}

std::string Join(const std::set<std::string>& items, const std::string& separator) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : separator) + item;
  return out;
}

std::string Underline(const std::string& title, char c) {
  return title + "\n" + std::string(title.size(), c) + "\n";
}

std::string Notices(const std::string& version, const std::vector<Component>& components,
                    const std::vector<Section>& sections) {
  std::string out = Underline("VORLEN " + version + ": third-party notices", '=');
  out +=
      "\nVORLEN is licensed under the Apache License, Version 2.0 (the file LICENSE).\n"
      "Its programs contain parts of the MinGW-w64 toolchain that built them, linked\n"
      "in statically; their licenses ask that the notices below go with every copy.\n"
      "The parts are those that the linker took into each program in this build, and\n"
      "each version is that of the Debian package that provided the part.\n\n";
  out += Underline("Components", '-');
  for (const Component& c : components) {
    std::string refs;
    for (std::size_t n : c.notices)
      refs += (refs.empty() ? "[" : ", [") + std::to_string(n + 1) + "]";
    out += "\n" + c.rule->name + " " + c.version + "\n";
    out += "  Package:   " + c.package + " " + c.version + " (" + c.architecture + ")\n";
    out += "  License:   " + c.spdx + "\n";
    out += "  Linked in: " + Join(c.programs, ", ") + "\n";
    out += "  Notices:   " + refs + "\n";
  }
  out += "\n" + Underline("Notices", '-');
  for (std::size_t n = 0; n < sections.size(); ++n) {
    const Section& s = sections[n];
    out += "\n[" + std::to_string(n + 1) + "] " + s.title + "\n";
    for (std::size_t i = 0; i < s.sources.size(); ++i) {
      out += (i == 0 ? "    From " : "         ") + s.sources[i] + "\n";
    }
    out += "\n" + s.text;
    if (!s.text.ends_with('\n')) out += '\n';
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: third_party VERSION LINKED.tsv NOTICES.txt COMPONENTS.tsv\n");
    return 2;
  }
  try {
    // Components in the order of the rules, then of their packages.
    std::map<std::pair<std::size_t, std::string>, Component> found;
    for (const vorlen::tsv::Row& row : vorlen::tsv::ReadRows(argv[2], 5)) {
      const Rule& rule = RuleFor(row[1], row[2]);
      Component& c = found[{static_cast<std::size_t>(&rule - Rules().data()), row[2]}];
      if (c.rule == nullptr) c = {&rule, row[2], row[3], row[4], {}, {}, {}};
      c.programs.insert(row[0]);
    }
    if (found.empty()) throw std::runtime_error(std::string(argv[2]) + " names no file");

    // Each distinct text once: the components' own notices first, then the
    // full license texts that they refer to.
    std::vector<Component> components;
    std::vector<Section> sections, licenses;
    std::vector<std::vector<std::size_t>> license_refs;
    for (auto& [key, c] : found) {
      const std::string source = "/usr/share/doc/" + c.package + "/copyright";
      const std::string copyright = vorlen::tsv::ReadFile(source);
      Notice notice;
      try {
        notice = c.rule->notice(copyright);
      } catch (const std::exception& e) {
        throw std::runtime_error(source + ": " + e.what());
      }
      c.spdx = notice.spdx;
      c.notices.push_back(SectionOf(sections, c.rule->name, notice.text, source));
      license_refs.emplace_back();
      for (const auto& file : LicensesReferredTo(notice.text)) {
        license_refs.back().push_back(
            SectionOf(licenses, "Full text of " + file.filename().string(),
                      vorlen::tsv::ReadFile(file.string()), file.string()));
      }
      components.push_back(std::move(c));
    }
    for (std::size_t i = 0; i < components.size(); ++i) {
      for (std::size_t n : license_refs[i]) components[i].notices.push_back(sections.size() + n);
    }
    sections.insert(sections.end(), licenses.begin(), licenses.end());

    std::string rows;
    for (const Component& c : components) {
      rows += vorlen::tsv::Line({"runtime:" + c.package + ":" + c.rule->name, c.rule->name,
                                 c.version, c.package, c.architecture, c.spdx, c.rule->description,
                                 Join(c.programs, ",")});
    }
    vorlen::tsv::WriteFile(argv[3], Notices(argv[1], components, sections));
    vorlen::tsv::WriteFile(argv[4], rows);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "third_party: %s; no notices written\n", e.what());
    return 1;
  }
  return 0;
}
