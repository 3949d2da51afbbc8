#include "debian_copyright.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>

namespace vorlen::notices {
namespace {

// Debian's short names of the licenses that the toolchain's copyright files
// use, as SPDX identifiers; LicenseRef- where SPDX has no identifier whose
// text is the one the file gives.
const std::map<std::string, std::string, std::less<>> kSpdxOfDebianName = {
    {"BSD-2-clause-NetBSD", "BSD-2-Clause"},
    {"BSD-3-clause", "BSD-3-Clause"},
    {"BSD-3-clause-Lockless", "BSD-3-Clause"},
    {"David-Gay", "LicenseRef-David-Gay"},
    {"ISC", "ISC"},
    {"Keith-Marshall", "LicenseRef-Keith-Marshall"},
    {"Lucent", "LicenseRef-Lucent"},
    {"Permissive-Sun", "SunPro"},
    {"ZPL-2.1", "ZPL-2.1"},
    {"expat", "MIT"},
    {"public-domain", "LicenseRef-public-domain"},
};

bool Blank(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

std::vector<std::string> Words(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// One paragraph of a machine-readable copyright file: its verbatim text, the
// patterns of its Files field, and its License field's first line, which
// names the licenses, and whether lines of license text follow it.
struct Paragraph {
  std::string text;
  std::vector<std::string> files;
  std::string license;
  bool license_text = false;
};

std::vector<Paragraph> Paragraphs(std::string_view copyright) {
  std::vector<Paragraph> paragraphs(1);
  std::string field;
  std::size_t start = 0;
  while (start < copyright.size()) {
    std::size_t end = copyright.find('\n', start);
    if (end == std::string_view::npos) end = copyright.size();
    const std::string_view line = copyright.substr(start, end - start);
    start = end + 1;
    Paragraph& paragraph = paragraphs.back();
    if (Blank(line)) {
      if (!paragraph.text.empty()) paragraphs.emplace_back();
      continue;
    }
    paragraph.text += (paragraph.text.empty() ? "" : "\n") + std::string(line);
    std::string_view value = line;
    if (line.front() != ' ' && line.front() != '\t') {
      const std::size_t colon = line.find(':');
      field = line.substr(0, colon);
      value = colon == std::string_view::npos ? "" : line.substr(colon + 1);
      if (field == "License") paragraph.license = Words(value).empty() ? "" : std::string(value);
    } else if (field == "License") {
      paragraph.license_text = true;
    }
    if (field == "Files") {
      for (std::string& pattern : Words(value)) paragraph.files.push_back(std::move(pattern));
    }
  }
  if (paragraphs.back().text.empty()) paragraphs.pop_back();
  for (Paragraph& paragraph : paragraphs) {
    const auto words = Words(paragraph.license);
    paragraph.license.clear();
    for (const std::string& word : words)
      paragraph.license += (paragraph.license.empty() ? "" : " ") + word;
  }
  return paragraphs;
}

bool InFolder(const std::string& pattern, const std::string& folder) {
  return folder == "*" ? pattern == "*" : pattern.starts_with(folder);
}

bool AnyIn(const std::string& pattern, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](const std::string& folder) { return InFolder(pattern, folder); });
}

// The license names of a License field ("BSD-2-clause-NetBSD and ISC") and
// the field as an SPDX expression.
std::pair<std::vector<std::string>, std::string> Licenses(const std::string& field) {
  std::vector<std::string> names;
  std::string spdx;
  bool either = false;
  for (const std::string& word : Words(field)) {
    if (word == "and" || word == "or") {
      spdx += word == "and" ? " AND " : " OR ";
      either = either || word == "or";
      continue;
    }
    const auto known = kSpdxOfDebianName.find(word);
    if (known == kSpdxOfDebianName.end()) {
      throw std::runtime_error("the license '" + word +
                               "' has no SPDX identifier here: add it to packaging/tools/"
                               "debian_copyright.cpp");
    }
    names.push_back(word);
    spdx += known->second;
  }
  if (names.empty()) throw std::runtime_error("a License field names no license");
  return {names, either && names.size() > 1 ? "(" + spdx + ")" : spdx};
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : std::string(separator)) + part;
  return out;
}

// Where the first line that begins with `from` starts.
std::size_t LineStart(std::string_view text, std::string_view from) {
  for (std::size_t at = text.find(from); at != std::string_view::npos;
       at = text.find(from, at + 1)) {
    if (at == 0 || text[at - 1] == '\n') return at;
  }
  throw std::runtime_error("no line begins with '" + std::string(from) + "'");
}

// The text from the first line that begins with `from` to the end of the
// line that holds `to`.
std::string_view Lines(std::string_view text, std::string_view from, std::string_view to) {
  const std::size_t start = LineStart(text, from);
  const std::size_t last = text.find(to, start);
  if (last == std::string_view::npos) {
    throw std::runtime_error("no line after '" + std::string(from) + "' holds '" + std::string(to) +
                             "'");
  }
  return text.substr(start, std::min(text.find('\n', last), text.size()) - start);
}

}  // namespace

