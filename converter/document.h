#pragma once
// The readable content of an XML or HTML document: its title, its text as a
// sequence of blocks in document order, and the outside files it refers to.
#include <string>
#include <string_view>
#include <vector>

#include "converter/markup_reader.h"

namespace converter {

struct Block {
  enum class Kind { Paragraph, Heading, Preformatted };
  Kind kind = Kind::Paragraph;
  int headingLevel = 0;  // 1..6 for headings
  int indent = 0;        // list nesting depth
  std::string marker;    // "•" or "3." on the first block of a list item
  std::string text;      // UTF-8; '\n' is a forced line break
};

struct Reference {
  enum class Kind { StyleSheet, Image, Resource, Include };
  Kind kind = Kind::Resource;
  std::string target;  // as written in the document
  int line = 0;
};

struct Document {
  std::string title;
  std::vector<Block> blocks;
  std::vector<Reference> references;
};

struct DocumentReading {
  Document document;
  MarkupOutcome outcome;  // an error means the document could not be read
};

// Reads a document from its raw bytes; `html` selects the tolerant HTML reading.
DocumentReading ReadDocument(std::string_view bytes, bool html);

}  // namespace converter
