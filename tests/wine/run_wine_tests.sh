#!/usr/bin/env bash
# Runs Rigwright.exe and Skinwright.exe under Wine, with no X server (Wine's
# null graphics driver), on fixture folders, and checks every message box
# (caption, text, owner, buttons, and the style passed to MessageBoxA), the
# beeps, every exit code, and that each run leaves the object files byte for
# byte as the POSIX build leaves them on the same fixture. Then runs the
# Win32 tests of the shell, the progress dialog, the registry key and a replacement that fails midway.
#
#   tests/wine/run_wine_tests.sh <Win32 bin folder> <POSIX bin folder>
#
# The Win32 folder holds Rigwright.exe, Skinwright.exe and the helpers built
# from tests/wine/; the POSIX folder holds rigwright, skinwright and
# make_wine_fixture. When Wine is missing or cannot start, the test says so
# and is skipped (exit code 0).
#
# Wine's output is never read through a pipe (its background services keep
# the pipe open): it goes to files, from which the carriage returns are
# stripped.
set -euo pipefail

win_bin=$(cd "$1" && pwd)
posix_bin=$(cd "$2" && pwd)
started=$SECONDS

skip() {
  echo "wine test: SKIPPED: $*"
  exit 0
}

command -v wine >/dev/null 2>&1 || skip "wine is not installed (scripts/setup installs it)"
command -v wineserver >/dev/null 2>&1 || skip "wineserver is not installed"

