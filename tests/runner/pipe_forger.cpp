// Another local program that holds pipe names a run may take, for the
// runner's tests; ends after a minute at the latest.
//   pipe_forger forge NAME...  holds each name as a pipe of unlimited instances
//                              opened as a run opens its own, and keeps
//                              connecting to each name, writing a fin line of
//                              success to whichever instance it reaches
//   pipe_forger squat NAME...  holds each name as a plain pipe of one instance
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr DWORD kLifetime = 60000;
constexpr std::size_t kInstancesPerName = 4;

HANDLE Instance(const std::string& name, DWORD openMode, DWORD instances) {
  return CreateNamedPipeA(name.c_str(), openMode, PIPE_TYPE_BYTE | PIPE_WAIT, instances, 4096, 4096,
                          0, nullptr);
}

void Forge(const std::vector<std::string>& names) {
  std::vector<std::vector<HANDLE>> held(names.size());
  for (std::size_t n = 0; n < names.size(); ++n) {
    for (std::size_t i = 0; i < kInstancesPerName; ++i) {
      held[n].push_back(Instance(names[n], PIPE_ACCESS_INBOUND, PIPE_UNLIMITED_INSTANCES));
    }
  }
  const std::string fin = "fin|success\r\n";
  const DWORD start = GetTickCount();
  for (std::size_t round = 0; GetTickCount() - start < kLifetime; ++round) {
    for (std::size_t n = 0; n < names.size(); ++n) {
      HANDLE client =
          CreateFileA(names[n].c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (client != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(client, fin.data(), static_cast<DWORD>(fin.size()), &written, nullptr);
        CloseHandle(client);
      }
      // A fresh instance in place of the oldest, which the write may have used.
      HANDLE& oldest = held[n][round % kInstancesPerName];
      CloseHandle(oldest);
      oldest = Instance(names[n], PIPE_ACCESS_INBOUND, PIPE_UNLIMITED_INSTANCES);
    }
    Sleep(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1];
  const std::vector<std::string> names(argv + 2, argv + argc);
  if (mode == "forge") {
    Forge(names);
  } else if (mode == "squat") {
    for (const std::string& name : names) Instance(name, PIPE_ACCESS_DUPLEX, 1);
    Sleep(kLifetime);
  } else {
    return 2;
  }
  return 0;
}
