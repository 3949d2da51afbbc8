// vorlen: turns an XML or HTML document into a PDF of its text and reports
// on standard output in the status protocol (see status.h). It stands in for
// the full converter wherever the component needs one at the other end of
// its pipe: in tests and in the demo.
#include <cstdio>
#include <string>
#include <string_view>

#include "converter/document.h"
#include "converter/layout.h"
#include "converter/options.h"
#include "converter/paths.h"
#include "converter/pdf_writer.h"
#include "converter/platform.h"
#include "converter/status.h"

namespace converter {
namespace {

constexpr std::string_view kCommandLine = "command line";

std::string_view KindName(Reference::Kind kind) {
  switch (kind) {
    case Reference::Kind::StyleSheet:
      return "style sheet";
    case Reference::Kind::Image:
      return "image";
    case Reference::Kind::Include:
      return "included document";
    case Reference::Kind::Resource:
      break;
  }
  return "linked resource";
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  FilePtr file = OpenFile(path, "rb");
  if (!file) return false;
  char buffer[65536];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    bytes.append(buffer, count);
  return !std::ferror(file.get());
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FilePtr file = OpenFile(path, "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  return std::fclose(file.release()) == 0 && written;
}

// An unprotected PDF where a protected one was asked for would pass for it;
// so would a PDF that an earlier run left at the same path. A file of any
// other kind there is left alone: it may be the input under another name.
bool NoPdfLeftAt(const std::string& path) {
  FilePtr file = OpenFile(path, "rb");
  if (!file) return !FileExists(path);
  char head[5] = {};
  const bool pdf = std::fread(head, 1, sizeof head, file.get()) == sizeof head &&
                   std::string_view(head, sizeof head) == "%PDF-";
  file.reset();
  return !pdf || RemoveFile(path);
}

void CheckReferences(const Options& options, const Document& document, StatusReporter& status) {
  for (const Reference& reference : document.references) {
    if (reference.kind == Reference::Kind::Include && !options.xinclude) continue;
    std::optional<std::string> path =
        ResolveReference(reference.target, options.baseUrl, options.input);
    if (!path) continue;  // not a local file: nothing to check here
    std::string location = At(options.input, reference.line);
    if (!FileExists(*path))
      status.Warning(location, std::string(KindName(reference.kind)) + " not found: " + *path);
    else if (reference.kind == Reference::Kind::Include)
      status.Warning(location, "XInclude is not processed; " + reference.target + " is left out");
    else if (reference.kind == Reference::Kind::StyleSheet)
      status.Warning(location, "style sheet not applied: " + reference.target);
  }
}

bool Convert(const Options& options, StatusReporter& status) {
  std::string output = options.output.empty() ? DefaultOutputPath(options.input) : options.output;
  if (output == options.input) {
    status.Error(kCommandLine, "the output path is the input document: " + output);
    return false;
  }
  if (options.encrypt) {
    status.Error(output, NoPdfLeftAt(output)
                             ? "encryption is not supported: no PDF is written"
                             : "encryption is not supported: no PDF is written, and the PDF "
                               "already at this path cannot be removed");
    return false;
  }
  for (const std::string& styleSheet : options.styleSheets)
    status.Warning(styleSheet,
                   OpenFile(styleSheet, "rb")
                       ? "style sheet not applied: the converter uses its own fixed styles"
                       : "cannot open style sheet");

  std::string bytes;
  if (!ReadWholeFile(options.input, bytes)) {
    status.Error(options.input, "cannot read the input document");
    return false;
  }
  DocumentReading reading = ReadDocument(bytes, options.html);
  for (const MarkupProblem& note : reading.outcome.notes)
    status.Info(At(options.input, note.line), note.text);
  if (reading.outcome.error) {
    const MarkupProblem& error = *reading.outcome.error;
    status.Error(At(options.input, error.line), "not well-formed XML: " + error.text);
    return false;
  }
  CheckReferences(options, reading.document, status);

  Layout layout = LayOut(reading.document);
  if (layout.replacedCharacters > 0)
    status.Info(options.input, std::to_string(layout.replacedCharacters) +
                                   " characters have no glyph in the standard fonts and show as ?");
  if (!WriteWholeFile(output, WritePdf(layout, reading.document.title,
                                       options.compress ? Streams::Compressed : Streams::Plain))) {
    status.Error(output, "cannot write the PDF file");
    return false;
  }
  size_t pages = layout.pages.size();
  status.Info(output, std::to_string(pages) + (pages == 1 ? " page" : " pages") + " written");
  return true;
}

int Run(int argc, char** argv) {
  StatusReporter status;
  ParsedOptions parsed = ParseOptions(ProgramArguments(argc, argv));
  const Options& options = parsed.options;
  if (!options.logFile.empty() && !status.OpenLog(options.logFile))
    status.Warning(options.logFile, "cannot open the log file");
  for (const std::string& error : parsed.errors) status.Error(kCommandLine, error);
  if (!parsed.errors.empty()) return status.Finish(false);
  return status.Finish(Convert(options, status));
}

}  // namespace
}  // namespace converter

int main(int argc, char** argv) {
  try {
    return converter::Run(argc, argv);
  } catch (const std::exception& exception) {
    // Out of memory, mostly: the reader still gets its final line.
    converter::StatusReporter status;
    status.Error("vorlen", exception.what());
    return status.Finish(false);
  }
}
