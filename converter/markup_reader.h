#pragma once
// A small reader for XML and for HTML as people write it. As XML the markup
// must be well formed, and the first fault ends the reading with its line. As
// HTML it is read the way browsers read it: tag and attribute names in any
// case, unquoted attribute values, void elements, end tags left out or out of
// place, unknown entities; such faults become notes and reading goes on.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace converter {

struct Attribute {
  std::string name;
  std::string value;  // character references already replaced
};

struct Tag {
  std::string name;  // lower case when read as HTML
  std::vector<Attribute> attributes;
  int line = 0;
  const std::string* Find(std::string_view attributeName) const;
};

// Receives the document's structure in document order. Every StartElement is
// matched by one EndElement, also for empty and void elements.
class MarkupHandler {
 public:
  virtual ~MarkupHandler() = default;
  virtual void StartElement(const Tag& tag) = 0;
  virtual void EndElement(std::string_view name) = 0;
  virtual void Text(std::string_view text) = 0;
  // A processing instruction; its pseudo-attributes (href="...") as attributes.
  virtual void ProcessingInstruction(const Tag& instruction) = 0;
};

struct MarkupProblem {
  int line = 0;
  std::string text;
};

struct MarkupOutcome {
  std::optional<MarkupProblem> error;  // XML only: the fault that ended the reading
  std::vector<MarkupProblem> notes;    // HTML only: faults read past
};

MarkupOutcome ReadMarkup(std::string_view text, bool html, MarkupHandler& handler);

}  // namespace converter
