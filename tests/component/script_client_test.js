// A late-bound client that nobody here wrote: Wine's JScript engine drives
// VorlenCOM.Vorlen by its ProgID. Arguments: the test converter's path and the
// file in which that converter records its command line.
var converter = WScript.Arguments(0);
var record = WScript.Arguments(1);
var failures = 0;

function check(condition, what) {
  if (!condition) {
    WScript.Echo("FAIL: " + what);
    failures++;
  }
}

function recorded() {
  var fso = new ActiveXObject("Scripting.FileSystemObject");
  var file = fso.OpenTextFile(record);
  var text = file.ReadLine();  // the command line; the arguments follow
  file.Close();
  return text.substring(text.indexOf(" --server") + 1);
}

var success = "lines:fin|success\\r\\n";
var v = new ActiveXObject("VorlenCOM.Vorlen");
v.SetVorlenPath(converter);
v.AddStyleSheet("a.css");
v.ClearStyleSheets();
v.SetHTML(true);
v.SetLog("");
v.SetBaseURL("");
v.SetXInclude(true);
v.SetEmbedFonts(true);
v.SetCompress(true);
v.SetEncryptInfo(40, "", "", false, false, false, false);
v.SetEncrypt(false);

var r = v.Convert(success);
check(r === 1, "Convert without pdfPath gives 1, got " + r);
check(typeof r === "number", "the result is a number, got " + typeof r);
check(recorded() === "--server -i html \"" + success + "\"", "command line: " + recorded());

r = v.Convert("lines:fin|failure\\r\\n", "out.pdf");
check(r === 0, "a failed conversion gives 0, got " + r);
check(recorded().slice(-9) === "\"out.pdf\"", "pdfPath is passed: " + recorded());

try {
  v.Convert("lines:msg|ab\\r\\n");
  check(false, "a malformed status line raises an error");
} catch (e) {
  check((e.number & 0xFFFF) === 5, "error 5, got " + (e.number & 0xFFFF));
  check(e.description === "Invalid procedure call or argument", "description: " + e.description);
}

v = null;
if (failures === 0) WScript.Echo("jscript: ok");
WScript.Quit(failures);
