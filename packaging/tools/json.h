// A JSON value that keeps its members in the order they were added, written
// with two-space indentation: enough for the bill of materials, whose bytes
// must follow from its content alone.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace vorlen::json {

class Value {
 public:
  static Value Object() { return Value(Kind::kObject); }
  static Value Array() { return Value(Kind::kArray); }
  Value(std::string text) : kind_(Kind::kString), scalar_(std::move(text)) {}
  Value(const char* text) : Value(std::string(text)) {}
  Value(int number) : kind_(Kind::kNumber), scalar_(std::to_string(number)) {}

  // A member of an object.
  Value& Add(std::string key, Value value) {
    members_.emplace_back(std::move(key), std::move(value));
    return *this;
  }
  // An element of an array.
  Value& Push(Value value) { return Add({}, std::move(value)); }

  std::string Text() const {
    std::string out;
    Write(out, 0);
    return out + "\n";
  }

 private:
  enum class Kind { kString, kNumber, kObject, kArray };
  explicit Value(Kind kind) : kind_(kind) {}

  static void Quote(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
      if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
      } else if (c == '\n') {
        out += "\\n";
      } else if (c < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
      } else {
        out += static_cast<char>(c);
      }
    }
    out += '"';
  }

  void Write(std::string& out, int depth) const {
    if (kind_ == Kind::kString) return Quote(out, scalar_);
    if (kind_ == Kind::kNumber) {
      out += scalar_;
      return;
    }
    const bool object = kind_ == Kind::kObject;
    if (members_.empty()) {
      out += object ? "{}" : "[]";
      return;
    }
    const std::string indent(2 * (depth + 1), ' ');
    out += object ? "{\n" : "[\n";
    for (std::size_t i = 0; i < members_.size(); ++i) {
      out += indent;
      if (object) {
        Quote(out, members_[i].first);
        out += ": ";
      }
      members_[i].second.Write(out, depth + 1);
      out += i + 1 < members_.size() ? ",\n" : "\n";
    }
    out += std::string(2 * depth, ' ') + (object ? "}" : "]");
  }

  Kind kind_;
  std::string scalar_;
  std::vector<std::pair<std::string, Value>> members_;
};

}  // namespace vorlen::json
