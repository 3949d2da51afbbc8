#include "converter/markup_reader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "converter/encoding.h"
#include "converter/entities.h"

namespace converter {

const std::string* Tag::Find(std::string_view attributeName) const {
  for (const Attribute& attribute : attributes)
    if (attribute.name == attributeName) return &attribute.value;
  return nullptr;
}

namespace {

constexpr std::array<std::string_view, 14> kVoidElements = {
    "area",  "base", "br",   "col",   "embed",  "hr",    "img",
    "input", "link", "meta", "param", "source", "track", "wbr"};
// Elements whose content is not markup in HTML.
constexpr std::array<std::string_view, 2> kRawTextElements = {"script", "style"};
// Starting one of these closes an open paragraph in HTML.
constexpr std::array<std::string_view, 22> kClosesParagraph = {
    "address", "article", "aside", "blockquote", "div", "dl",     "fieldset", "footer",
    "form",    "h1",      "h2",    "h3",         "h4",  "h5",     "h6",       "header",
    "hr",      "nav",     "ol",    "p",          "pre", "section"};

template <size_t N>
bool OneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameChar(char c) {
  return !IsSpace(c) && c != '>' && c != '/' && c != '=' && c != '<' && c != '"' && c != '\'';
}

struct Malformed {
  MarkupProblem problem;
};

class Reader {
 public:
  Reader(std::string_view text, bool html, MarkupHandler& handler)
      : text_(text), html_(html), handler_(handler) {}

  MarkupOutcome Run() {
    MarkupOutcome outcome;
    try {
      while (pos_ < text_.size()) {
        if (text_[pos_] == '<')
          ReadMarkupItem();
        else
          ReadText();
      }
      Finish();
    } catch (const Malformed& malformed) {
      outcome.error = malformed.problem;
    }
    outcome.notes = std::move(notes_);
    return outcome;
  }

 private:
  struct OpenElement {
    std::string name;
    int line;
  };

  // An XML fault ends the reading; as HTML it is noted and the caller recovers.
  void Fault(int line, std::string text) {
    if (!html_) throw Malformed{{line, std::move(text)}};
    if (notes_.size() < kMaxNotes) notes_.push_back({line, std::move(text)});
  }

  void Advance(size_t count) {
    count = std::min(count, text_.size() - pos_);
    line_ += static_cast<int>(std::count(text_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                         text_.begin() + static_cast<std::ptrdiff_t>(pos_ + count),
                                         '\n'));
    pos_ += count;
  }

  bool At(std::string_view s) const { return text_.substr(pos_).starts_with(s); }

  void SkipSpace() {
    size_t end = pos_;
    while (end < text_.size() && IsSpace(text_[end])) ++end;
    Advance(end - pos_);
  }

  std::string ReadName() {
    size_t end = pos_;
    while (end < text_.size() && IsNameChar(text_[end])) ++end;
    std::string name(text_.substr(pos_, end - pos_));
    Advance(end - pos_);
    return html_ ? Lower(std::move(name)) : name;
  }

  // Replaces character references in `raw`, which starts on line `line`.
  std::string Decode(std::string_view raw, int line) {
    std::string out;
    for (size_t i = 0; i < raw.size();) {
      if (raw[i] == '\n') ++line;
      if (raw[i] != '&') {
        out += raw[i++];
        continue;
      }
      size_t semicolon = raw.find(';', i);
      std::string_view name = semicolon == std::string_view::npos || semicolon - i > 40
                                  ? std::string_view()
                                  : raw.substr(i + 1, semicolon - i - 1);
      std::optional<char32_t> value = name.starts_with('#') ? CharacterNumber(name.substr(1))
                                      : name.empty()        ? std::nullopt
                                                            : LookupEntity(name);
      if (value) {
        AppendUtf8(out, *value);
        i = semicolon + 1;
        continue;
      }
      if (name.empty())
        Fault(line, "'&' that starts no reference (write &amp;)");
      else if (name.starts_with('#'))
        Fault(line, "malformed character reference &" + std::string(name) + ";");
      else
        Fault(line, "unknown entity &" + std::string(name) + (html_ ? "; kept as text" : ";"));
      out += raw[i++];  // as HTML the text stays as written
    }
    return out;
  }

  static std::optional<char32_t> CharacterNumber(std::string_view digits) {
    bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    char32_t value = 0;
    for (char c : digits) {
      int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                  : hex && std::isxdigit(static_cast<unsigned char>(c))
                      ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                      : -1;
      if (digit < 0) return std::nullopt;
      value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return std::nullopt;
    return value;
  }

  void ReadText() {
    size_t end = std::min(text_.find('<', pos_), text_.size());
    int line = line_;
    std::string_view raw = text_.substr(pos_, end - pos_);
    Advance(end - pos_);
    DeliverText(Decode(raw, line), line);
  }

  void DeliverText(const std::string& text, int line) {
    size_t first = 0;
    while (first < text.size() && IsSpace(text[first])) ++first;
    if (!html_ && open_.empty() && first < text.size()) {
      line += static_cast<int>(
          std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(first), '\n'));
      Fault(line, rootClosed_ ? "text after the end of the document element"
                              : "text before the document element");
    }
    handler_.Text(text);
  }

