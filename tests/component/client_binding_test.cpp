// A C++ client of VORLEN.dll: the class object and the module's counts, the
// object's interfaces, early- and late-bound calls, and error 5 through both
// bindings.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "client_fixture.h"

namespace vorlen::test {
namespace {

constexpr HRESULT kError5 = static_cast<HRESULT>(0x800A0005);
constexpr DISPID kConvert = 0x60030002;
constexpr DISPID kSetEncryptInfo = 0x60030012;

// A VARIANT that clears itself.
struct Var : VARIANT {
  Var() { VariantInit(this); }
  explicit Var(const wchar_t* text) : Var() {
    vt = VT_BSTR;
    bstrVal = SysAllocString(text);
  }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  ~Var() { VariantClear(this); }
};

struct Excep : EXCEPINFO {
  Excep() : EXCEPINFO{} {}
  Excep(const Excep&) = delete;
  Excep& operator=(const Excep&) = delete;
  ~Excep() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

using ClassObject = ClientTest;

TEST_F(ClassObject, CountsObjectsAndLocksAndRefusesOtherClassesAndAggregation) {
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(OwnModule().getClassObject(IID__Vorlen, IID_IClassFactory, &none),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(none, nullptr);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(OwnModule().getClassObject(CLSID_Vorlen, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(OwnModule().canUnloadNow(), S_OK) << "a reference to the class object alone";

  ComPtr<IUnknown> outer(factory.get());
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, aggregated.put_void()),
            CLASS_E_NOAGGREGATION);
  EXPECT_FALSE(aggregated);

  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(OwnModule().canUnloadNow(), S_FALSE);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(OwnModule().canUnloadNow(), S_OK);

  ComPtr<_Vorlen> first, second;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID__Vorlen, first.put_void()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, second.put_void()), S_OK);
  EXPECT_EQ(OwnModule().canUnloadNow(), S_FALSE);
  first.Reset();
  EXPECT_EQ(OwnModule().canUnloadNow(), S_FALSE);
  second.Reset();
  EXPECT_EQ(OwnModule().canUnloadNow(), S_OK);

  ComPtr<IUnknown> none2;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IPersist, none2.put_void()), E_NOINTERFACE);
}

using Interfaces = ClientTest;

TEST_F(Interfaces, AnswersItsInterfacesWithOneIdentity) {
  ComPtr<_Vorlen> object = Create();
  ASSERT_TRUE(object);
  ComPtr<IUnknown> identity;
  ASSERT_EQ(object.As(IID_IUnknown, identity), S_OK);
  for (const IID* iid : {&IID_IDispatch, &IID__Vorlen, &IID_IConnectionPointContainer,
                         &IID_ISupportErrorInfo, &IID_IProvideClassInfo, &IID_IProvideClassInfo2}) {
    ComPtr<IUnknown> answer, again;
    ASSERT_EQ(object.As(*iid, answer), S_OK) << Narrow(GuidText(*iid));
    ASSERT_EQ(answer.As(IID_IUnknown, again), S_OK);
    EXPECT_EQ(again.get(), identity.get());
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(object.As(IID_IPersist, none), E_NOINTERFACE);
  EXPECT_EQ(object.As(DIID___Vorlen, none), E_NOINTERFACE) << "the event interface is outgoing";

  ComPtr<IProvideClassInfo2> classInfo;
  ASSERT_EQ(object.As(IID_IProvideClassInfo2, classInfo), S_OK);
  GUID source{};
  EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
  EXPECT_TRUE(IsEqualGUID(source, DIID___Vorlen));
  EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &source), E_INVALIDARG);
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(classInfo->GetClassInfo(coclass.put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, CLSID_Vorlen));
  coclass->ReleaseTypeAttr(attr);

  ComPtr<ISupportErrorInfo> errors;
  ASSERT_EQ(object.As(IID_ISupportErrorInfo, errors), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__Vorlen), S_OK);
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

  UINT count = 0;
  EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK);
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID__Vorlen));
  info->ReleaseTypeAttr(attr);
  EXPECT_EQ(object->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
}

using EarlyBound = ClientTest;

