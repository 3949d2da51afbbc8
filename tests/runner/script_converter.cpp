// A converter for the runner's tests: plays a scenario of writes to standard
// output and standard error with pauses, and can record what it was started
// with. The scenario is the argument that starts with "scenario:" (or "@" and
// a file holding it): steps separated by ";", each a letter, "=" and a value.
//   o=TEXT   one write of TEXT to standard output   e=TEXT   the same on standard error
//   n=N*TEXT TEXT N times on standard output, in writes of up to 4 KiB
//   s=MS     sleep                                  x=CODE   exit at once
//   w=FILE   wait until FILE exists, a minute at most
//   r=FILE   record arguments, command line, standard handles and the census of
//            what else the converter holds (other pipes, processes, threads or
//            descriptors above 2) in FILE
//   f=FILE   write 1 MiB to standard output; append "broken" or "written" to FILE
// TEXT takes the escapes \r \n \0 \\ \s (";") and \xHH.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#endif

namespace {

void Pause(int ms) {
#ifdef _WIN32
  Sleep(static_cast<DWORD>(ms));
#else
  usleep(static_cast<useconds_t>(ms) * 1000);
#endif
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    switch (c) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case '0':
        out += '\0';
        break;
      case 's':
        out += ';';
        break;
      case 'x':
        out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
        break;
      default:
        out += c;
    }
  }
  return out;
}

// false when the reader has gone
bool WriteAll(int stream, const std::string& bytes) {
#ifdef _WIN32
  HANDLE h = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD written = 0;
  return bytes.empty() ||
         (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
          written == bytes.size());
#else
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(stream, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
#endif
}

bool StdinClosed() {
  // The runner closes its end of the input pipe right after the start.
  for (int tries = 0; tries < 200; ++tries) {
#ifdef _WIN32
    DWORD available = 0;
    if (!PeekNamedPipe(GetStdHandle(STD_INPUT_HANDLE), nullptr, 0, nullptr, &available, nullptr))
      return GetLastError() == ERROR_BROKEN_PIPE;
#else
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0) return true;
#endif
    Pause(10);
  }
  return false;
}

#ifdef _WIN32
// Handle values are small multiples of four. Wine does not count a process's
// handles, so the scan covers a fixed range, far above what a converter holds.
std::string Census() {
  const HANDLE own[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                        GetStdHandle(STD_ERROR_HANDLE)};
  int pipes = 0, foreign = 0, processes = 0, threads = 0;
  for (ULONG_PTR value = 4; value < 0x1000; value += 4) {
    const HANDLE h = reinterpret_cast<HANDLE>(value);
    DWORD flags = 0;
    if (!GetHandleInformation(h, &flags)) continue;
    if (GetFileType(h) == FILE_TYPE_PIPE) {
      ++pipes;
      if (std::find(std::begin(own), std::end(own), h) == std::end(own)) ++foreign;
    } else if (GetProcessId(h) != 0) {
      ++processes;
    } else if (GetThreadId(h) != 0) {
      ++threads;
    }
  }
  return "pipes=" + std::to_string(pipes) + "\nforeign-pipes=" + std::to_string(foreign) +
         "\nprocesses=" + std::to_string(processes) + "\nthreads=" + std::to_string(threads) + "\n";
}
#else
std::string Census() {
  std::vector<int> fds;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    fds.push_back(std::atoi(entry.path().filename().c_str()));
  }
  // The listing's own descriptor is closed again by now.
  const auto above = std::count_if(fds.begin(), fds.end(),
                                   [](int fd) { return fd > 2 && fcntl(fd, F_GETFD) != -1; });
  return "descriptors-above-2=" + std::to_string(above) + "\n";
}
#endif

void Record(const std::string& file, int argc, char** argv) {
  const std::string census = Census();
  std::ofstream out(file, std::ios::binary);
  for (int i = 1; i < argc; ++i) out << "arg=" << argv[i] << "\n";
#ifdef _WIN32
  out << "cmdline=" << GetCommandLineA() << "\n";
  HANDLE o = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE e = GetStdHandle(STD_ERROR_HANDLE);
  out << "stdout-pipe=" << (GetFileType(o) == FILE_TYPE_PIPE ? "yes" : "no") << "\n";
  out << "stdout-is-stderr=" << (o == e ? "yes" : "no") << "\n";
#else
  struct stat so {
  }, se{};
  fstat(1, &so);
  fstat(2, &se);
  out << "stdout-pipe=" << (S_ISFIFO(so.st_mode) ? "yes" : "no") << "\n";
  out << "stdout-is-stderr=" << (so.st_ino == se.st_ino && so.st_dev == se.st_dev ? "yes" : "no")
      << "\n";
  // Copies of either of its own pipes beyond the standard handles would keep
  // those pipes from ever breaking.
  const auto target = [](const std::filesystem::path& p) {
    std::error_code error;
    return std::filesystem::read_symlink(p, error).string();
  };
  const std::string input = target("/proc/self/fd/0"), output = target("/proc/self/fd/1");
  int copies = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    const std::string t = target(entry.path());
    if (fd > 2 && (t == input || t == output)) ++copies;
  }
  out << "pipe-copies=" << copies << "\n";
#endif
  out << census;
  out << "stdin=" << (StdinClosed() ? "closed" : "open") << "\n";
}

void Flood(const std::string& file) {
#ifndef _WIN32
  signal(SIGPIPE, SIG_IGN);
#endif
  const std::string block(4096, 'z');
  bool broken = false;
  for (int i = 0; i < 256 && !broken; ++i) broken = !WriteAll(1, block);
  std::ofstream(file, std::ios::app | std::ios::binary) << (broken ? "broken\n" : "written\n");
}

std::string Scenario(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("scenario:", 0) == 0) return a.substr(9);
    if (a.rfind("@", 0) == 0) {
      std::ifstream in(a.substr(1), std::ios::binary);
      std::stringstream s;
      s << in.rdbuf();
      return s.str();
    }
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  std::stringstream steps(Scenario(argc, argv));
  std::string step;
  while (std::getline(steps, step, ';')) {
    if (step.size() < 2 || step[1] != '=') continue;
    const std::string value = step.substr(2);
    switch (step[0]) {
      case 'o':
        WriteAll(1, Unescape(value));
        break;
      case 'e':
        WriteAll(2, Unescape(value));
        break;
      case 'n': {
        const std::size_t star = value.find('*');
        const long count = std::atol(value.substr(0, star).c_str());
        const std::string line = Unescape(value.substr(star + 1));
        std::string block;
        for (long i = 0; i < count; ++i) {
          block += line;
          if (block.size() >= 4096 || i + 1 == count) {
            WriteAll(1, block);
            block.clear();
          }
        }
        break;
      }
      case 's':
        Pause(std::atoi(value.c_str()));
        break;
      case 'x':
        return std::atoi(value.c_str());
      case 'w':
        for (int waited = 0; waited < 60000 && !std::ifstream(value); waited += 10) Pause(10);
        break;
      case 'r':
        Record(value, argc, argv);
        break;
      case 'f':
        Flood(value);
        break;
      default:
        break;
    }
  }
  return 0;
}
