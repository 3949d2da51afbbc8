// A converter for the component's tests. Its input path is the script: the
// argument that starts with "lines:" holds the status lines to write, with the
// escapes \r, \n and \\. When the environment variable VORLEN_TEST_RECORD
// names a file, the converter first writes its own command line there, then
// one line "arg=" and its text for each argument after the program.
#include <windows.h>

#include <string>

namespace {

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char c = text[++i];
      out += c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    } else {
      out += text[i];
    }
  }
  return out;
}

void Record(int argc, char** argv) {
  char path[MAX_PATH] = {};
  if (GetEnvironmentVariableA("VORLEN_TEST_RECORD", path, MAX_PATH) == 0) return;
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string line = GetCommandLineA();
  for (int i = 1; i < argc; ++i) line += std::string("\narg=") + argv[i];
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int main(int argc, char** argv) {
  Record(argc, argv);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("lines:", 0) != 0) continue;
    const std::string lines = Unescape(arg.substr(6));
    DWORD written = 0;
    WriteFile(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  }
  return 0;
}
