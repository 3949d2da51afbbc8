#include "channel/windows_arguments.h"

namespace vorlen {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

}  // namespace

bool IsBatchFile(TextView file) {
  TextView name = file;
  while (!name.empty() && (name.back() == u'.' || IsBlank(name.back()))) name.remove_suffix(1);
  if (name.size() < 4) return false;
  Text extension(name.substr(name.size() - 4));
  for (char16_t& c : extension) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return extension == u".bat" || extension == u".cmd";
}

Text BatchFileCommandLine(TextView interpreter, TextView batchFile, TextView arguments) {
  Text line = u"\"";
  line += interpreter;
  line += u"\" /d /e:on /v:off /s /c \"\"";
  line += batchFile;
  line += u"\"";
  line += arguments;
  line += u"\"";
  return line;
}

Text QuoteArgument(TextView value) {
  Text out;
  out.reserve(value.size() + 2);
  out.push_back(u'"');
  size_t backslashes = 0;
  for (char16_t c : value) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      out.append(2 * backslashes + 1, u'\\');
    } else {
      out.append(backslashes, u'\\');
    }
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, u'\\');
  out.push_back(u'"');
  return out;
}

std::vector<CommandLineArgument> ParseCommandLine(TextView line) {
  std::vector<CommandLineArgument> args;
  size_t i = 0;
  const size_t n = line.size();

  // The program name: no escapes, quotes only group.
  Text program;
  if (i < n && line[i] == u'"') {
    ++i;
    while (i < n && line[i] != u'"') program.push_back(line[i++]);
    if (i < n) ++i;
  } else {
    while (i < n && !IsBlank(line[i])) program.push_back(line[i++]);
  }
  args.push_back({std::move(program), 0, i});

  while (true) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    const size_t begin = i;
    Text arg;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(line[i]))) {
      size_t backslashes = 0;
      while (i < n && line[i] == u'\\') {
        ++backslashes;
        ++i;
      }
      if (i < n && line[i] == u'"') {
        arg.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          arg.push_back(u'"');
          ++i;
        } else if (quoted && i + 1 < n && line[i + 1] == u'"') {
          // "" inside quotes: a literal quote, and the quoted part goes on.
          arg.push_back(u'"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg.append(backslashes, u'\\');
        if (i < n && (quoted || !IsBlank(line[i]))) arg.push_back(line[i++]);
      }
    }
    args.push_back({std::move(arg), begin, i});
  }
  return args;
}

std::vector<Text> SplitCommandLine(TextView line) {
  std::vector<Text> args;
  for (CommandLineArgument& arg : ParseCommandLine(line)) args.push_back(std::move(arg.text));
  return args;
}

}  // namespace vorlen
