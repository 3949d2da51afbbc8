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

ComPtr<IConnectionPoint> ClientTest::PointOf(_Vorlen* object) {
  ComPtr<IConnectionPointContainer> container;
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(object->QueryInterface(IID_IConnectionPointContainer, container.put_void()), S_OK);
  if (container) {
    EXPECT_EQ(container->FindConnectionPoint(DIID___Vorlen, point.put()), S_OK);
  }
  return point;
}

Bstr ClientTest::Scenario(const std::wstring& lines) {
  return Bstr((L"lines:" + lines).c_str());
}

void ClientTest::Record() {
  recordFile_ = TempDir() + L"command-line.txt";
  SetEnvironmentVariableW(L"VORLEN_TEST_RECORD", recordFile_.c_str());
}

std::vector<std::string> ClientTest::TakeRecord() {
  std::ifstream in{std::filesystem::path(recordFile_), std::ios::binary};
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  in.close();
  DeleteFileW(recordFile_.c_str());
  return lines;
}

std::string ClientTest::RecordedCommandLine() {
  const std::vector<std::string> lines = TakeRecord();
  const std::size_t server = lines.empty() ? std::string::npos : lines[0].find(" --server");
  return server == std::string::npos ? "(no record)" : lines[0].substr(server + 1);
}

std::vector<std::wstring> ClientTest::RecordedArguments() {
  std::vector<std::wstring> arguments;
  for (const std::string& line : TakeRecord()) {
    if (line.rfind("arg=", 0) != 0) continue;
    // In the system's code page, as the converter received it.
    std::wstring text(line.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_ACP, 0, line.data() + 4, static_cast<int>(line.size() - 4),
                                    text.data(), static_cast<int>(text.size())));
    arguments.push_back(text);
  }
  return arguments;
}

}  // namespace vorlen::test
