#!/usr/bin/env bash
# Silent installs into fresh Winamp folders (one named outside the ANSI code page), the installed
# plug-in and checker at work against the real version.php under PHP's built-in server on
# 127.0.0.1, a running player, the shared checker's count, silent uninstalls, and "Configure now"
# clicked through an interactive setup.
# Usage: install_test.sh BIN_DIR SITE_DIR
set -uo pipefail
bin=$1 site=$2
source "$(dirname "$0")/../../scripts/wine-env.sh"
source "$(dirname "$0")/../../scripts/local-site.sh"

fails=0
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok    $what"; else echo "FAIL  $what"; fails=$((fails + 1)); fi
}

run=hbinstall$$
winamp_win="C:\\$run\\Winamp"
winamp=$WINEPREFIX/drive_c/$run/Winamp
# A second player, in a folder outside the ANSI code page.
second_win="C:\\$run\\日本\\Winamp"
second=$WINEPREFIX/drive_c/$run/日本/Winamp
checker="$WINEPREFIX/drive_c/Program Files/Brennick/Verlift/Verlift.exe"
checker_win='C:\Program Files\Brennick\Verlift\Verlift.exe'
shared='HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs'
app_path='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\winamp.exe'
work=$(mktemp -d)
site_pid=
# The checker's installs (SharedDLLs) and the uninstall entries outlive a failed run.
forget_checker() {
  rm -rf "${checker%/Verlift/*}"
  wine reg delete "$shared" /v "$checker_win" /f
  wine reg delete 'HKLM\SOFTWARE\Brennick' /f
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavoHushbell' /f
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavoHushbell.2' /f
  wine reg delete 'HKCU\Software\Winamp' /f
  wine reg delete "$app_path" /f
} >/dev/null 2>&1
cleanup() {
  [[ -n $site_pid ]] && kill "$site_pid" 2>/dev/null
  rm -rf "$work" "$WINEPREFIX/drive_c/$run" "${appdata:-/nonexistent}/$run"*
  forget_checker
}
trap cleanup EXIT
forget_checker
reg_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z]* *//p'; }
checker_value() { reg_value 'HKLM\SOFTWARE\Brennick\Verlift' 2.0; }
uses() { reg_value "$shared" "$checker_win"; }
setup() { wine "$bin/hushbell-setup.exe" /S "/D=$1" >/dev/null 2>&1; }
uninstall() { wine "$2" /S "_?=$1" >/dev/null 2>&1; }  # uninstall FOLDER UNINSTALLER
checks() { HB_WINAMP=$1 wine "$bin/installed_checks.exe" --gtest_filter="$2"; }  # checks FOLDER SUITES
export HB_SETUP="Z:${bin//\//\\}\\hushbell-setup.exe"

