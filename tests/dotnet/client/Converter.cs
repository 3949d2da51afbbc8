// The test converter (status_converter.exe): its input path "lines:..." is
// the status output it writes, and it records its arguments in the file that
// VORLEN_TEST_RECORD names.
using System;
using System.IO;
using System.Linq;

namespace Vorlen.ClientTests
{
    internal sealed class Converter
    {
        public Converter(string path, string record)
        {
            Path = path;
            this.record = record;
        }

        public string Path { get; }
        private readonly string record;

        // The status lines, each ended with CR LF, as the converter's input path.
        public static string Script(params string[] lines) =>
            "lines:" + string.Concat(lines.Select(line => line + "\\r\\n"));

        // The arguments of the last run, after the program's own path.
        public string Arguments()
        {
            string[] lines = File.ReadAllText(record).Split('\n');
            return string.Join(" ", lines.Skip(1).Select(line => line.Substring("arg=".Length)));
        }
    }
}
