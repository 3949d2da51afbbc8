// Who can reach a run's output pipe. Its DACL names the owner and SYSTEM
// only. Its name is random; made predictable here, a name that another
// program holds, as a plain pipe or with a forger behind it, costs the run
// only the wait on its output, and the forger's lines are never trusted.
#include <windows.h>

#include <aclapi.h>
#include <bcrypt.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/runner/support.h"

namespace vorlen::test {
namespace {

struct LocalFreer {
  void operator()(void* memory) const { LocalFree(memory); }
};

// What every request for random bytes gets while names are predictable.
NTSTATUS WINAPI KnownBytes(BCRYPT_ALG_HANDLE, PUCHAR buffer, ULONG size, ULONG) {
  for (ULONG i = 0; i < size; ++i) buffer[i] = static_cast<UCHAR>(0xA0 + i);
  return 0;
}

// While it lives, this program's import of BCryptGenRandom (the runner is
// linked in) answers with KnownBytes: the name of the next run's pipe is known.
class PredictableNames {
 public:
  PredictableNames() : slot_(ImportSlot("bcrypt.dll", "BCryptGenRandom")) {
    if (slot_ != nullptr) previous_ = Exchange(reinterpret_cast<ULONG_PTR>(&KnownBytes));
  }
  ~PredictableNames() {
    if (slot_ != nullptr) Exchange(previous_);
  }
  PredictableNames(const PredictableNames&) = delete;
  PredictableNames& operator=(const PredictableNames&) = delete;
  explicit operator bool() const { return slot_ != nullptr; }

  static std::string Name() {
    std::string name = "\\\\.\\pipe\\vorlen-";
    for (int i = 0; i < 16; ++i) name += "a" + std::string(1, "0123456789abcdef"[i]);
    return name;
  }

 private:
  static ULONG_PTR* ImportSlot(const char* dll, const char* function) {
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         d->Name != 0; ++d) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
      auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) == 0) {
          return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
        }
      }
    }
    return nullptr;
  }
  ULONG_PTR Exchange(ULONG_PTR target) {
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    const ULONG_PTR previous = *slot_;
    *slot_ = target;
    VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    return previous;
  }

  ULONG_PTR* slot_;
  ULONG_PTR previous_ = 0;
};

// The test program that holds `name` (see pipe_forger.cpp) while this lives.
class NameHolder {
 public:
  NameHolder(const std::string& mode, const std::string& name) {
    std::string line = "\"" + ProgramBesideTests("runner_pipe_forger") + "\" " + mode + " " + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      return;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    for (int waited = 0; waited < 10000; waited += 10) {
      if (WaitNamedPipeA(name.substr(0, name.find(' ')).c_str(), 1) ||
          GetLastError() != ERROR_FILE_NOT_FOUND) {
        holds_ = true;
        return;
      }
      Sleep(10);
    }
  }
  ~NameHolder() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 0);
    WaitForSingleObject(process_, 5000);
    CloseHandle(process_);
  }
  NameHolder(const NameHolder&) = delete;
  NameHolder& operator=(const NameHolder&) = delete;
  explicit operator bool() const { return holds_; }

 private:
  HANDLE process_ = nullptr;
  bool holds_ = false;
};

std::vector<unsigned char> TokenUserSid() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  GetTokenInformation(token, TokenUser, user.data(), size, &size);
  CloseHandle(token);
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return std::vector<unsigned char>(bytes, bytes + GetLengthSid(sid));
}

TEST(Win32Pipe, OutputPipeIsOpenToItsOwnerAndSystemOnly) {
  Platform& platform = SystemPlatform();
  const Pipe pipe = platform.CreatePipe(PipeDirection::FromChild);
  ASSERT_TRUE(pipe);
  ASSERT_EQ(platform.OutputWaitRoute(pipe.read->handle), WaitRoute::ZeroByteRead) << "named";
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  ASSERT_EQ(GetSecurityInfo(reinterpret_cast<HANDLE>(pipe.read->handle), SE_KERNEL_OBJECT,
                            DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &raw),
            static_cast<DWORD>(ERROR_SUCCESS));
  const std::unique_ptr<void, LocalFreer> descriptor(raw);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(raw, &control, &revision));
  EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing inherited";
  ASSERT_NE(dacl, nullptr);
  ASSERT_EQ(dacl->AceCount, 2);
  unsigned char system[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof system;
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));
  std::vector<unsigned char> owner = TokenUserSid();
  bool ownerSeen = false, systemSeen = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    ASSERT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_TRUE((allowed->Mask & GENERIC_ALL) != 0 ||
                (allowed->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS);
    const PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    ownerSeen = ownerSeen || EqualSid(sid, owner.data());
    systemSeen = systemSeen || EqualSid(sid, system);
  }
  EXPECT_TRUE(ownerSeen);
  EXPECT_TRUE(systemSeen);
}

class Win32PipeNames : public ScriptedJob<CountingPlatform> {
 protected:
  void SetUp() override {
    ScriptedJob::SetUp();
    if (ProgramBesideTests("runner_pipe_forger").empty()) GTEST_SKIP() << "no pipe forger";
  }
  enum class Outcome { Real, Forged, Failed };
  // Converts with the real converter's lines: Real when they, and only they,
  // arrived; Forged when the run succeeded without them.
  Outcome Convert(int i) {
    sink->events.clear();
    const std::string text = std::to_string(i);
    const std::int32_t result = Play("s=20;o=msg|inf|real|" + text + "\\r\\nfin|success\\r\\n");
    if (result != 1) return Outcome::Failed;
    return sink->events == std::vector<Event>{{u"inf", u"real", FromUtf8(text)}} ? Outcome::Real
                                                                                 : Outcome::Forged;
  }
  void ExpectAllClosed() {
    EXPECT_TRUE(platform.open.empty());
    EXPECT_EQ(platform.released, platform.started);
    EXPECT_EQ(platform.alerts, std::vector<CaughtAlert>{});
  }
};

// Wine 8 makes the run's first instance beside a forger's pipe of the same
// open mode and connects the converter's end to the forger's instance; the
// forger's own writes reach the run's instance. On Windows the first-instance
// flag refuses the name. Either way the run takes the anonymous pipe.
TEST_F(Win32PipeNames, AForgerBehindTheNameIsNeverTrusted) {
  const PredictableNames predictable;
  ASSERT_TRUE(predictable);
  const NameHolder forger("forge", PredictableNames::Name());
  ASSERT_TRUE(forger);
  constexpr int kRuns = 16;
  int outcomes[3] = {};
  for (int i = 0; i < kRuns; ++i) ++outcomes[static_cast<int>(Convert(i))];
  EXPECT_EQ(outcomes[0], kRuns) << "trusted to the forger: " << outcomes[1]
                                << ", failed: " << outcomes[2];
  ExpectAllClosed();
}

TEST_F(Win32PipeNames, ANameHeldByAPlainPipeStillConverts) {
  const PredictableNames predictable;
  ASSERT_TRUE(predictable);
  const NameHolder squatter("squat", PredictableNames::Name());
  ASSERT_TRUE(squatter);
  EXPECT_EQ(Convert(0), Outcome::Real);
  ExpectAllClosed();
  EXPECT_EQ(platform.created.size(), 4u) << "the anonymous pipe in the named one's place";
  const Pipe pipe = SystemPlatform().CreatePipe(PipeDirection::FromChild);
  ASSERT_TRUE(pipe);
  EXPECT_EQ(SystemPlatform().OutputWaitRoute(pipe.read->handle), WaitRoute::Timed);
}

}  // namespace
}  // namespace vorlen::test