TEST_F(EarlyBound, EverySetterReachesTheCommandLine) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  Bstr css(L"a b.css"), log(L"c:\\logs\\run.log"), url(L"http://example.org/x/"), user(L"u"),
      owner(L"o");
  EXPECT_EQ(object->AddStyleSheet(css.get()), S_OK);
  EXPECT_EQ(object->AddStyleSheet(nullptr), S_OK) << "a null string counts as empty";
  EXPECT_EQ(object->SetEncryptInfo(128, user.get(), owner.get(), VARIANT_TRUE, 0, 1, 0), S_OK);
  EXPECT_EQ(object->SetEncrypt(VARIANT_FALSE), S_OK);
  EXPECT_EQ(object->SetEncrypt(VARIANT_TRUE), S_OK);
  EXPECT_EQ(object->SetHTML(VARIANT_TRUE), S_OK);
  EXPECT_EQ(object->SetLog(log.get()), S_OK);
  EXPECT_EQ(object->SetBaseURL(url.get()), S_OK);
  EXPECT_EQ(object->SetXInclude(VARIANT_FALSE), S_OK);
  EXPECT_EQ(object->SetEmbedFonts(VARIANT_FALSE), S_OK);
  EXPECT_EQ(object->SetCompress(VARIANT_FALSE), S_OK);

  const Bstr input = Recording(L"fin|success\\r\\n");
  Bstr output(L"out.pdf");
  LONG result = -7;
  ASSERT_EQ(object->Convert(input.get(), output.get(), &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(RecordedCommandLine(),
            "--server -s \"a b.css\" -s \"\" --encrypt  --key-bits  128 --user-password=\"u\" "
            "--owner-password=\"o\" --disallow-print --disallow-copy -i html "
            "--log=\"c:\\logs\\run.log\" --baseurl=\"http://example.org/x/\" --no-xinclude "
            "--no-embed-fonts --no-compress \"" +
                Narrow(input.get()) + "\" \"out.pdf\"");

  EXPECT_EQ(object->ClearStyleSheets(), S_OK);
  EXPECT_EQ(object->SetEncrypt(0), S_OK);
  EXPECT_EQ(object->SetHTML(0), S_OK);
  EXPECT_EQ(object->SetLog(nullptr), S_OK);
  EXPECT_EQ(object->SetBaseURL(nullptr), S_OK);
  EXPECT_EQ(object->SetXInclude(VARIANT_TRUE), S_OK);
  EXPECT_EQ(object->SetEmbedFonts(VARIANT_TRUE), S_OK);
  EXPECT_EQ(object->SetCompress(VARIANT_TRUE), S_OK);
  const Bstr again = Recording(L"fin|failure\\r\\n");
  ASSERT_EQ(object->Convert(again.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(RecordedCommandLine(), "--server \"" + Narrow(again.get()) + "\"");
  EXPECT_TRUE(alerts().empty());
}

TEST_F(EarlyBound, ErrorFiveLeavesConvertWithErrorInfoAndResultZero) {
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  const Bstr input = Scenario(L"msg|abc\\r\\nfin|success\\r\\n");  // a body of three characters
  LONG result = -7;
  EXPECT_EQ(object->Convert(input.get(), nullptr, &result), kError5);
  EXPECT_EQ(result, 0);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  Bstr description, source;
  GUID guid{};
  info->GetDescription(description.slot());
  info->GetSource(source.slot());
  info->GetGUID(&guid);
  EXPECT_EQ(Narrow(description.get()), "Invalid procedure call or argument");
  EXPECT_EQ(Narrow(source.get()), "VorlenCOM.Vorlen");
  EXPECT_TRUE(IsEqualGUID(guid, IID__Vorlen));

  // The object stays usable.
  const Bstr good = Scenario(L"fin|success\\r\\n");
  EXPECT_EQ(object->Convert(good.get(), nullptr, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(object->Convert(good.get(), nullptr, nullptr), E_POINTER);
}

// Argument safety. In code page 1252 best fit makes U+FF02 a double quote,
// U+FF3C a backslash and U+0141 an L; the curly quotes are in the code page.
TEST_F(EarlyBound, EveryValueReachesTheConverterWholeAsOneArgument) {
  if (GetACP() != 1252) GTEST_SKIP() << "the expectations are those of code page 1252";
  ComPtr<_Vorlen> object = CreateScripted();
  ASSERT_TRUE(object);
  const std::wstring css = L"a\uFF02 --encrypt --user-password=\uFF02x";
  const std::wstring user = L"p\uFF3C", owner = L"\u201Cq\u201D\\";
  const std::wstring log = L"out\uFF02 --log=\uFF02C:\\evil.txt";
  const std::wstring url = L"http://h/\u0141\\\\";
  const std::wstring pdf = L"out\u0141.pdf\uFF3C";
  EXPECT_EQ(object->AddStyleSheet(Bstr(css.c_str()).get()), S_OK);
  EXPECT_EQ(
      object->SetEncryptInfo(128, Bstr(user.c_str()).get(), Bstr(owner.c_str()).get(), 0, 0, 0, 0),
      S_OK);
  EXPECT_EQ(object->SetLog(Bstr(log.c_str()).get()), S_OK);
  EXPECT_EQ(object->SetBaseURL(Bstr(url.c_str()).get()), S_OK);
  const Bstr input = Recording(L"fin|success\\r\\n\uFF02 --no-compress \uFF02\uFF3C");
  LONG result = -7;
  ASSERT_EQ(object->Convert(input.get(), Bstr(pdf.c_str()).get(), &result), S_OK);
  EXPECT_EQ(result, 1);
  // What the code page lacks arrives as its default character.
  const auto lacking = [](std::wstring value) {
    for (wchar_t& c : value) {
      if (c == 0xFF02 || c == 0xFF3C || c == 0x0141) c = L'?';
    }
    return value;
  };
  EXPECT_EQ(RecordedArguments(),
            (std::vector<std::wstring>{L"--server", L"-s", lacking(css), L"--encrypt",
                                       L"--key-bits", L"128", L"--user-password=" + lacking(user),
                                       L"--owner-password=" + owner, L"--log=" + lacking(log),
                                       L"--baseurl=" + lacking(url), lacking(input.get()),
                                       lacking(pdf)}));
  EXPECT_TRUE(alerts().empty());
}

TEST_F(EarlyBound, ANulInAnyValueStartsNothingAndFailsWithErrorFive) {
  const Bstr nul(Text(u"a\0b", 3)), plain(L"p");
  using Run = std::function<HRESULT(_Vorlen*, BSTR input, LONG * result)>;
  const auto convertAfter = [](std::function<HRESULT(_Vorlen*)> set) -> Run {
    return [set](_Vorlen* o, BSTR input, LONG* result) {
      EXPECT_EQ(set(o), S_OK) << "setters do not fail";
      return o->Convert(input, nullptr, result);
    };
  };
  const std::pair<std::string, Run> cases[] = {
      {"exePath", convertAfter([&](_Vorlen* o) { return o->SetVorlenPath(nul.get()); })},
      {"cssPath", convertAfter([&](_Vorlen* o) { return o->AddStyleSheet(nul.get()); })},
      {"userPassword", convertAfter([&](_Vorlen* o) {
         return o->SetEncryptInfo(40, nul.get(), plain.get(), 0, 0, 0, 0);
       })},
      {"ownerPassword", convertAfter([&](_Vorlen* o) {
         return o->SetEncryptInfo(40, plain.get(), nul.get(), 0, 0, 0, 0);
       })},
      {"logFile", convertAfter([&](_Vorlen* o) { return o->SetLog(nul.get()); })},
      {"baseurl", convertAfter([&](_Vorlen* o) { return o->SetBaseURL(nul.get()); })},
      {"xmlPath", [&](_Vorlen* o, BSTR, LONG* r) { return o->Convert(nul.get(), nullptr, r); }},
      {"pdfPath", [&](_Vorlen* o, BSTR in, LONG* r) { return o->Convert(in, nul.get(), r); }},
  };
  for (const auto& [name, run] : cases) {
    ComPtr<_Vorlen> object = CreateScripted();
    ASSERT_TRUE(object);
    const Bstr input = Recording(L"fin|success\\r\\n");
    LONG result = -7;
    EXPECT_EQ(run(object.get(), input.get(), &result), kError5) << name;
    EXPECT_EQ(result, 0);
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK) << name;
    Bstr description;
    info->GetDescription(description.slot());
    EXPECT_EQ(Narrow(description.get()),
              "Invalid procedure call or argument: " + name + " holds a NUL character");
    EXPECT_EQ(RecordedCommandLine(), "(no record)") << name << ": the converter was started";
  }
  EXPECT_TRUE(alerts().empty());
}

class LateBound : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    object_ = CreateScripted();
    ASSERT_TRUE(object_);
    ASSERT_EQ(object_.As(IID_IDispatch, dispatch_), S_OK);
  }
  void TearDown() override {
    dispatch_.Reset();
    object_.Reset();
    ClientTest::TearDown();
  }
  // Invoke with arguments given in call order.
  HRESULT Call(DISPID id, std::vector<VARIANT*> args, VARIANT* result,
               EXCEPINFO* exception = nullptr, std::vector<DISPID> named = {}) {
    std::vector<VARIANTARG> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(**it);
    DISPPARAMS params{reversed.data(), named.data(), static_cast<UINT>(reversed.size()),
                      static_cast<UINT>(named.size())};
    UINT argError = 0;
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                             exception, &argError);
  }
  DISPID IdOf(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    return id;
  }

  ComPtr<_Vorlen> object_;
  ComPtr<IDispatch> dispatch_;
};

TEST_F(LateBound, ConvertByNameAndByIdentifierReturnsALong) {
  EXPECT_EQ(IdOf(L"Convert"), kConvert);
  EXPECT_EQ(IdOf(L"SetEncryptInfo"), kSetEncryptInfo);
  EXPECT_EQ(IdOf(L"setvorlenpath"), 0x60030008);

  Var input(Recording(L"fin|success\\r\\n").get());
  Var result;
  ASSERT_EQ(Call(IdOf(L"Convert"), {&input}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_I4);
  EXPECT_EQ(V_I4(&result), 1) << "the integer 1, not the boolean true";
  EXPECT_EQ(RecordedCommandLine(), "--server \"" + Narrow(V_BSTR(&input)) + "\"")
      << "an omitted pdfPath arrives as the empty text";

  Var failing(Recording(L"fin|failure\\r\\n").get()), output(L"o.pdf");
  Var second;
  ASSERT_EQ(Call(kConvert, {&failing, &output}, &second), S_OK);
  EXPECT_EQ(V_VT(&second), VT_I4);
  EXPECT_EQ(V_I4(&second), 0);
  EXPECT_EQ(RecordedCommandLine(), "--server \"" + Narrow(V_BSTR(&failing)) + "\" \"o.pdf\"");
}

TEST_F(LateBound, NamedArgumentsAndConvertedArgumentTypes) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Convert"), const_cast<LPOLESTR>(L"pdfPath"),
                      const_cast<LPOLESTR>(L"xmlPath")};
  DISPID ids[3] = {};
  ASSERT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(ids[0], kConvert);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);

  // Flags and the key length arrive through Automation's conversions: a long
  // for the short, a string for a boolean.
  Var bits, user(L"u"), owner(L"o"), print, modify(L"True"), copy, annotate;
  V_VT(&bits) = VT_I4;
  V_I4(&bits) = 40;
  V_VT(&print) = VT_BOOL;
  V_BOOL(&print) = VARIANT_FALSE;
  V_VT(&copy) = VT_I2;
  V_I2(&copy) = 0;
  V_VT(&annotate) = VT_BOOL;
  V_BOOL(&annotate) = VARIANT_TRUE;
  Var none;
  ASSERT_EQ(Call(kSetEncryptInfo, {&bits, &user, &owner, &print, &modify, &copy, &annotate}, &none),
            S_OK);

  // Named: the array's first entry is xmlPath, the second pdfPath, the
  // reverse of what their positions would say.
  Var input(Recording(L"fin|success\\r\\n").get()), output(L"named.pdf");
  Var result;
  ASSERT_EQ(Call(kConvert, {&output, &input}, &result, nullptr, {0, 1}), S_OK);
  EXPECT_EQ(V_I4(&result), 1);
  EXPECT_EQ(RecordedCommandLine(),
            "--server --encrypt  --key-bits  40 --user-password=\"u\" --owner-password=\"o\" "
            "--disallow-modify --disallow-annotate \"" +
                Narrow(V_BSTR(&input)) + "\" \"named.pdf\"");

  Var onlyInput(Recording(L"fin|success\\r\\n").get());
  ASSERT_EQ(Call(kConvert, {&onlyInput}, &result, nullptr, {0}), S_OK);
  EXPECT_EQ(RecordedCommandLine().find("named.pdf"), std::string::npos);

  Var tooMany(L"x");
  EXPECT_EQ(Call(0x60030009, {&tooMany, &tooMany}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(0x60030003, {}, &result), DISP_E_MEMBERNOTFOUND);
  DISPPARAMS empty{};
  EXPECT_EQ(dispatch_->Invoke(kConvert, IID_IDispatch, 0, DISPATCH_METHOD, &empty, nullptr, nullptr,
                              nullptr),
            DISP_E_UNKNOWNINTERFACE);
}

