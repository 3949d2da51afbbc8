#pragma once
// The fixture of the C++ client tests: an apartment, the alert catcher, and
// objects made through the module's own class object. Every test ends with
// DllCanUnloadNow giving S_OK: no object and no lock may be left.
#include <windows.h>

#include <olectl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "VorlenCOM.h"
#include "alert_catcher.h"
#include "component/bstr.h"
#include "support.h"

namespace vorlen::test {

using com::Bstr;

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ComPtr<_Vorlen> Create();
  // An object whose converter is status_converter.exe.
  ComPtr<_Vorlen> CreateScripted();
  // The object's connection point for __Vorlen.
  static ComPtr<IConnectionPoint> PointOf(_Vorlen* object);
  // Input "path" for status_converter.exe: the status lines it writes.
  static Bstr Scenario(const std::wstring& lines);
  // The converter's command line of the conversions that follow is recorded
  // in a fresh file; RecordedCommandLine gives it without the program path.
  void Record();
  std::string RecordedCommandLine();
  // The arguments after the program, as the converter received them.
  std::vector<std::wstring> RecordedArguments();
  Bstr Recording(const std::wstring& lines) {
    Record();
    return Scenario(lines);
  }

  const std::vector<std::string>& alerts() const { return catcher_->alerts(); }

 private:
  std::optional<Apartment> apartment_;
  std::optional<AlertCatcher> catcher_;
  std::vector<std::string> TakeRecord();  // its lines; the file goes
  std::wstring recordFile_;
};

}  // namespace vorlen::test
