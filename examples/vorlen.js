// Converts one HTML document through VorlenCOM.Vorlen from JScript.
//   cscript //nologo vorlen.js C:\path\to\vorlen.exe input.html output.pdf
var args = WScript.Arguments;
var vorlen = new ActiveXObject("VorlenCOM.Vorlen");
vorlen.SetVorlenPath(args(0));
vorlen.SetHTML(true);
try {
  var result = vorlen.Convert(args(1), args(2));
  WScript.Echo(result === 1 ? "converted: " + args(2) : "not converted");
  WScript.Quit(result === 1 ? 0 : 1);
} catch (e) {
  // The component's errors arrive as 0x800A0000 + number: 5 for broken output.
  WScript.Echo("error " + (e.number & 0xFFFF) + ": " + e.description);
  WScript.Quit(3);
}