# Two sites: one whose manifest advertises a newer plug-in, one that matches the build.
built=$(sed -n 's/^gen_hushbell = "\(.*\)"$/\1/p' "$site/release.ini")
last=${built##*, }
newer="${built%, *}, $((last + 1))"
mkdir -p "$work/site/equal" "$work/site/newer"
cp "$site/version.php" "$site/release.ini" "$work/site/equal/"
cp "$site/version.php" "$work/site/newer/"
sed "s/^gen_hushbell = .*/gen_hushbell = \"$newer\"/" "$site/release.ini" >"$work/site/newer/release.ini"
start_local_site "$work/site" "$work/php.log"
export HB_SITE="http://127.0.0.1:$site_port"

setup "$winamp_win"
check "setup.exe /S exits" test $? -eq 0
check "plug-in in Plugins" test -f "$winamp/Plugins/gen_hushbell.dll"
check "plug-in identical to the build" cmp -s "$winamp/Plugins/gen_hushbell.dll" "$bin/gen_hushbell.dll"
check "checker in Program Files" cmp -s "$checker" "$bin/Verlift.exe"
check "uninstaller written" test -f "$winamp/uninstall-hushbell.exe"
ini_text() { iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'; }
ini=$(ini_text "$winamp/Plugins/gen_hushbell.ini")
check "updater INI checks weekly" grep -qx 'interval=7' <<<"$ini"
check "updater INI names the product" grep -qx 'Name=Tavo Hushbell' <<<"$ini"
check "updater INI names an https homepage" grep -qx 'homepage=https://[^ ]*' <<<"$ini"
check "updater INI lists the installed plug-in" grep -qxF "gen_hushbell=$winamp_win\\Plugins\\gen_hushbell.dll" <<<"$ini"
check "registry names the checker" test "$(checker_value)" = "$checker_win"
check "SharedDLLs counts the install" test "$(uses)" = 0x1

checks "$winamp_win" 'Installed.*'
check "installed plug-in and checker" test $? -eq 0
check "the checker asked the site" grep -q '/newer/version.php' "$work/php.log"
check "the forced check asked the site" grep -q '/equal/version.php' "$work/php.log"

entries() { wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' | tr -d '\r' | grep -c 'TavoHushbell'; }
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TavoHushbell'
install_location() { reg_value "$entry" InstallLocation; }
local_site() { ini_text "$winamp/Plugins/gen_hushbell.ini" | grep -qx "homepage=$HB_SITE/newer"; }

# A file setup would replace is in use: silently, exit 2 and nothing written (setup would put its
# own homepage back into the updater INI, count the new folder and add its entry).
checks "$winamp_win" 'FilesInUse.Silent*'
check "setup ends with 2 while the checker or the plug-in is in use" test $? -eq 0
check "the new folder was not made" test ! -e "$winamp-fresh"
check "the updater INI was not rewritten" local_site
check "no entry added" test "$(entries)" = 1
check "no use counted" test "$(uses)" = 0x1
check "the checker is the build's" cmp -s "$checker" "$bin/Verlift.exe"
checks "$winamp_win" 'FilesInUse.Retry*'
check "interactive Retry installs once the plug-in is free" test $? -eq 0
check "and rewrites the updater INI" grep -qx 'homepage=https://[^ ]*' <<<"$(ini_text "$winamp/Plugins/gen_hushbell.ini")"
check "still one entry, one count" test "$(entries)" = 1 -a "$(uses)" = 0x1

# One folder by other spellings is one install.
checks "$winamp_win" 'OneFolder.*'
check "setup by the 8.3 and the upper-case '..' spelling exits 0" test $? -eq 0
check "still one entry, one count" test "$(entries)" = 1 -a "$(uses)" = 0x1
location=$(install_location)
check "the entry names the folder by its long path" test "${location,,}" = "${winamp_win,,}"

# The uninstall entry as Windows' list of programs and management tools use it; its quiet
# command uninstalls (the uninstaller's own file goes last), then setup puts the install back.
HB_ENTRY=${entry#HKLM\\} checks "$winamp_win" 'UninstallEntry.*'
check "the entry's icon, size, site and quiet uninstall are right" test $? -eq 0
for _ in {1..100}; do [[ -e $winamp/uninstall-hushbell.exe ]] || break; sleep 0.1; done
check "the quiet uninstall removed the plug-in and its uninstaller" test ! -e "$winamp/Plugins/gen_hushbell.dll" -a ! -e "$winamp/uninstall-hushbell.exe"
setup "$winamp_win"
check "setup again exits" test $? -eq 0 -a "$(entries)" = 1 -a "$(uses)" = 0x1

# Silent, with no Winamp found and no /D=: exit 2, nothing written.
wine "$bin/hushbell-setup.exe" /S >/dev/null 2>&1
check "silent setup without Winamp exits 2" test $? -eq 2
check "and makes no Winamp folder" test ! -e "$WINEPREFIX/drive_c/Program Files/Winamp"
check "no entry, no count" test "$(entries)" = 1 -a "$(uses)" = 0x1

# With the player running, setup and uninstaller end with an error before changing anything.
files() { (cd "$1" && find . -type f -exec md5sum {} + | sort); }
echo older >"$winamp/Plugins/gen_hushbell.dll"
before=$(files "$winamp")
checks "$winamp_win" 'RunningPlayer.*'
check "setup and uninstaller refuse while the player runs" test $? -eq 0
check "the install is untouched" test "$(files "$winamp")" = "$before"

# Two players share the checker: each folder counts once, however often it is installed or
# uninstalled, and the checker goes with the last install.
setup "$second_win"
check "setup into a folder outside the ANSI code page exits" test $? -eq 0
second_ini=$second/Plugins/gen_hushbell.ini
check "its updater INI is UTF-16" test "$(head -c2 "$second_ini" | od -An -tx1)" = " ff fe"
check "its updater INI lists the plug-in by its folder's name" \
  grep -qxF "gen_hushbell=$second_win\\Plugins\\gen_hushbell.dll" <<<"$(ini_text "$second_ini")"
checks "$second_win" 'Installed.Forced*'
check "the checker reads that plug-in's version" test $? -eq 0
last=$(ini_text "$second_ini" | grep -E '^(lo|hi)=')
setup "$second_win"
check "the reinstall exits" test $? -eq 0
check "the reinstall keeps the last check time" test -n "$last" -a "$(ini_text "$second_ini" | grep -E '^(lo|hi)=')" = "$last"
check "SharedDLLs counts each folder once" test "$(uses)" = 0x2
cp "$second/uninstall-hushbell.exe" "$work/"
uninstall "$second_win" "$second_win\\uninstall-hushbell.exe"
check "the second uninstaller exits" test $? -eq 0
uninstall "$second_win" "$work/uninstall-hushbell.exe"
check "a second uninstall of one folder counts nothing" test "$(uses)" = 0x1
check "the checker stays for the other player" cmp -s "$checker" "$bin/Verlift.exe"
check "its registry value stays" test "$(checker_value)" = "$checker_win"

uninstall "$winamp_win" "$winamp_win\\uninstall-hushbell.exe"
check "uninstaller exits" test $? -eq 0
check "plug-in removed" test ! -e "$winamp/Plugins/gen_hushbell.dll"
check "updater INI removed" test ! -e "$winamp/Plugins/gen_hushbell.ini"
check "checker removed" test ! -e "$checker"
check "registry value removed" test -z "$(checker_value)"
check "SharedDLLs entry removed" test -z "$(uses)"

# A newer checker that another product left uncounted: not replaced, counted, and left in place.
mkdir -p "${checker%/*}"
python3 - "$bin/Verlift.exe" "$checker" <<'PY'
import struct, sys
exe = bytearray(open(sys.argv[1], "rb").read())
fixed = exe.index(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO; dwFileVersionMS follows at 8
struct.pack_into("<I", exe, fixed + 8, struct.unpack_from("<I", exe, fixed + 8)[0] + 0x10000)
open(sys.argv[2], "wb").write(exe)
PY
cp "$checker" "$work/newer.exe"
setup "$winamp_win"
check "a newer checker is not replaced" cmp -s "$checker" "$work/newer.exe"
check "the uncounted checker counts as one use" test "$(uses)" = 0x2
uninstall "$winamp_win" "$winamp_win\\uninstall-hushbell.exe"
check "the other product's checker stays" test "$(uses)" = 0x1 -a -f "$checker"

# "Configure now" on the finish page saves where Winamp reads: in the folder paths.ini names
# ({26}: application data), one outside the ANSI code page by its short name, else in Winamp's
# folder.
appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")
player=$WINEPREFIX/drive_c/$run/Player
for inidir in "" "{26}\\$run" "{26}\\$run-日本"; do
  rm -rf "$player" && mkdir -p "$player"
  settings=$player
  if [[ -n $inidir ]]; then
    { printf '\xff\xfe'; printf '[Winamp]\r\ninidir=%s\r\n' "$inidir" | iconv -t UTF-16LE; } >"$player/paths.ini"
    settings=$appdata/${inidir#*\\}
  fi
  checks "C:\\$run\\Player" 'ConfigureNow.*'
  check "setup with inidir '$inidir' and Configure now ends" test $? -eq 0
  check "and saves into $settings/winamp.ini" grep -q '^LockAction=' "$settings/winamp.ini"
done

# Elevated as another account than the desktop's user (modelled by a build of setup that takes
# the session's user from its build; Wine's is always the process's own): the folder comes from
# the machine's records of Winamp, not from this account's. The same setup for the user itself
# takes the user's own record.
mine=$WINEPREFIX/drive_c/$run/Mine machine=$WINEPREFIX/drive_c/$run/Machine
mkdir -p "$mine" "$machine" && touch "$mine/winamp.exe" "$machine/winamp.exe"
wine reg add 'HKCU\Software\Winamp' /ve /d "C:\\$run\\Mine" /f >/dev/null 2>&1
wine reg add "$app_path" /ve /d "C:\\$run\\Machine\\winamp.exe" /f >/dev/null 2>&1
for case in "hushbell-setup.exe:$mine" "hushbell-setup-other-user.exe:$machine"; do
  wine "$bin/${case%%:*}" /S >/dev/null 2>&1
  check "${case%%:*} /S without /D= exits" test $? -eq 0
  check "and installs into ${case##*/}" test -f "${case#*:}/Plugins/gen_hushbell.dll"
  uninstall "C:\\$run\\${case##*/}" "C:\\$run\\${case##*/}\\uninstall-hushbell.exe"
done
# Its finish page says where to configure instead and touches none of this account's files
# (paths.ini points Winamp's settings into this account's application data).
{ printf '\xff\xfe'; printf '[Winamp]\r\ninidir={26}\\%s\r\n' "$run-admin" | iconv -t UTF-16LE; } >"$machine/paths.ini"
HB_SETUP="Z:${bin//\//\\}\\hushbell-setup-other-user.exe" checks "C:\\$run\\Machine" 'OtherUser.*'
check "its finish page offers no Configure now" test $? -eq 0
check "and touches no settings file" test ! -e "$machine/winamp.ini" -a ! -e "$appdata/$run-admin"
uninstall "C:\\$run\\Machine" "C:\\$run\\Machine\\uninstall-hushbell.exe"

echo "installer checks: $fails failed"
[[ $fails == 0 ]]