Notice MachineReadableNotice(std::string_view copyright, const std::vector<std::string>& folders,
                             const std::vector<std::string>& excluded) {
  const std::vector<Paragraph> paragraphs = Paragraphs(copyright);
  std::vector<std::string> texts, expressions, named;
  for (const Paragraph& paragraph : paragraphs) {
    const bool ours = std::any_of(paragraph.files.begin(), paragraph.files.end(),
                                  [&](const std::string& pattern) {
                                    return AnyIn(pattern, folders) && !AnyIn(pattern, excluded);
                                  });
    if (!ours) continue;
    auto [names, spdx] = Licenses(paragraph.license);
    texts.push_back(paragraph.text);
    AddOnce(expressions, spdx);
    if (!paragraph.license_text) {
      for (const std::string& name : names) AddOnce(named, name);
    }
  }
  if (texts.empty()) {
    throw std::runtime_error("no Files paragraph covers " + Join(folders, ", "));
  }
  // The texts of the licenses that a Files paragraph only names.
  for (const std::string& name : named) {
    const auto text = std::find_if(paragraphs.begin(), paragraphs.end(), [&](const Paragraph& p) {
      return p.files.empty() && p.license == name && p.license_text;
    });
    if (text == paragraphs.end()) {
      throw std::runtime_error("no stand-alone License paragraph gives the text of '" + name + "'");
    }
    texts.push_back(text->text);
  }
  return {Join(texts, "\n\n"), Join(expressions, " AND ")};
}

Notice GccRuntimeNotice(std::string_view copyright, std::string_view library) {
  // GCC's terms run from its copyright line to the end of the list of the
  // runtime libraries under the exception: the paragraph of " - " lines that
  // follows the sentence introducing it.
  const std::size_t start = LineStart(copyright, "GCC is Copyright (C)");
  const std::size_t intro = copyright.find("The following runtime libraries are licensed", start);
  const std::size_t items = copyright.find("\n - ", intro);
  const std::size_t end = copyright.find("\n\n", items);
  if (intro == std::string_view::npos || items == std::string_view::npos ||
      end == std::string_view::npos) {
    throw std::runtime_error("no list of the runtime libraries under the exception");
  }
  const std::string listed(copyright.substr(start, end - start));
  // An entry is " - libstdc++-v3" or " - libgcc (libgcc/, ...".
  const std::string entry = "\n - " + std::string(library), lines = listed + "\n";
  if (lines.find(entry + "\n") == std::string::npos &&
      lines.find(entry + " ") == std::string::npos) {
    throw std::runtime_error("the GCC Runtime Library Exception's list does not name " +
                             std::string(library));
  }
  const std::string_view exception =
      Lines(copyright, "GCC RUNTIME LIBRARY EXCEPTION", "requirements of the license of GCC.");
  return {listed + "\n\n" + std::string(exception), "GPL-3.0-or-later WITH GCC-exception-3.1"};
}

}  // namespace vorlen::notices