// Null arrays with non-zero counts, which the system's dispatch would read.
TEST_F(LateBound, NullArraysFailInsteadOfEndingTheHost) {
  Var input(L"in.xml");
  DISPID named = 0;
  DISPPARAMS noArgs{nullptr, nullptr, 1, 0}, noNames{&input, nullptr, 1, 1};
  DISPPARAMS neither{nullptr, &named, 1, 1};
  for (DISPPARAMS* params : {&noArgs, &noNames, &neither}) {
    EXPECT_EQ(dispatch_->Invoke(kConvert, IID_NULL, 0, DISPATCH_METHOD, params, nullptr, nullptr,
                                nullptr),
              E_INVALIDARG);
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Convert")};
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr), E_POINTER);
  DISPID id = 0;
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_POINTER);
  EXPECT_EQ(RecordedCommandLine(), "(no record)");
}

TEST_F(LateBound, ErrorFiveArrivesAsAnException) {
  Var input(Scenario(L"\\r\\n").get());  // an empty status line
  Var result;
  Excep exception;
  ASSERT_EQ(Call(kConvert, {&input}, &result, &exception), DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, kError5);
  EXPECT_EQ(Narrow(exception.bstrDescription), "Invalid procedure call or argument");
  EXPECT_EQ(Narrow(exception.bstrSource), "VorlenCOM.Vorlen");
}

}  // namespace
}  // namespace vorlen::test
