#include "channel/watched_pipe_win32.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace vorlen::win32 {
namespace {

// What CreatePipe gives an anonymous pipe when asked for the default size.
constexpr DWORD kDefaultBufferSize = 4096;
// A name already taken, or a stranger who connected first, costs one more
// name; more than a few in a row means something else is wrong.
constexpr int kNameAttempts = 4;

struct Registry {
  std::mutex mutex;
  std::unordered_map<HANDLE, std::unique_ptr<WatchedPipe>> watches;
};

Registry& Watches() {
  static Registry registry;
  return registry;
}

}  // namespace

bool WatchedPipe::Create(const SECURITY_ATTRIBUTES& attributes, HANDLE& readEnd, HANDLE& writeEnd) {
  static std::atomic<unsigned long> serial{0};
  SECURITY_ATTRIBUTES sa = attributes;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "\\\\.\\pipe\\vorlen-%lu-%lu", GetCurrentProcessId(),
                  ++serial);
    // One instance, first of its name, local clients only: once this process
    // has connected its own write end, nobody else can.
    HANDLE server = CreateNamedPipeA(
        name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
        kDefaultBufferSize, kDefaultBufferSize, 0, &sa);
    if (server == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_PIPE_BUSY) continue;
      return false;
    }
    HANDLE client = CreateFileA(name, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &sa, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (client == INVALID_HANDLE_VALUE) {
      CloseHandle(server);
      continue;
    }
    auto watch = std::make_unique<WatchedPipe>(server);
    if (!watch->Open()) {
      CloseHandle(client);
      return false;
    }
    {
      Registry& registry = Watches();
      const std::lock_guard lock(registry.mutex);
      registry.watches[server] = std::move(watch);
    }
    readEnd = server;
    writeEnd = client;
    return true;
  }
  return false;
}

WatchedPipe* WatchedPipe::Find(HANDLE readEnd) {
  Registry& registry = Watches();
  const std::lock_guard lock(registry.mutex);
  const auto found = registry.watches.find(readEnd);
  return found == registry.watches.end() ? nullptr : found->second.get();
}

bool WatchedPipe::Close(HANDLE readEnd) {
  std::unique_ptr<WatchedPipe> watch;
  {
    // Out of the registry before the handle closes: the system may hand the
    // same value to another thread's new pipe at once.
    Registry& registry = Watches();
    const std::lock_guard lock(registry.mutex);
    const auto found = registry.watches.find(readEnd);
    if (found == registry.watches.end()) return false;
    watch = std::move(found->second);
    registry.watches.erase(found);
  }
  return true;
}

WatchedPipe::WatchedPipe(HANDLE readEnd)
    : pipe_(readEnd), waiting_(std::make_unique<OVERLAPPED>()) {}

WatchedPipe::~WatchedPipe() {
  // The system still owns the record of a read that neither ended nor could
  // be cancelled, and may yet write into it: it is left to the process.
  if (!EndWaitingRead()) static_cast<void>(waiting_.release());
  CloseHandle(pipe_);
  if (wake_ != nullptr) CloseHandle(wake_);
  if (reading_ != nullptr) CloseHandle(reading_);
}

// The first read of no bytes, on a pipe that nobody has written to yet, tells
// whether such reads wait here; kept pending, it is also the first wait.
bool WatchedPipe::Open() {
  wake_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  reading_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (wake_ == nullptr || reading_ == nullptr) return false;
  wakes_ = Arm() == Armed::Pending;
  return true;
}

WatchedPipe::Armed WatchedPipe::Arm() {
  *waiting_ = OVERLAPPED{};
  waiting_->hEvent = wake_;
  if (ReadFile(pipe_, &scratch_, 0, nullptr, waiting_.get())) return Armed::Ready;
  switch (GetLastError()) {
    case ERROR_IO_PENDING:
      pending_ = true;
      return Armed::Pending;
    case ERROR_BROKEN_PIPE:  // the next peek tells
      return Armed::Ready;
    default:
      return Armed::Failed;
  }
}

bool WatchedPipe::Read(char* buffer, DWORD size, DWORD& bytesRead) {
  bytesRead = 0;
  OVERLAPPED reading{};
  reading.hEvent = reading_;
  if (!ReadFile(pipe_, buffer, size, nullptr, &reading) && GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  return GetOverlappedResult(pipe_, &reading, &bytesRead, TRUE) != FALSE;
}

void WatchedPipe::Wait(DWORD milliseconds, bool messages) {
  if (!pending_) {
    switch (Arm()) {
      case Armed::Pending:
        break;
      case Armed::Ready:
        return;
      case Armed::Failed:  // nothing to wait on: only the time or a message
        if (messages) {
          MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        } else {
          Sleep(milliseconds);
        }
        return;
    }
  }
  const DWORD woken = messages ? MsgWaitForMultipleObjectsEx(1, &wake_, milliseconds, QS_ALLINPUT,
                                                             MWMO_INPUTAVAILABLE)
                               : WaitForSingleObject(wake_, milliseconds);
  if (woken != WAIT_OBJECT_0) return;
  DWORD none = 0;
  if (GetOverlappedResult(pipe_, waiting_.get(), &none, FALSE) ||
      GetLastError() != ERROR_IO_INCOMPLETE) {
    pending_ = false;
  }
}

// False when a pending read neither finished nor could be cancelled: Wine 8
// at times loses the end of such a read when the last writer goes.
bool WatchedPipe::EndWaitingRead() {
  if (!pending_) return true;
  DWORD none = 0;
  if (CancelIoEx(pipe_, waiting_.get()) || WaitForSingleObject(wake_, 0) == WAIT_OBJECT_0) {
    GetOverlappedResult(pipe_, waiting_.get(), &none, TRUE);
    pending_ = false;
    return true;
  }
  return false;
}

}  // namespace vorlen::win32