work=$(mktemp -d /tmp/zarno-wine.XXXXXX)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# The Windows form of a POSIX path: drive Z: maps to /.
winpath() {
  local path=${1//\//\\}
  printf 'Z:%s' "$path"
}

# ---- a throw-away prefix -------------------------------------------------------
if ! timeout 180 wine wineboot --init >"$work/wineboot.log" 2>&1 || ! timeout 180 wineserver -w; then
  tail -n 20 "$work/wineboot.log" | tr -d '\r'
  skip "Wine cannot start on this machine (wineboot --init failed)"
fi
registered="$work/registered"
reg_add() {
  timeout 60 wine reg add "$@" /f >>"$work/reg.log" 2>&1 || skip "Wine cannot set its registry (wine reg add $1)"
}
reg_add 'HKCU\Software\Wine\Drivers' /v Graphics /d null
reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# The relay trace of the runs shows these two calls only, with their arguments.
reg_add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'user32.MessageBoxA;user32.MessageBeep'
reg_add 'HKLM\Software\Vantorelle\Orvane\4.0' /v objectDir /d "$(winpath "$registered/Objects")"
# Stopping the server stores the registry in system.reg, where the POSIX
# build's check runs read it; a persistent server keeps the runs fast.
wineserver -k
wineserver -w
wineserver -p
echo "wine test: prefix ready after $((SECONDS - started)) s"

# ---- fixtures ------------------------------------------------------------------
fixture="$work/fixture"
"$posix_bin/make_wine_fixture" "$fixture"
mkdir -p "$registered" "$work/lines" "$work/out"
cp -r "$fixture/." "$registered/"
posix_root="$work/posix"
wine_root="$work/wine side"  # a blank in every path the Windows programs see
W=$(winpath "$wine_root")
mkdir -p "$posix_root" "$wine_root"

failures=0
passed=0
fail() {
  echo "FAIL $case_name: $*"
  failures=$((failures + 1))
  case_ok=0
}

# ---- running one case on both builds ------------------------------------------------

# new_case <name>: fresh copies of the fixture for both builds.
new_case() {
  case_name=$1
  case_ok=1
  P="$posix_root/$case_name"
  X="$wine_root/$case_name"
  CW="$W\\$case_name"
  cp -r "$fixture" "$P"
  cp -r "$fixture" "$X"
}

# run_windows <program> <line> [<working folder>]: runs the Windows program
# through box_clicker. $case_out gets what box_clicker printed (the boxes and
# the exit code), then the program's calls of MessageBoxA and MessageBeep.
run_windows() {
  local exe=$1 line=$2 dir=${3:-$work}
  [ -n "$dir" ] || dir=$work
  local line_file="$work/lines/$case_name.txt"
  printf '%s\n' "$line" >"$line_file"
  case_out="$work/out/$case_name.txt"
  local code=0
  (cd "$dir" && WINEDEBUG=-all,+relay timeout 120 wine "$win_bin/box_clicker.exe" 60 \
    "$(winpath "$win_bin/$exe")" "$(winpath "$line_file")" >"$case_out.raw" 2>"$case_out.relay") || code=$?
  tr -d '\r' <"$case_out.raw" >"$case_out"
  tr -d '\r' <"$case_out.relay" | relay_calls >>"$case_out"
  windows_code=$code
}

# The MessageBoxA and MessageBeep calls of a relay trace, one line each:
#   MessageBoxA(<no owner|owner>[, default caption], MB_OK[ | MB_ICON...])
#   MessageBeep(0xFFFFFFFF)
relay_calls() {
  awk '
    function style(hex) {
      if (hex ~ /^0*$/) return "MB_OK"
      if (hex ~ /^0*10$/) return "MB_OK | MB_ICONHAND"
      if (hex ~ /^0*30$/) return "MB_OK | MB_ICONEXCLAMATION"
      if (hex ~ /^0*40$/) return "MB_OK | MB_ICONASTERISK"
      return "style 0x" hex
    }
    /:Call user32\.MessageBoxA\(/ {
      owner = ($0 ~ /MessageBoxA\(0+,/) ? "no owner" : "owner"
      caption = ($0 ~ /,0+,[0-9a-f]+\) ret=/) ? ", default caption" : ""
      match($0, /,[0-9a-f]+\) ret=/)
      print "MessageBoxA(" owner caption ", " style(substr($0, RSTART + 1, RLENGTH - 7)) ")"
    }
    /:Call user32\.MessageBeep\(/ {
      match($0, /MessageBeep\([0-9a-f]+\)/)
      print "MessageBeep(0x" toupper(substr($0, RSTART + 12, RLENGTH - 13)) ")"
    }'
}

# run_posix <program> <line> [<working folder>]
run_posix() {
  local program=$1 line=$2 dir=${3:-$work}
  [ -n "$dir" ] || dir=$work
  local code=0
  (cd "$dir" && "$posix_bin/$program" "$line" >"$work/out/$case_name.posix.out" \
    2>"$work/out/$case_name.posix.err") || code=$?
  [ "$code" -eq 1 ] || fail "the POSIX $program exited with $code"
}

# expect_boxes: what the Windows run printed, against the lines on standard
# input: the boxes (tab-separated: owner, buttons, caption, text; line
# breaks in texts shown as <LF>), the exit line, then the calls.
expect_boxes() {
  local expected="$work/out/$case_name.expected"
  cat >"$expected"
  if ! diff "$expected" "$case_out" >"$work/out/$case_name.diff"; then
    fail "message boxes or exit code differ (< expected, > seen):"
    sed 's/^/    /' "$work/out/$case_name.diff"
  fi
  [ "$windows_code" -eq 1 ] || fail "the Windows program exited with $windows_code"
}

# same_folder <relative folder>: byte-for-byte the same after both runs,
# with no file more or less.
same_folder() {
  if ! diff -r "$P/$1" "$X/$1" >"$work/out/$case_name.folder.diff" 2>&1; then
    fail "$1 differs between the POSIX and the Windows run:"
    sed 's/^/    /' "$work/out/$case_name.folder.diff"
  fi
}


unchanged_registered() {
  if ! diff -r "$fixture/Objects" "$registered/Objects" >/dev/null 2>&1; then
    fail "a check run changed the registered object folder"
  fi
}

# windows_report <POSIX report>: the report as the Windows build writes it:
# the POSIX folders in their Windows form, CR LF line ends.
windows_report() {
  sed -e "s#$posix_root/#$wine_root/#g" -e "s#$work/#Z:$work/#g" -e 's#/#\\#g' -e 's/$/\r/' "$1"
}

same_report() {
  local posix_report=$1 windows_report_file=$2
  if ! cmp -s <(windows_report "$posix_report") "$windows_report_file"; then
    fail "$(basename "$posix_report") differs from the POSIX one (converted to Windows paths):"
    diff <(windows_report "$posix_report" | tr -d '\r') <(tr -d '\r' <"$windows_report_file") | sed 's/^/    /' || true
  fi
}

# both <name> <program> <line> [<working folder>]: a fresh case run by both
# builds; %R in the line and folder stands for the case's copy of the fixture
# (the Windows line gets backslashes).
both() {
  new_case "$1"
  local line=$3 dir=${4:-}
  run_posix "$2" "${line//%R/$P}" "${dir:+${dir//%R/$P}}"
  line=${line//%R/$CW}
  run_windows "${2^}.exe" "${line//\//\\}" "${dir:+${dir//%R/$X}}"
}

end_case() {
  if [ "$case_ok" -eq 1 ]; then
    passed=$((passed + 1))
    echo "PASS $case_name${1:+ ($1)}"
  fi
}

T=$'\t'

# ---- Rigwright --------------------------------------------------------------------

both rig_install rigwright "~\"%R/Models\" ~\"%R/Objects\""
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}Model File Error${T}Could not open model file: $CW\\Models\\gone.lod.
BOX${T}unowned${T}ok${T}Model Install Error${T}Problem installing model $CW\\Models\\d_plane.ihr in ZO.lod file.<LF>
BOX${T}unowned${T}ok${T}ihr Open Error${T}Can not open ihr file: $CW\\Models\\e_dir.ihr File #5
EXIT 1
MessageBoxA(no owner, MB_OK | MB_ICONEXCLAMATION)
MessageBoxA(no owner, MB_OK | MB_ICONEXCLAMATION)
MessageBoxA(no owner, MB_OK | MB_ICONEXCLAMATION)
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_folder Objects
end_case "install run: 3 boxes, ZarnoObj.hdr and ZarnoObj.lod as POSIX"

both rig_check rigwright "@check ~\"%R/Models\" ~\"check\""
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}Rigwright Error Report${T}List of errors in file: $CW\\Models\\\\ErrorList.txt
EXIT 1
MessageBoxA(no owner, MB_OK | MB_ICONASTERISK)
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_report "$P/Models/ErrorList.txt" "$X/Models/ErrorList.txt"
same_folder Objects
unchanged_registered
end_case "check run on the registered object folder: report box, ErrorList.txt as POSIX"

both rig_compact rigwright "@compact ~\"%R/Models\" ~\"%R/Objects\""
expect_boxes <<EOF
EXIT 1
EOF
same_folder Objects
end_case "compact run with the progress dialog"

both rig_distance rigwright "@distance -1 -1 2000 90000 ~\"%R/Models\" ~\"%R/Objects\""
expect_boxes <<EOF
EXIT 1
EOF
same_folder Objects
end_case "distance run"

# No arguments: the object folder is the current directory, the models
# folder its Models folder.
new_case rig_defaults
mv "$P/Models" "$P/Objects/Models"
mv "$X/Models" "$X/Objects/Models"
run_posix rigwright "" "$P/Objects"
run_windows Rigwright.exe "" "$X/Objects"
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}Model File Error${T}Could not open model file: $CW\\Objects\\Models\\gone.lod.
BOX${T}unowned${T}ok${T}Model Install Error${T}Problem installing model $CW\\Objects\\Models\\d_plane.ihr in ZO.lod file.<LF>
BOX${T}unowned${T}ok${T}ihr Open Error${T}Can not open ihr file: $CW\\Objects\\Models\\e_dir.ihr File #5
EXIT 1
MessageBoxA(no owner, MB_OK | MB_ICONEXCLAMATION)
MessageBoxA(no owner, MB_OK | MB_ICONEXCLAMATION)
MessageBoxA(no owner, MB_OK | MB_ICONEXCLAMATION)
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_folder Objects
end_case "empty argument line: current directory and its Models folder"

