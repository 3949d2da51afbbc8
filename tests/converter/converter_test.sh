#!/usr/bin/env bash
# Runs the stand-in converter directly on the documents in tests/data and
# checks what it reports and the PDF it writes.
#   converter_test.sh PROGRAM DATA_DIR WORK_DIR CASE [PROTOCOL_CHECK]
# VORLEN_EMULATOR, when set, runs the (Windows) programs: under Wine.
# PROTOCOL_CHECK reads an output through the component's own protocol code.
set -u
program=$1 data=$2 work=$3 case=$4 protocol_check=${5:-}
emulator=${VORLEN_EMULATOR:-}
export LC_ALL=C.UTF-8
failures=0

fail() {
  echo "FAIL [$case]: $*" >&2
  failures=$((failures + 1))
}

# run OUT ARGS...: runs the converter, its standard output into OUT, in UTF-8.
# The Windows program writes the system's ANSI code page: 1252 under Wine here.
run() {
  local out=$1
  shift
  if [ -n "$emulator" ]; then
    "$emulator" "$program" "$@" >"$out.ansi" 2>/dev/null
    iconv -f CP1252 -t UTF-8 <"$out.ansi" >"$out" || fail "status lines are not in code page 1252"
  else
    "$program" "$@" >"$out" 2>/dev/null
  fi
}

# A path as the program sees it: the Windows form under Wine.
native_path() {
  if [ -n "$emulator" ]; then "$emulator" winepath -w "$1" 2>/dev/null | tr -d '\r'; else echo "$1"; fi
}

# check_protocol OUT FIN: every line ends in CR LF and is a message line or
# the one fin line, which comes last and reads FIN.
check_protocol() {
  local out=$1 expected=$2
  [ -s "$out" ] || { fail "no output at all"; return; }
  [ "$(tail -c 2 "$out" | od -An -c | tr -d ' ')" = '\r\n' ] || fail "output does not end in CR LF"
  local lines crlf
  lines=$(wc -l <"$out")
  crlf=$(grep -c $'\r$' "$out")
  [ "$lines" = "$crlf" ] || fail "$((lines - crlf)) line(s) without CR LF"
  local bad
  bad=$(tr -d '\r' <"$out" | grep -Ev '^(msg\|(err|wrn|inf)\|[^|]*\|.*|fin\|(success|failure))$')
  [ -z "$bad" ] || fail "lines outside the protocol: $bad"
  [ "$(grep -c '^fin|' "$out")" = 1 ] || fail "not exactly one fin line"
  [ "$(tail -n 1 "$out" | tr -d '\r')" = "fin|$expected" ] || fail "last line is not fin|$expected"
  if [ -n "$protocol_check" ]; then
    local events
    events=$(${emulator:+"$emulator"} "$protocol_check" "$(native_path "$out")" "$expected" 2>&1) ||
      fail "the component's protocol code does not accept the output: $events"
    [ "$(grep -c '^event: ' <<<"$events")" = "$(grep -c '^msg|' "$out")" ] ||
      fail "not one event per message line: $events"
  fi
}

# expect_line OUT REGEX: some line (CR removed) matches.
expect_line() {
  tr -d '\r' <"$1" | grep -Eq -- "$2" || fail "no line matching /$2/ in: $(tr -d '\r' <"$1" | tr '\n' ' ')"
}

no_line() {
  ! tr -d '\r' <"$1" | grep -Eq -- "$2" || fail "unexpected line matching /$2/"
}

# expect_pdf PDF TEXT...: pdfinfo accepts the file and pdftotext gives back each text.
expect_pdf() {
  local pdf=$1
  shift
  [ -f "$pdf" ] || { fail "no PDF at $pdf"; return; }
  pdfinfo "$pdf" >/dev/null 2>&1 || fail "pdfinfo rejects $pdf"
  local text
  text=$(pdftotext "$pdf" - 2>/dev/null | tr -s ' \n' '  ')
  for expected in "$@"; do
    [[ "$text" == *"$expected"* ]] || fail "PDF text lacks \"$expected\""
  done
}

rm -rf "$work/$case"
mkdir -p "$work/$case"
w=$work/$case

