// A managed sink for the Message event: keeps what arrives, in order, with
// the thread it arrived on, and overwrites every argument, which the
// component must ignore.
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Threading;
using VorlenCOM;

namespace Vorlen.ClientTests
{
    [ComVisible(true)]
    [ClassInterface(ClassInterfaceType.None)]
    [ComDefaultInterface(typeof(__Vorlen))]
    public sealed class RecordingSink : __Vorlen
    {
        private readonly List<string> messages = new List<string>();
        private readonly HashSet<int> threads = new HashSet<int>();

        public void Message(ref string msgType, ref string msgLocation, ref string msg)
        {
            lock (messages)
            {
                messages.Add($"{msgType}|{msgLocation}|{msg}");
                threads.Add(Environment.CurrentManagedThreadId);
            }
            msgType = "changed";
            msgLocation = null!;
            msg = new string('x', 1000);
        }

        public string[] Messages { get { lock (messages) return messages.ToArray(); } }
        public int[] Threads { get { lock (messages) return new List<int>(threads).ToArray(); } }
    }
}