new_case rig_no_header
run_windows Rigwright.exe "~\"$CW\\Models\" ~\"$CW\\Nowhere\""
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}File Open Error${T}Can not open ZarnoObj.hdr: $CW\\Nowhere\\ZarnoObj.hdr
EXIT 1
MessageBoxA(no owner, MB_OK | MB_ICONHAND)
EOF
end_case "missing ZarnoObj.hdr: the box, then exit code 1"

new_case rig_no_ihr
run_windows Rigwright.exe "@check ~\"$CW\\NoModels\" ~\"$CW\\Objects\""
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}Error${T}No Install Parent files (.ihr) found.
EXIT 1
MessageBoxA(no owner, MB_OK | MB_ICONHAND)
EOF
[ ! -e "$X/NoModels/ErrorList.txt" ] || fail "ErrorList.txt was written"
unchanged_registered
end_case "no install-parent file"

# ---- Skinwright -------------------------------------------------------------------

both skin_normal skinwright "~\"%R/Skins\" ~\"%R/Objects\""
expect_boxes <<EOF
EXIT 1
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_folder Objects
end_case "normal run with the compaction's progress dialog"

# The texture folder unquoted, with blanks, to the end of the line; the
# object folder is the current directory.
both skin_unquoted skinwright "~%R/Skins" "%R/Objects"
expect_boxes <<EOF
EXIT 1
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_folder Objects
end_case "unquoted texture folder with blanks, current directory as object folder"

