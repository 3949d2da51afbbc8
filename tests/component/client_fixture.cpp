#include "client_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vorlen::test {

void ClientTest::SetUp() {
  apartment_.emplace();
  catcher_.emplace();
  ASSERT_EQ(OwnModule().canUnloadNow(), S_OK) << "left over from an earlier test";
}

void ClientTest::TearDown() {
  SetEnvironmentVariableW(L"VORLEN_TEST_RECORD", nullptr);
  if (!recordFile_.empty()) DeleteFileW(recordFile_.c_str());
  EXPECT_EQ(OwnModule().canUnloadNow(), S_OK) << "an object or a lock is left";
  catcher_.reset();
  apartment_.reset();
}

ComPtr<_Vorlen> ClientTest::Create() {
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(OwnModule().getClassObject(CLSID_Vorlen, IID_IClassFactory, factory.put_void()), S_OK);
  ComPtr<_Vorlen> object;
  if (factory) {
    EXPECT_EQ(factory->CreateInstance(nullptr, IID__Vorlen, object.put_void()), S_OK);
  }
  return object;
}

ComPtr<_Vorlen> ClientTest::CreateScripted() {
  ComPtr<_Vorlen> object = Create();
  if (object) {
    Bstr path((BinDir() + L"status_converter.exe").c_str());
    EXPECT_EQ(object->SetVorlenPath(path.get()), S_OK);
  }
  return object;
}

Bstr ClientTest::Scenario(const std::wstring& lines) {
  return Bstr((L"lines:" + lines).c_str());
}

void ClientTest::Record() {
  recordFile_ = TempDir() + L"command-line.txt";
  SetEnvironmentVariableW(L"VORLEN_TEST_RECORD", recordFile_.c_str());
}

std::string ClientTest::RecordedCommandLine() {
  std::ifstream in{std::filesystem::path(recordFile_)};
  std::string commandLine;
  std::getline(in, commandLine);
  in.close();
  DeleteFileW(recordFile_.c_str());
  const std::size_t server = commandLine.find(" --server");
  return server == std::string::npos ? "(no record)" : commandLine.substr(server + 1);
}

}  // namespace vorlen::test
