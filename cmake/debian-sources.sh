# Sourced by the scripts that fetch from the machine's own Debian archive.
# debian_uri SUITE: the URI of a sources entry (one-line or deb822) whose
# suites include SUITE; nothing where there is none.
debian_uri() {
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk -v suite="$1" '
      /^deb / { for (i = 3; i <= NF; i++) if ($i == suite) { print $2; exit } }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite && uri != "") { print uri; exit } }
      /^$/ { uri = "" }' | head -n 1
}
