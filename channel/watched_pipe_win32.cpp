#include "channel/watched_pipe_win32.h"

#include <bcrypt.h>
#include <sddl.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "channel/unique_handle_win32.h"

namespace vorlen::win32 {
namespace {

// What CreatePipe gives an anonymous pipe when asked for the default size.
constexpr DWORD kDefaultBufferSize = 4096;
// The random bits of a pipe's name, and the bytes that show that the
// converter's end leads into the run's own.
constexpr ULONG kNameBytes = 16;
constexpr DWORD kProbeBytes = 16;

struct Registry {
  std::mutex mutex;
  std::unordered_map<HANDLE, std::unique_ptr<WatchedPipe>> watches;
};

Registry& Watches() {
  static Registry registry;
  return registry;
}

// CreateNamedPipe and CreateFile fail with INVALID_HANDLE_VALUE, not null.
UniqueHandle Owning(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};
template <class T>
using LocalMemory = std::unique_ptr<T, LocalFreer>;

// BCRYPT_USE_SYSTEM_PREFERRED_RNG takes no algorithm handle ("The hAlgorithm
// parameter must be NULL").
bool RandomBytes(void* buffer, ULONG size) {
  return BCRYPT_SUCCESS(
      BCryptGenRandom(nullptr, static_cast<PUCHAR>(buffer), size, BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

// \\.\pipe\vorlen- and 128 random bits in hexadecimal: nobody can take the
// name before this process does, so a name already taken means something is
// wrong, not bad luck.
bool RandomName(std::wstring& name) {
  unsigned char bits[kNameBytes];
  if (!RandomBytes(bits, sizeof bits)) return false;
  name = L"\\\\.\\pipe\\vorlen-";
  for (const unsigned char byte : bits) {
    name += L"0123456789abcdef"[byte >> 4];
    name += L"0123456789abcdef"[byte & 15];
  }
  return true;
}

// The user the calling thread acts for, as an SID string: the one it
// impersonates, else the process's. OpenThreadToken fails with ERROR_NO_TOKEN
// on a thread that impersonates nobody; OpenAsSelf checks the access against
// the process, which a thread impersonating at identification level needs.
LocalMemory<wchar_t> ActingUser() {
  HANDLE opened = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &opened) &&
      (GetLastError() != ERROR_NO_TOKEN ||
       !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))) {
    return {};
  }
  const UniqueHandle token(opened);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  wchar_t* sid = nullptr;
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, &sid)) {
    return {};
  }
  return LocalMemory<wchar_t>(sid);
}

// Full access for the acting user and SYSTEM, for nobody else, and nothing
// inherited. Without it a named pipe's default DACL also grants read access to
// Everyone and the anonymous account.
LocalMemory<void> OwnerAndSystemOnly() {
  const LocalMemory<wchar_t> user = ActingUser();
  if (!user) return {};
  const std::wstring dacl = L"D:P(A;;GA;;;" + std::wstring(user.get()) + L")(A;;GA;;;SY)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(dacl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return {};
  }
  return LocalMemory<void>(descriptor);
}

// Whether another process serves the pipe that `writeEnd` leads into. Where
// the system does not tell (its documentation names the server's handle only),
// the bytes that follow decide.
bool ServedElsewhere(HANDLE writeEnd) {
  ULONG server = 0;
  return GetNamedPipeServerProcessId(writeEnd, &server) && server != GetCurrentProcessId();
}

}  // namespace

// A pipe that this process alone serves, or none: the caller then takes an
// anonymous pipe and its timed waits.
WatchedPipe::Failure WatchedPipe::Create(const SECURITY_ATTRIBUTES& attributes, HANDLE& readEnd,
                                         HANDLE& writeEnd) {
  const auto failed = [](const char16_t* step) { return Failure{step, GetLastError()}; };
  std::wstring name;
  const LocalMemory<void> descriptor = OwnerAndSystemOnly();
  if (!descriptor) return failed(u"Security descriptor of the output pipe");
  if (!RandomName(name)) return failed(u"Name of the output pipe");
  SECURITY_ATTRIBUTES secured = attributes;
  secured.lpSecurityDescriptor = descriptor.get();
  // One instance, first of its name, local clients only: an existing pipe of
  // the name refuses it (FILE_FLAG_FIRST_PIPE_INSTANCE: ERROR_ACCESS_DENIED),
  // and once this process has connected its own write end, nobody else can.
  // With 128 random bits in the name, that refusal means that another
  // process holds pipes under this process's names: the log says so.
  UniqueHandle server = Owning(CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kDefaultBufferSize, kDefaultBufferSize, 0, &secured));
  if (!server) return failed(u"CreateNamedPipe");
  // Identification level only: should the end lead to another server after
  // all, that server learns who connected but cannot act as this user.
  UniqueHandle client = Owning(CreateFileW(
      name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &secured, OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
  // Wine 8 makes a first instance beside another process's pipe of the same
  // open mode and connects a client to that pipe instead: whatever the
  // converter wrote would go there, and that process's writes here.
  if (!client) return failed(u"Opening the output pipe");
  if (ServedElsewhere(client.get())) return {u"The output pipe leads elsewhere; opening it", 0};
  auto watch = std::make_unique<WatchedPipe>(server.release());
  if (!watch->Open(client.get())) return failed(u"Checking the output pipe");
  readEnd = watch->pipe_;
  {
    Registry& registry = Watches();
    const std::lock_guard lock(registry.mutex);
    registry.watches[readEnd] = std::move(watch);
  }
  writeEnd = client.release();
  return {};
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

// The first read of no bytes, on a pipe that holds nothing yet, tells whether
// such reads wait here; kept pending, it is also the first wait.
bool WatchedPipe::Open(HANDLE writeEnd) {
  wake_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  reading_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (wake_ == nullptr || reading_ == nullptr || !Receives(writeEnd)) return false;
  wakes_ = Arm() == Armed::Pending;
  return true;
}

// Random bytes written through `writeEnd` arrive here whole, and are taken
// again, so that the converter's output starts clean. The write cannot wait:
// they fit this pipe's buffer, and a pipe that the system said another
// process serves was refused before.
bool WatchedPipe::Receives(HANDLE writeEnd) {
  unsigned char sent[kProbeBytes];
  char received[kProbeBytes];
  DWORD written = 0;
  DWORD available = 0;
  DWORD read = 0;
  return RandomBytes(sent, sizeof sent) &&
         WriteFile(writeEnd, sent, sizeof sent, &written, nullptr) && written == sizeof sent &&
         PeekNamedPipe(pipe_, nullptr, 0, nullptr, &available, nullptr) &&
         available == sizeof sent && Read(received, sizeof received, read) &&
         read == sizeof received && std::memcmp(sent, received, sizeof sent) == 0;
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
