#include "converter/pdf_writer.h"

#include <array>
#include <cstdio>
#include <vector>

#include "converter/deflate.h"
#include "converter/encoding.h"

namespace converter {
namespace {

constexpr std::array<Font, 3> kFonts = {Font::Regular, Font::Bold, Font::Mono};

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string LiteralString(std::string_view bytes) {
  std::string out = "(";
  for (char c : bytes) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c;
  }
  return out + ")";
}

std::string ContentStream(const Page& page) {
  std::string content = "BT\n";
  const PlacedText* previous = nullptr;
  for (const PlacedText& text : page.texts) {
    if (!previous || previous->font != text.font || previous->size != text.size)
      content += "/F" + std::to_string(static_cast<int>(text.font) + 1) + " " + Number(text.size) +
                 " Tf\n";
    content += "1 0 0 1 " + Number(text.x) + " " + Number(text.y) + " Tm " +
               LiteralString(text.text) + " Tj\n";
    previous = &text;
  }
  return content + "ET\n";
}

// Collects numbered objects and remembers where each one starts.
class PdfFile {
 public:
  PdfFile() { data_ = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"; }

  int Reserve() {
    offsets_.push_back(0);
    return static_cast<int>(offsets_.size());
  }

  void Put(int number, std::string_view body) {
    offsets_[static_cast<size_t>(number - 1)] = data_.size();
    data_ += std::to_string(number) + " 0 obj\n";
    data_ += body;
    data_ += "\nendobj\n";
  }

  std::string Finish(int catalog, int info) {
    size_t xref = data_.size();
    data_ += "xref\n0 " + std::to_string(offsets_.size() + 1) + "\n";
    data_ += "0000000000 65535 f \n";
    char entry[32];
    for (size_t offset : offsets_) {
      std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                    static_cast<unsigned long long>(offset));
      data_ += entry;
    }
    data_ += "trailer\n<< /Size " + std::to_string(offsets_.size() + 1) + " /Root " +
             std::to_string(catalog) + " 0 R /Info " + std::to_string(info) + " 0 R >>\n";
    data_ += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return std::move(data_);
  }

 private:
  std::string data_;
  std::vector<size_t> offsets_;
};

std::string ObjectRef(int number) {
  return std::to_string(number) + " 0 R";
}

}  // namespace

std::string WritePdf(const Layout& layout, std::string_view title, Streams streams) {
  PdfFile pdf;
  int catalog = pdf.Reserve();
  int pages = pdf.Reserve();
  int info = pdf.Reserve();

  std::string fontResources = "<< ";
  for (Font font : kFonts) {
    int number = pdf.Reserve();
    pdf.Put(number, "<< /Type /Font /Subtype /Type1 /BaseFont /" + std::string(PdfFontName(font)) +
                        " /Encoding /WinAnsiEncoding >>");
    fontResources +=
        "/F" + std::to_string(static_cast<int>(font) + 1) + " " + ObjectRef(number) + " ";
  }
  fontResources += ">>";

  std::string kids;
  for (const Page& page : layout.pages) {
    int pageNumber = pdf.Reserve();
    int contentNumber = pdf.Reserve();
    std::string content = ContentStream(page);
    std::string filter;
    if (streams == Streams::Compressed) {
      content = ZlibCompress(content);
      filter = " /Filter /FlateDecode";
    }
    pdf.Put(contentNumber, "<< /Length " + std::to_string(content.size()) + filter +
                               " >>\nstream\n" + content + "\nendstream");
    pdf.Put(pageNumber, "<< /Type /Page /Parent " + ObjectRef(pages) + " /MediaBox [0 0 " +
                            Number(layout.geometry.width) + " " + Number(layout.geometry.height) +
                            "] /Resources << /Font " + fontResources + " >> /Contents " +
                            ObjectRef(contentNumber) + " >>");
    kids += ObjectRef(pageNumber) + " ";
  }
  pdf.Put(pages, "<< /Type /Pages /Kids [ " + kids + "] /Count " +
                     std::to_string(layout.pages.size()) + " >>");
  pdf.Put(catalog, "<< /Type /Catalog /Pages " + ObjectRef(pages) + " >>");
  std::string infoBody = "<< /Producer (vorlen)";
  if (!title.empty()) infoBody += " /Title " + PdfTextString(title);
  pdf.Put(info, infoBody + " >>");
  return pdf.Finish(catalog, info);
}

}  // namespace converter