both skin_dds skinwright "@dds ~\"%R/Skins\" ~\"%R/Objects\""
expect_boxes <<EOF
EXIT 1
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_folder Objects
[ -f "$X/Objects/ZarnoObj/3.dds" ] && [ -f "$X/Objects/ZarnoObj/12.dds" ] || fail "the DDS copies are missing"
end_case "DDS run"

both skin_check skinwright "@check ~\"%R/Skins\" ~\"check\""
expect_boxes <<EOF
EXIT 1
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_report "$P/Skins/TexErrorList.txt" "$X/Skins/TexErrorList.txt"
same_folder Objects
unchanged_registered
end_case "check run on the registered object folder: TexErrorList.txt as POSIX"

new_case skin_check_empty
run_windows Skinwright.exe "@check ~\"$CW\\NoSkins\" ~\"check\""
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}Error${T}No Texture files (.bmp/.dds) found.
EXIT 1
MessageBoxA(no owner, MB_OK | MB_ICONHAND)
EOF
unchanged_registered
end_case "check run without images"

both skin_palette skinwright "~\"%R/PaletteSkins\" ~\"%R/PaletteObjects\""
expect_boxes <<EOF
BOX${T}owned${T}ok${T}Palette Error${T}No O4 palette<TAB>match. You need to save this BMP with a O4 palette.
EXIT 1
MessageBoxA(owner, MB_OK | MB_ICONHAND)
MessageBeep(0xFFFFFFFF)
MessageBeep(0xFFFFFFFF)
EOF
same_folder PaletteObjects
end_case "palette boxes owned by the main window"

new_case skin_no_header
run_windows Skinwright.exe "~\"$CW\\Skins\" ~\"$CW\\Nowhere\""
expect_boxes <<EOF
EXIT 1
MessageBeep(0xFFFFFFFF)
EOF
end_case "missing ZarnoObj.hdr: a beep, no box"

# ---- the Win32 tests of shell, dialog, registry and replacement --------------------------------

run_win32_test() {
  case_name=$1
  case_ok=1
  local folder="$work/$1"
  mkdir -p "$folder"
  local code=0
  timeout 120 wine "$win_bin/$1.exe" "$(winpath "$folder")" >"$work/out/$1.raw" 2>"$work/out/$1.err" || code=$?
  tr -d '\r' <"$work/out/$1.raw" >"$work/out/$1.txt"
  if [ "$code" -ne 0 ]; then
    fail "exit code $code:"
    sed 's/^/    /' "$work/out/$1.txt"
  fi
  end_case "$(tail -n 1 "$work/out/$1.txt")"
}

run_win32_test replace_fault_test

case_name=win32_shell_test
case_ok=1
run_windows win32_shell_test.exe ""
windows_code=1  # the shell test's own exit code is checked in its last lines
expect_boxes <<EOF
BOX${T}unowned${T}ok${T}Error${T}ShellTest couldn't start!
BOX${T}unowned${T}ok${T}Error${T}ShellTest couldn't start!
win32_shell_test: PASS (0 failed checks)
EXIT 0
MessageBoxA(no owner, default caption, MB_OK)
MessageBoxA(no owner, default caption, MB_OK)
EOF
end_case "start-up failure boxes, close command, progress dialog"

echo "wine test: $passed passed, $failures failed, $((SECONDS - started)) s"
[ "$failures" -eq 0 ]