  // Skips to just after `terminator`, or reports an unclosed construct.
  std::string_view Until(std::string_view terminator, std::string_view what, int line) {
    size_t end = text_.find(terminator, pos_);
    if (end == std::string_view::npos) {
      Fault(line, std::string(what) + " is not closed");
      std::string_view rest = text_.substr(pos_);
      Advance(rest.size());
      return rest;
    }
    std::string_view inside = text_.substr(pos_, end - pos_);
    Advance(end - pos_ + terminator.size());
    return inside;
  }

  void ReadMarkupItem() {
    int line = line_;
    if (At("<!--")) {
      Advance(4);
      Until("-->", "comment", line);
    } else if (At("<![CDATA[")) {
      Advance(9);
      DeliverText(std::string(Until("]]>", "CDATA section", line)), line);
    } else if (At("<!")) {
      SkipDeclaration(line);
    } else if (At("<?")) {
      Advance(2);
      ReadProcessingInstruction(Until("?>", "processing instruction", line), line);
    } else if (At("</")) {
      ReadEndTag(line);
    } else if (pos_ + 1 < text_.size() && IsNameStart(text_[pos_ + 1])) {
      ReadStartTag(line);
    } else {
      Fault(line, "'<' that starts no tag (write &lt;)");
      Advance(1);
      DeliverText("<", line);
    }
  }

  // <!DOCTYPE ...> and the like, including an internal subset in brackets.
  void SkipDeclaration(int line) {
    int depth = 0;
    for (size_t i = pos_ + 2; i < text_.size(); ++i) {
      if (text_[i] == '[') ++depth;
      if (text_[i] == ']') --depth;
      if (text_[i] == '>' && depth <= 0) {
        Advance(i + 1 - pos_);
        return;
      }
    }
    Fault(line, "declaration is not closed");
    Advance(text_.size() - pos_);
  }

  void ReadProcessingInstruction(std::string_view inside, int line) {
    Tag instruction;
    instruction.line = line;
    size_t nameEnd = 0;
    while (nameEnd < inside.size() && !IsSpace(inside[nameEnd])) ++nameEnd;
    instruction.name = std::string(inside.substr(0, nameEnd));
    // Pseudo-attributes: name="value" pairs.
    for (size_t i = nameEnd; i < inside.size();) {
      size_t equals = inside.find('=', i);
      if (equals == std::string_view::npos || equals + 1 >= inside.size()) break;
      size_t nameStart = inside.find_last_of(" \t\r\n", equals);
      nameStart = nameStart == std::string_view::npos ? i : nameStart + 1;
      char quote = inside[equals + 1];
      size_t close = inside.find(quote, equals + 2);
      if ((quote != '"' && quote != '\'') || close == std::string_view::npos) break;
      instruction.attributes.push_back(
          {std::string(inside.substr(nameStart, equals - nameStart)),
           Decode(inside.substr(equals + 2, close - equals - 2), line)});
      i = close + 1;
    }
    handler_.ProcessingInstruction(instruction);
  }

  void ReadStartTag(int line) {
    Advance(1);
    Tag tag;
    tag.line = line;
    tag.name = ReadName();
    bool selfClosing = false;
    for (;;) {
      SkipSpace();
      if (pos_ >= text_.size()) {
        Fault(line, "tag <" + tag.name + "> is not closed");
        break;
      }
      if (At(">")) {
        Advance(1);
        break;
      }
      if (At("/>")) {
        Advance(2);
        selfClosing = true;
        break;
      }
      ReadAttribute(tag);
    }
    OpenStartTag(tag, selfClosing);
  }

  void ReadAttribute(Tag& tag) {
    int line = line_;
    std::string name = ReadName();
    if (name.empty()) {
      Fault(line, std::string("unexpected '") + text_[pos_] + "' in tag <" + tag.name + ">");
      Advance(1);
      return;
    }
    SkipSpace();
    std::string value;
    if (At("=")) {
      Advance(1);
      SkipSpace();
      value = ReadAttributeValue(tag, name);
    } else if (!html_) {  // HTML allows bare attributes (<option selected>)
      Fault(line, "attribute " + name + " of <" + tag.name + "> has no value");
    }
    if (tag.Find(name)) {
      Fault(line, "attribute " + name + " given twice in <" + tag.name + ">");
      return;
    }
    tag.attributes.push_back({std::move(name), std::move(value)});
  }