case $case in
clean)
  run "$w/out" "$(native_path "$data/clean.xhtml")" "$(native_path "$w/clean.pdf")"
  check_protocol "$w/out" success
  # The one warning: the document's own style sheet, which is not applied.
  no_line "$w/out" '^msg\|err'
  expect_line "$w/out" '^msg\|wrn\|[^|]*clean\.xhtml:7\|style sheet not applied: clean\.css$'
  [ "$(grep -c '^msg|wrn|' "$w/out")" = 1 ] || fail "more than the style sheet's warning"
  expect_pdf "$w/clean.pdf" "First Heading" "The quick brown fox jumps over the lazy dog." \
    "café and a number — dash" "Apple" "Pear" "Text in <CDATA> section"
  pdfinfo "$w/clean.pdf" | grep -q '^Title: *Clean & Simple$' || fail "title not in the PDF"
  pdftotext "$w/clean.pdf" - | grep -Eq 'styleRuleText|scriptText' && fail "style or script text in the PDF"
  grep -aq '/FlateDecode' "$w/clean.pdf" || fail "content streams not compressed"
  # Without an output path the PDF lands next to the input.
  cp "$data/clean.xhtml" "$data/clean.css" "$w/"
  run "$w/out2" --server "$(native_path "$w/clean.xhtml")"
  check_protocol "$w/out2" success
  expect_pdf "$w/clean.pdf" "First Heading"
  # Enough text for several pages: every paragraph arrives, in order.
  {
    echo '<html><head><title>Long</title></head><body>'
    for i in $(seq 1 150); do echo "<p>Paragraph number $i of a long document, written to fill pages.</p>"; done
    echo '</body></html>'
  } >"$w/long.xhtml"
  run "$w/out3" "$w/long.xhtml" "$w/long.pdf"
  check_protocol "$w/out3" success
  pages=$(pdfinfo "$w/long.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')
  [ "${pages:-0}" -ge 3 ] || fail "long document on ${pages:-0} pages"
  expect_pdf "$w/long.pdf" "Paragraph number 1 of" "Paragraph number 150 of"
  ;;

resources)
  doc=$(native_path "$data/resources.xhtml")
  run "$w/out" -s "$(native_path "$w/missing style.css")" -s "$(native_path "$data/clean.css")" \
    --log="$(native_path "$w/run.log")" "$doc" "$(native_path "$w/r.pdf")"
  check_protocol "$w/out" success
  expect_line "$w/out" "^msg\|wrn\|.*missing style\.css\|"
  expect_line "$w/out" '^msg\|wrn\|[^|]*clean\.css\|style sheet not applied'
  expect_line "$w/out" '^msg\|wrn\|.*resources\.xhtml:2\|.*processing\.css'
  expect_line "$w/out" '^msg\|wrn\|.*resources\.xhtml:6\|.*absent\.css'
  expect_line "$w/out" '^msg\|wrn\|.*resources\.xhtml:10\|.*absent\.png'
  expect_line "$w/out" '^msg\|wrn\|.*resources\.xhtml:11\|.*present\.png'
  no_line "$w/out" 'remote\.png'
  expect_pdf "$w/r.pdf" "partly missing"
  # The log holds the same lines.
  [ -f "$w/run.log" ] || fail "no log file"
  diff <(grep '^msg|' "$w/out") <(grep '^msg|' "$w/run.log" 2>/dev/null) >/dev/null ||
    fail "log differs from the reported lines"
  # With a base URL the references resolve there: present.png is found.
  for base in "$(native_path "$data/assets")" "file://$data/assets/"; do
    run "$w/out2" --baseurl="$base" "$doc" "$(native_path "$w/r2.pdf")"
    check_protocol "$w/out2" success
    expect_line "$w/out2" '^msg\|wrn\|.*resources\.xhtml:10\|.*absent\.png'
    no_line "$w/out2" 'present\.png'
  done
  ;;

malformed)
  run "$w/out" --server "$(native_path "$data/malformed.xml")" "$(native_path "$w/m.pdf")"
  check_protocol "$w/out" failure
  expect_line "$w/out" '^msg\|err\|[^|]*malformed\.xml:6\|'
  [ -e "$w/m.pdf" ] && fail "a PDF was written for a malformed document"
  # Loose HTML fails as XML and converts with -i html.
  run "$w/out2" "$(native_path "$data/tolerant.html")" "$(native_path "$w/t.pdf")"
  check_protocol "$w/out2" failure
  expect_line "$w/out2" '^msg\|err\|[^|]*tolerant\.html:4\|'
  run "$w/out3" -i html "$(native_path "$data/tolerant.html")" "$(native_path "$w/t.pdf")"
  check_protocol "$w/out3" success
  no_line "$w/out3" '^msg\|err'
  expect_pdf "$w/t.pdf" "First paragraph without its end tag" "Second paragraph © 2024" \
    "&unknownentity; done" "Item one" "Item two" "Line break"
  pdfinfo "$w/t.pdf" | grep -q '^Title: *Tolerant & Loose$' || fail "HTML title not in the PDF"
  pdftotext "$w/t.pdf" - | grep -q scriptOutput && fail "script text in the PDF"
  ;;

