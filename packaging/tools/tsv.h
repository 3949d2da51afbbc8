// Whole files in and out, and the tab-separated rows in which make dist hands
// the build's facts to its host tools.
#pragma once

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlen::tsv {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot read");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  if (!(out << text) || !out.flush()) throw std::runtime_error(path + ": cannot write");
}

using Row = std::vector<std::string>;

// Every non-empty line of the file, split at its tabs; each row must have
// `columns` fields.
inline std::vector<Row> ReadRows(const std::string& path, std::size_t columns) {
  std::vector<Row> rows;
  std::istringstream lines(ReadFile(path));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    Row row;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      row.push_back(line.substr(start, tab - start));
    }
    row.push_back(line.substr(start));
    if (row.size() != columns) {
      throw std::runtime_error(path + ": '" + line + "' has " + std::to_string(row.size()) +
                               " fields, not " + std::to_string(columns));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

inline std::string Line(const Row& row) {
  std::string line;
  for (std::size_t i = 0; i < row.size(); ++i) line += (i == 0 ? "" : "\t") + row[i];
  return line + "\n";
}

}  // namespace vorlen::tsv