  std::string ReadAttributeValue(const Tag& tag, const std::string& name) {
    int line = line_;
    if (At("\"") || At("'")) {
      char quote = text_[pos_];
      size_t close = text_.find(quote, pos_ + 1);
      if (close == std::string_view::npos) {
        Fault(line, "value of attribute " + name + " is not closed");
        close = text_.size();
      }
      std::string_view raw = text_.substr(pos_ + 1, close - pos_ - 1);
      if (raw.find('<') != std::string_view::npos)
        Fault(line, "'<' in the value of attribute " + name + " of <" + tag.name + ">");
      Advance(close + 1 - pos_);
      return Decode(raw, line);
    }
    if (!html_) Fault(line, "value of attribute " + name + " of <" + tag.name + "> is not quoted");
    size_t end = pos_;
    while (end < text_.size() && !IsSpace(text_[end]) && text_[end] != '>') ++end;
    std::string_view raw = text_.substr(pos_, end - pos_);
    Advance(end - pos_);
    return Decode(raw, line);
  }

  void OpenStartTag(const Tag& tag, bool selfClosing) {
    if (!html_ && rootClosed_)
      Fault(tag.line, "element <" + tag.name + "> after the document element");
    if (html_) CloseImplied(tag.name);
    rootSeen_ = true;
    handler_.StartElement(tag);
    if (selfClosing || (html_ && OneOf(tag.name, kVoidElements))) {
      handler_.EndElement(tag.name);
      if (open_.empty()) rootClosed_ = true;
      return;
    }
    open_.push_back({tag.name, tag.line});
    if (html_ && OneOf(tag.name, kRawTextElements)) ReadRawText(tag.name);
  }

  // HTML leaves out end tags that a new start tag implies.
  void CloseImplied(const std::string& name) {
    auto closeFrom = [&](std::string_view target, std::initializer_list<std::string_view> fences) {
      for (size_t i = open_.size(); i-- > 0;) {
        if (std::find(fences.begin(), fences.end(), open_[i].name) != fences.end()) return;
        if (open_[i].name == target) {
          CloseDownTo(i);
          return;
        }
      }
    };
    if (OneOf(name, kClosesParagraph) && !open_.empty() && open_.back().name == "p")
      CloseDownTo(open_.size() - 1);
    if (name == "li") closeFrom("li", {"ul", "ol"});
    if (name == "dt" || name == "dd") {
      closeFrom("dt", {"dl"});
      closeFrom("dd", {"dl"});
    }
    if (name == "tr") closeFrom("tr", {"table"});
    if (name == "td" || name == "th" || name == "tr") {
      closeFrom("td", {"tr", "table"});
      closeFrom("th", {"tr", "table"});
    }
  }

  void CloseDownTo(size_t index) {
    while (open_.size() > index) {
      handler_.EndElement(open_.back().name);
      open_.pop_back();
    }
    if (open_.empty()) rootClosed_ = true;
  }

  // The content of <script> or <style> runs to its end tag, in any case.
  void ReadRawText(const std::string& name) {
    size_t end = pos_;
    for (; (end = text_.find("</", end)) != std::string_view::npos; end += 2)
      if (Lower(std::string(text_.substr(end + 2, name.size()))) == name) break;
    if (end == std::string_view::npos) end = text_.size();
    handler_.Text(text_.substr(pos_, end - pos_));
    Advance(end - pos_);
  }

  void ReadEndTag(int line) {
    Advance(2);
    std::string name = ReadName();
    SkipSpace();
    if (At(">")) {
      Advance(1);
    } else {
      Fault(line, "end tag </" + name + "> is not closed");
      size_t close = text_.find('>', pos_);
      Advance(close == std::string_view::npos ? text_.size() - pos_ : close + 1 - pos_);
    }
    if (html_) {
      for (size_t i = open_.size(); i-- > 0;)
        if (open_[i].name == name) return CloseDownTo(i);
      Fault(line, "end tag </" + name + "> without a start tag, ignored");
      return;
    }
    if (open_.empty()) Fault(line, "end tag </" + name + "> without a start tag");
    const OpenElement& top = open_.back();
    if (top.name != name)
      Fault(line, "end tag </" + name + "> does not match <" + top.name + "> opened on line " +
                      std::to_string(top.line));
    CloseDownTo(open_.size() - 1);
  }

  void Finish() {
    if (!html_ && !open_.empty())
      Fault(line_, "document ends inside <" + open_.back().name + "> opened on line " +
                       std::to_string(open_.back().line));
    if (!html_ && !rootSeen_) Fault(line_, "document holds no element");
    CloseDownTo(0);
  }

  static constexpr size_t kMaxNotes = 20;

  std::string_view text_;
  bool html_;
  MarkupHandler& handler_;
  size_t pos_ = 0;
  int line_ = 1;
  std::vector<OpenElement> open_;
  bool rootSeen_ = false;
  bool rootClosed_ = false;
  std::vector<MarkupProblem> notes_;
};

}  // namespace

MarkupOutcome ReadMarkup(std::string_view text, bool html, MarkupHandler& handler) {
  return Reader(text, html, handler).Run();
}

}  // namespace converter
