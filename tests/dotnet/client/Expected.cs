// Converter scripts and the arguments that the settings of the tests give.
namespace Vorlen.ClientTests
{
    internal static class Expected
    {
        public static readonly string Success = Converter.Script("fin|success");
        public static readonly string Failure = Converter.Script("fin|failure");
        // A status line too short for the line format: error 5.
        public static readonly string Malformed = Converter.Script("msg|ab");
        public const int Error5 = unchecked((int)0x800A0005);

        // Style sheet a.css, HTML, log l.txt, base URL b/, XInclude, font
        // embedding and compression off, then 128-bit encryption with every
        // permission withheld.
        public const string AllButEncryption =
            "--server -s a.css -i html --log=l.txt --baseurl=b/ --no-xinclude --no-embed-fonts --no-compress ";
        public const string AllOptions =
            "--server -s a.css --encrypt --key-bits 128 --user-password=u --owner-password=o --disallow-print " +
            "--disallow-modify --disallow-copy --disallow-annotate -i html --log=l.txt --baseurl=b/ --no-xinclude " +
            "--no-embed-fonts --no-compress ";
    }
}
