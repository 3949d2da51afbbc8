#include "converter/document.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "converter/encoding.h"

namespace converter {
namespace {

// HTML elements whose content flows inline; everything else in an HTML
// document that holds text starts a block of its own. Table cells flow too, so
// that a row reads as one line.
constexpr std::array<std::string_view, 32> kHtmlInline = {
    "a",   "abbr", "b",     "bdi",  "bdo", "cite", "code", "data",  "dfn",  "em",     "font",
    "i",   "kbd",  "label", "mark", "q",   "s",    "samp", "small", "span", "strong", "sub",
    "sup", "time", "tt",    "u",    "var", "img",  "br",   "wbr",   "td",   "th"};
// Inline elements of common XML vocabularies; any other XML element is a block.
constexpr std::array<std::string_view, 14> kXmlInline = {
    "emphasis", "literal", "code",     "quote", "phrase", "link", "xref",
    "ulink",    "command", "filename", "b",     "i",      "em",   "strong"};
constexpr std::array<std::string_view, 4> kSkipped = {"script", "style", "template", "noscript"};

template <size_t N>
bool OneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string LocalName(std::string_view name) {
  size_t colon = name.rfind(':');
  std::string local(colon == std::string_view::npos ? name : name.substr(colon + 1));
  std::transform(local.begin(), local.end(), local.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return local;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Folds every run of white space into one blank and trims both ends.
std::string Collapse(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!IsSpace(c))
      out += c;
    else if (!out.empty() && out.back() != ' ')
      out += ' ';
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

class Builder : public MarkupHandler {
 public:
  explicit Builder(bool html) : htmlVocabulary_(html) {}

  Document Take() {
    Flush();
    document_.title = Collapse(document_.title);
    return std::move(document_);
  }

  void StartElement(const Tag& tag) override {
    std::string name = LocalName(tag.name);
    if (!rootSeen_) htmlVocabulary_ = htmlVocabulary_ || name == "html";
    rootSeen_ = true;
    NoteReferences(name, tag);
    Open open{name, IsBlock(name)};
    if (OneOf(name, kSkipped)) ++skipping_;
    if (name == "title" && (htmlVocabulary_ || document_.title.empty())) {
      open.title = true;
      ++inTitle_;
    }
    if (name == "br" && skipping_ == 0 && inTitle_ == 0) pending_ += '\n';
    if (name == "td" || name == "th") AddText(" ");
    if (open.block) StartBlock(name);
    open_.push_back(std::move(open));
  }

  void EndElement(std::string_view) override {
    if (open_.empty()) return;
    Open open = std::move(open_.back());
    open_.pop_back();
    if (OneOf(open.name, kSkipped)) --skipping_;
    if (open.title) --inTitle_;
    if (open.name == "pre") --preformatted_;
    if (open.name == "ul" || open.name == "ol") lists_.pop_back();
    if (open.block) {
      Flush();
      if (open.name == "li") marker_.clear();
      kind_ = Block::Kind::Paragraph;
      headingLevel_ = 0;
    }
  }

  void Text(std::string_view text) override {
    if (skipping_ > 0) return;
    if (inTitle_ > 0) {
      document_.title += text;
      // In other XML vocabularies a title is also a heading of the text.
      if (htmlVocabulary_) return;
    }
    if (preformatted_ > 0) {
      for (char c : text)
        if (c != '\r') pending_ += c == '\t' ? ' ' : c;
      return;
    }
    AddText(text);
  }

  void ProcessingInstruction(const Tag& instruction) override {
    if (instruction.name != "xml-stylesheet") return;
    if (const std::string* href = instruction.Find("href"))
      document_.references.push_back({Reference::Kind::StyleSheet, *href, instruction.line});
  }

 private:
  struct Open {
    std::string name;
    bool block = false;
    bool title = false;
  };
  struct List {
    bool ordered;
    int count = 0;
  };

  bool IsBlock(const std::string& name) const {
    return htmlVocabulary_ ? !OneOf(name, kHtmlInline) : !OneOf(name, kXmlInline);
  }

  void NoteReferences(const std::string& name, const Tag& tag) {
    auto add = [&](Reference::Kind kind, const char* attribute) {
      if (const std::string* target = tag.Find(attribute); target && !target->empty())
        document_.references.push_back({kind, *target, tag.line});
    };
    if (name == "link") {
      const std::string* rel = tag.Find("rel");
      std::string relation = rel ? LocalName(*rel) : "";
      add(relation.find("stylesheet") != std::string::npos ? Reference::Kind::StyleSheet
                                                           : Reference::Kind::Resource,
          "href");
    } else if (name == "img") {
      add(Reference::Kind::Image, "src");
    } else if (name == "object") {
      add(Reference::Kind::Resource, "data");
    } else if (name == "include" && tag.Find("href")) {
      add(Reference::Kind::Include, "href");
    }
  }

  void StartBlock(const std::string& name) {
    Flush();
    if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
      kind_ = Block::Kind::Heading;
      headingLevel_ = name[1] - '0';
    } else if (name == "title" && !htmlVocabulary_) {
      kind_ = Block::Kind::Heading;
      headingLevel_ = 2;
    } else if (name == "pre") {
      kind_ = Block::Kind::Preformatted;
      ++preformatted_;
    } else if (name == "ul" || name == "ol") {
      lists_.push_back({name == "ol"});
    } else if (name == "li" && !lists_.empty()) {
      List& list = lists_.back();
      marker_ = list.ordered ? std::to_string(++list.count) + "." : "\xE2\x80\xA2";
    }
  }

  void AddText(std::string_view text) {
    if (inTitle_ > 0 && htmlVocabulary_) return;
    for (char c : text) {
      if (IsSpace(c)) {
        if (!pending_.empty() && pending_.back() != ' ' && pending_.back() != '\n') pending_ += ' ';
      } else {
        pending_ += c;
      }
    }
  }

  void Flush() {
    std::string text;
    if (kind_ == Block::Kind::Preformatted) {
      text = pending_;
      while (text.starts_with('\n')) text.erase(0, 1);
      while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    } else {
      // Trim blanks around forced breaks and at both ends.
      for (char c : pending_) {
        if (c == '\n' && !text.empty() && text.back() == ' ') text.pop_back();
        if (c == ' ' && (text.empty() || text.back() == '\n')) continue;
        text += c;
      }
      while (!text.empty() && (text.back() == ' ' || text.back() == '\n')) text.pop_back();
      while (text.starts_with('\n')) text.erase(0, 1);
    }
    pending_.clear();
    if (text.empty()) return;
    Block block;
    block.kind = kind_;
    block.headingLevel = headingLevel_;
    block.indent = static_cast<int>(lists_.size());
    block.marker = std::move(marker_);
    block.text = std::move(text);
    marker_.clear();
    document_.blocks.push_back(std::move(block));
  }

  bool htmlVocabulary_;
  bool rootSeen_ = false;
  Document document_;
  std::vector<Open> open_;
  std::vector<List> lists_;
  int skipping_ = 0;
  int inTitle_ = 0;
  int preformatted_ = 0;
  Block::Kind kind_ = Block::Kind::Paragraph;
  int headingLevel_ = 0;
  std::string marker_;
  std::string pending_;
};

}  // namespace

DocumentReading ReadDocument(std::string_view bytes, bool html) {
  std::string text = DecodeDocument(bytes);
  Builder builder(html);
  MarkupOutcome outcome = ReadMarkup(text, html, builder);
  return {builder.Take(), std::move(outcome)};
}

}  // namespace converter
