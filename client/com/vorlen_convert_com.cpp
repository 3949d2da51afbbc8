// vorlen-convert.exe: the Windows twin of the native vorlen-convert. Same
// options and output, but it converts through the registered COM component
// VorlenCOM.Vorlen (or the one that its manifest names): early-bound through
// _Vorlen, events through the connection point. Exit codes: 0 converted,
// 1 not converted, 2 usage error, 3 the conversion raised an error (its number
// is printed), 4 the component cannot be created (not registered, say).
// Like the native client it finds the converter itself when no --converter is
// given (converter_lookup.h), and it prints the component's alerts to
// standard error, one line each, passwords masked, instead of leaving a box
// for someone to click.
#include <windows.h>

#include <ocidl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VorlenCOM.h"
#include "channel/masking.h"
#include "client/com/alert_relay.h"
#include "client/com/printing_sink.h"
#include "client/console_output.h"
#include "client/converter_lookup.h"
#include "client/options.h"
#include "component/bstr.h"
#include "component/com_ptr.h"
#include "job/command_line.h"
#include "job/settings.h"

namespace {

using vorlen::Text;
using vorlen::com::Bstr;
using vorlen::com::ComPtr;

class ComFailure {
 public:
  explicit ComFailure(HRESULT hr) : hr_(hr) {}
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

void Check(HRESULT hr) {
  if (FAILED(hr)) throw ComFailure(hr);
}

// The setters of the component, in the shape that client::Apply calls.
class ComSetters {
 public:
  explicit ComSetters(_Vorlen* object) : o_(object) {}
#define VORLEN_FORWARD(Setter, parameters, arguments) \
  void Setter(parameters) {                           \
    Check(o_->Setter(arguments));                     \
  }
#define VORLEN_FORWARD_TEXT(Setter, ...) VORLEN_FORWARD(Setter, const Text& t, Bstr(t).get())
#define VORLEN_FORWARD_FLAG(Setter, ...) VORLEN_FORWARD(Setter, std::int16_t f, f)
#define VORLEN_FORWARD_NONE(Setter, ...) VORLEN_FORWARD(Setter, , )
#define VORLEN_FORWARD_RECORD(Setter, ...)             \
  VORLEN_FORWARD(Setter, VORLEN_ENCRYPTION_PARAMETERS, \
                 VORLEN_ENCRYPTION(VORLEN_SAME, VORLEN_BSTR, VORLEN_SAME))
#define VORLEN_BSTR(name) Bstr(name).get()
  VORLEN_SETTERS(VORLEN_FORWARD_TEXT, VORLEN_FORWARD_FLAG, VORLEN_FORWARD_NONE,
                 VORLEN_FORWARD_RECORD)

 private:
  _Vorlen* o_;
};

Text FromWide(const std::wstring& wide) {
  Text text(wide.size(), u'\0');
  std::memcpy(text.data(), wide.data(), text.size() * sizeof(char16_t));
  return text;
}

std::vector<Text> Arguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<Text> args;
  for (int i = 1; argv && i < count; ++i) {
    args.push_back(FromWide(argv[i]));
  }
  LocalFree(argv);
  return args;
}

class Apartment {
 public:
  Apartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

// The error's number and description, as the native client prints them.
int ReportError(HRESULT hr) {
  std::string description = "failed";
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) == S_OK) {
    Bstr text;
    if (SUCCEEDED(info->GetDescription(text.slot())) && text.get()) {
      description = vorlen::ToUtf8(text.text());
    }
  }
  char number[16];
  if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
    std::snprintf(number, sizeof number, "%d", static_cast<int>(HRESULT_CODE(hr)));
  } else {
    std::snprintf(number, sizeof number, "0x%08lX", static_cast<unsigned long>(hr));
  }
  vorlen::client::Print(stderr,
                        "vorlen-convert: error " + std::string(number) + ": " + description + "\n");
  return 3;
}

// The converter found for an invocation that names none: empty when none is
// found, and the component is left without one.
Text ConverterFound(const vorlen::client::Invocation& invocation) {
  if (invocation.NamesConverter()) return Text();
  const auto found = vorlen::client::FindConverter(nullptr);
  return found ? FromWide(found->wstring()) : Text();
}

// One line on standard error: the box's text with its passwords masked
// (standard error ends up in logs) and its line breaks made blanks.
void PrintAlert(const std::wstring& shown, const Text& encryptionFragment) {
  Text line = vorlen::MaskPasswordsIn(FromWide(shown), encryptionFragment);
  for (char16_t& c : line) {
    if (c == u'\r' || c == u'\n') c = u' ';
  }
  vorlen::client::Print(stderr, vorlen::ToUtf8(line) + "\n");
}

int Run(const vorlen::client::Invocation& invocation) {
  // The component's settings, kept here too: the command line and the
  // encryption fragment are the component's private business, and the same
  // settings give the same ones here.
  vorlen::Settings settings;
  const Text converter = ConverterFound(invocation);
  if (!converter.empty()) settings.SetVorlenPath(converter);
  for (const auto& call : invocation.calls) vorlen::client::Apply(call, settings);

  if (invocation.printCommandLine) {
    const Text line = vorlen::BuildCommandLine(settings, invocation.input, invocation.output);
    vorlen::client::Print(stdout, vorlen::ToUtf8(line) + "\n");
    return 0;
  }

  Apartment apartment;
  ComPtr<_Vorlen> object;
  const HRESULT created = FAILED(apartment.hr())
                              ? apartment.hr()
                              : CoCreateInstance(CLSID_Vorlen, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID__Vorlen, object.put_void());
  if (FAILED(created)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(created));
    vorlen::client::Print(stderr, "vorlen-convert: cannot create VorlenCOM.Vorlen (" +
                                      std::string(code) +
                                      "); install VORLEN or register VORLEN.dll with regsvr32\n");
    return 4;
  }
  try {
    ComSetters setters(object.get());
    if (!converter.empty()) setters.SetVorlenPath(converter);
    for (const auto& call : invocation.calls) vorlen::client::Apply(call, setters);

    vorlen::client::PrintingSink sink;
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    Check(object.As(IID_IConnectionPointContainer, container));
    Check(container->FindConnectionPoint(DIID___Vorlen, point.put()));
    Check(point->Advise(&sink, &cookie));

    LONG result = 0;
    const Bstr input(invocation.input), output(invocation.output);
    const Text fragment = settings.encrypt ? settings.encryptArgs : Text();
    HRESULT hr = S_OK;
    {
      const vorlen::client::AlertRelay relay(
          [&fragment](const std::wstring& shown) { PrintAlert(shown, fragment); });
      hr = object->Convert(input.get(), output.get(), &result);
    }
    point->Unadvise(cookie);
    if (FAILED(hr)) return ReportError(hr);
    return result == 1 ? 0 : 1;
  } catch (const ComFailure& failure) {
    return ReportError(failure.hr());
  }
}

}  // namespace

int main() {
  try {
    auto read = vorlen::client::ReadCommandLine(Arguments());
    if (const int* code = std::get_if<int>(&read)) return *code;
    return Run(std::get<vorlen::client::Invocation>(read));
  } catch (const std::exception& e) {
    vorlen::client::Print(stderr, std::string("vorlen-convert: ") + e.what() + "\n");
    return 3;
  }
}
