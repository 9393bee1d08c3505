#!/usr/bin/env bash
# Runs each case on fresh copies of the fixture through Rigwright.exe or Skinwright.exe under Wine (no X
# server) and the POSIX build: same folders byte for byte (reports: CR LF, Windows paths), exit codes 1,
# the boxes' captions and texts as the POSIX messages, their owners and styles, the beeps. Then runs
# win32_test.exe. Skipped (exit code 0) where Wine cannot start.
#   tests/wine/run_wine_tests.sh <Win32 bin folder> <POSIX bin folder>
set -euo pipefail
win_bin=$(cd "$1" && pwd) posix_bin=$(cd "$2" && pwd)
skip() { echo "wine test: SKIPPED: $*"; exit 0; }
command -v wine >/dev/null && command -v wineserver >/dev/null || skip "wine is not installed (scripts/setup installs it)"
work=$(mktemp -d /tmp/zarno-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
winpath() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
# Wine's output goes to files, never to a pipe, which its services keep open.
timeout 180 wine wineboot --init >"$work/log" 2>&1 && timeout 180 wineserver -w ||
  skip "Wine cannot start on this machine (wineboot --init failed)"
reg() { timeout 60 wine reg add "$@" /f >>"$work/log" 2>&1 || skip "Wine cannot set its registry ($1)"; }
reg 'HKCU\Software\Wine\Drivers' /v Graphics /d null
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
reg 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'user32.MessageBoxA;user32.MessageBeep'
reg 'HKLM\Software\Vantorelle\Orvane\4.0' /v objectDir /d "$(winpath "$work/registered/Objects")"
wineserver -k && wineserver -w && wineserver -p  # system.reg is written, for the POSIX check runs
"$posix_bin/make_wine_fixture" "$work/fixture" && cp -r "$work/fixture" "$work/registered"
mkdir "$work/posix side" "$work/wine side" "$work/checks" && : >"$work/diff"
failed=0 passed=0
# fail <what>: prints what failed and the differences that the last check left in $work/diff.
fail() { echo "FAIL $name: $*" && sed 's/^/    /' "$work/diff" && : >"$work/diff" && ok=0; }
start() { name=$1 ok=1; }
end_case() { if [ "$ok" = 1 ]; then passed=$((passed + 1)) && echo "PASS $name"; else failed=$((failed + 1)); fi; }
# A relay trace's calls: "beep", or "<-|o(wned)><style> <caption>: <text>" with POSIX paths.
relay_calls() {
  tr -d '\r' | sed -nE -e '/:Call user32\.MessageBeep\(ffffffff\)/c beep' \
    -e 's/.*:Call user32\.MessageBoxA\(([0-9a-f]+),[0-9a-f]+ "(.*)",([0-9a-f]+ "(.*)"|0+),0*([0-9a-f]*)\) ret=.*/\1:\5 \4: \2/' \
    -e 'T' -e 's/^0+:/-/; s/^[0-9a-f]+:/o/; s#\\\\#/#g; s/\\t/\t/g; s/\\n$//; s#Z:/#/#g; s#/wine side/#/posix side/#g; p'
}
# expected_calls <signature>: the calls due, per word: "beep", "fail" (a beep; the POSIX build writes
# it out), or a box's owner and style, taking the next POSIX message on standard input as its text.
expected_calls() {
  awk -v signature="$1" '{ message[NR] = $0 }
    END { n = split(signature, call, " ")
      for (i = 1; i <= n; i++) if (call[i] == "fail") { k++; print "beep" } else print call[i] == "beep" ? "beep" : call[i] " " message[++k]
      while (k < NR) print "no call for: " message[++k] }'
}
# both <case> <program> <signature> <argument line> [<working folder>], %R: the case's fixture copy.
both() {
  start "$1"
  local P="$work/posix side/$1" X="$work/wine side/$1" dir=${5:-$work} code=0 wine_code=0 line
  cp -r "$work/fixture" "$P" && cp -r "$work/fixture" "$X"
  (cd "${dir//%R/$P}" && "$posix_bin/$2" "${4//%R/$P}" >/dev/null 2>"$work/posix") || code=$?
  line=${4//%R/$(winpath "$X")}
  (cd "${dir//%R/$X}" && ZARNO_LINE=${line//\//\\} WINEDEBUG=-all,+relay timeout 120 \
    wine "$win_bin/win32_test.exe" "$(winpath "$win_bin/${2^}.exe")" >/dev/null 2>"$work/relay") || wine_code=$?
  [ "$code $wine_code" = "1 1" ] || fail "exit codes are not 1: POSIX $code, Windows $wine_code"
  diff <(sed "s/^$2: //" "$work/posix" | expected_calls "$3") <(relay_calls <"$work/relay") >"$work/diff" ||
    fail "messages differ (< from the POSIX run, > Windows):"
  while IFS= read -r report; do
    grep -nv $'\r$' "$report" >"$work/diff" && fail "lines of $report end without CR LF:"
    sed -i 's/\r$//; s#\\#/#g; s#Z:/#/#g; s#/wine side/#/posix side/#g' "$report"
  done < <(find "$X" -name '*ErrorList.txt')
  diff -r "$P" "$X" >"$work/diff" || fail "the folders differ between the POSIX and the Windows run:"
  end_case
}
both rig_install rigwright '-30 -30 -30 beep beep' '~"%R/Objects/Models" ~"%R/Objects"'
both rig_defaults rigwright '-30 -30 -30 beep beep' '' '%R/Objects'
both rig_check rigwright '-40 beep beep' '@check ~"%R/Objects/Models" ~"check"'
both rig_compact rigwright '' '@compact ~"%R/Objects/Models" ~"%R/Objects"'
both skin_normal skinwright 'beep beep' '~"%R/Skins" ~"%R/Objects"'
both skin_unquoted skinwright 'beep beep' '~%R/Skins' '%R/Objects'
both skin_dds skinwright 'beep beep' '@dds ~"%R/Skins" ~"%R/Objects"'
both skin_check skinwright 'beep beep' '@check ~"%R/Skins" ~"check"'
both skin_check_empty skinwright '-10' '@check ~"%R/NoSkins" ~"check"'
both skin_palette skinwright 'o10 beep beep' '~"%R/PaletteSkins" ~"%R/PaletteObjects"'
both skin_no_header skinwright 'fail' '~"%R/Skins" ~"%R/Nowhere"'
start registered
diff -r -x ZarnoObj.lock "$work/fixture" "$work/registered" >"$work/diff" || fail "a check run changed the registered object folder:"
end_case
# Rigwright and Skinwright started together on one object folder: each waits for the other, so the folder
# ends as the two runs one after the other leave it.
cp -r "$work/fixture" "$work/sequential" && S=$work/sequential
"$posix_bin/rigwright" "~\"$S/Objects/Models\" ~\"$S/Objects\"" 2>/dev/null || true
"$posix_bin/skinwright" "~\"$S/Skins\" ~\"$S/Objects\"" 2>/dev/null || true
start load
for round in 1 2 3 4 5; do
  cp -r "$work/fixture" "$work/load$round" && X=$(winpath "$work/load$round") && X=${X//\//\\}
  for run in "Rigwright ~\"$X\\Objects\\Models\" ~\"$X\\Objects\"" "Skinwright ~\"$X\\Skins\" ~\"$X\\Objects\""; do
    ZARNO_LINE=${run#* } timeout 120 wine "$win_bin/win32_test.exe" "$(winpath "$win_bin/${run%% *}.exe")" \
      >/dev/null 2>&1 &
  done
  codes=""; for pid in $(jobs -p); do wait "$pid" && codes+=" 0" || codes+=" $?"; done
  [ "$codes" = " 1 1" ] || fail "round $round: exit codes$codes, not 1 and 1"
  diff -r -x ZarnoObj.lock "$S" "$work/load$round" >"$work/diff" || fail "round $round lost a run's work:"
done
echo "load: 5 rounds of Rigwright beside Skinwright under Wine"
end_case
# Zarnoscope.exe and the POSIX zarnoscope print the same on the same folders (line ends and separators aside).
start zarnoscope
for folder in fixture/Objects fixture/PaletteObjects sequential/Objects; do
  for command in summary verify "--json summary" "--json verify" textures; do
    code=0 wine_code=0
    "$posix_bin/zarnoscope" $command "$work/$folder" >"$work/posix" 2>/dev/null || code=$?
    timeout 60 wine "$win_bin/Zarnoscope.exe" $command "$(winpath "$work/$folder")" >"$work/windows" 2>/dev/null ||
      wine_code=$?
    [ "$code" = "$wine_code" ] || fail "$folder, $command: exit codes POSIX $code, Windows $wine_code"
    diff "$work/posix" <(sed 's/\r$//; s#\\#/#g' "$work/windows") >"$work/diff" ||
      fail "$folder, $command: outputs differ (< POSIX, > Windows):"
  done
done
end_case
start win32_test
(cd "$work/checks" && timeout 120 wine "$win_bin/win32_test.exe" >"$work/diff" 2>&1) || fail "failed checks:"
end_case
echo "wine test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