missing-input)
  run "$w/out" --server "$(native_path "$w/no such file.xml")" "$(native_path "$w/x.pdf")"
  check_protocol "$w/out" failure
  expect_line "$w/out" '^msg\|err\|[^|]*no such file\.xml\|'
  [ -e "$w/x.pdf" ] && fail "a PDF was written without input"
  run "$w/out2" --server
  check_protocol "$w/out2" failure
  # A bar in a location would end it early: it is shown as a broken bar.
  run "$w/out3" "$(native_path "$w/a|b.xml")"
  check_protocol "$w/out3" failure
  expect_line "$w/out3" '^msg\|err\|[^|]*a¦b\.xml\|'
  ;;

paths)
  # Blanks and non-ASCII characters in the folder and file names.
  mkdir -p "$w/Ausgabe für Jörg/mit Leerzeichen"
  cp "$data/clean.xhtml" "$data/clean.css" "$w/Ausgabe für Jörg/"
  in="$w/Ausgabe für Jörg/clean.xhtml"
  out="$w/Ausgabe für Jörg/mit Leerzeichen/Bericht Nr 1 (Größe).pdf"
  run "$w/out" --server "$(native_path "$in")" "$(native_path "$out")"
  check_protocol "$w/out" success
  expect_pdf "$out" "The quick brown fox"
  expect_line "$w/out" '^msg\|inf\|.*Ausgabe für Jörg.*Bericht Nr 1 \(Größe\)\.pdf\|'
  if [ -n "$emulator" ]; then  # the Unix form of the same paths, which Wine also accepts
    rm -f "$out"
    run "$w/out2" --server "$in" "$out"
    check_protocol "$w/out2" success
    expect_pdf "$out" "The quick brown fox"
  fi
  ;;

options)
  # The full command line of the component. Encryption cannot be done, so the
  # run fails and leaves no PDF, not even one from an earlier run.
  all_options() {
    run "$1" --server -s "$(native_path "$data/clean.css")" "${@:2}" -i html \
      --log="$(native_path "$w/o.log")" --baseurl="$(native_path "$data")" --no-xinclude \
      --no-embed-fonts --no-compress "$(native_path "$data/tolerant.html")" "$(native_path "$w/o.pdf")"
  }
  echo '%PDF-1.4 earlier' >"$w/o.pdf"
  all_options "$w/out" --encrypt --key-bits 128 --user-password="user pw" --owner-password= \
    --disallow-print --disallow-modify --disallow-copy --disallow-annotate
  check_protocol "$w/out" failure
  expect_line "$w/out" '^msg\|err\|[^|]*o\.pdf\|encryption is not supported: no PDF is written$'
  [ -e "$w/o.pdf" ] && fail "a PDF is left where an encrypted one was asked for"
  # What is not a PDF stays: here the input under another name.
  cp "$data/clean.xhtml" "$w/in.xhtml"
  run "$w/out0" --encrypt "$(native_path "$w/in.xhtml")" "$(native_path "$w/./in.xhtml")"
  check_protocol "$w/out0" failure
  cmp -s "$data/clean.xhtml" "$w/in.xhtml" || fail "encryption run removed the input"
  all_options "$w/out1"
  check_protocol "$w/out1" success
  expect_line "$w/out1" '^msg\|wrn\|[^|]*clean\.css\|style sheet not applied'
  expect_pdf "$w/o.pdf" "Item two"
  grep -aq 'FlateDecode' "$w/o.pdf" && fail "compressed despite --no-compress"
  for bad in "--key-bits -5" "--key-bits 64" "--frobnicate" "-i pdf" "--disallow-everything"; do
    # shellcheck disable=SC2086
    run "$w/out2" --server --encrypt $bad "$(native_path "$data/clean.xhtml")" "$(native_path "$w/b.pdf")"
    check_protocol "$w/out2" failure
    expect_line "$w/out2" '^msg\|err\|'
  done
  [ -e "$w/b.pdf" ] && fail "a PDF was written despite a bad option"
  # A line break in a message would cut its line in two.
  run "$w/out3" --server $'--bad\noption' "$(native_path "$data/clean.xhtml")"
  check_protocol "$w/out3" failure
  expect_line "$w/out3" '^msg\|err\|[^|]*\|unknown option --bad option$'
  # The log, when asked for, holds every line.
  run "$w/out4" --log="$(native_path "$w/bad.log")" --frobnicate "$(native_path "$data/clean.xhtml")"
  check_protocol "$w/out4" failure
  cmp -s "$w/out4${emulator:+.ansi}" "$w/bad.log" || fail "log differs from standard output"
  ;;

*)
  fail "unknown case"
  ;;
esac

[ "$failures" -eq 0 ] && echo "converter $case: ok"
exit $((failures > 0))
