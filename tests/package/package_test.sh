#!/usr/bin/env bash
# Builds the Debian package (scripts/package --deb) and checks it as a
# station's machine takes it: the file list, the control fields, Depends
# against the libraries the binaries link, lintian (no error), the desktop
# entry and the AppStream metadata through their validators. Then it installs
# the package with dpkg into a scratch root, starts the installed program
# there offscreen through the desktop entry's command, and removes the package
# again. Nothing outside the scratch root changes: the package's paths on this
# machine and this machine's record of the package are compared before and
# after.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
started=$SECONDS

fail() {
  echo "package test FAILED: $*" >&2
  exit 1
}
expect_eq() { # what, actual, expected
  [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

scripts/package --deb
echo "=== package test: checks"

version=$(sed -n 's/^project(VarnetrixReader VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb=$repo/build/package/varnetrix-reader_${version}_${arch}.deb
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
[ -f "$deb" ] || fail "scripts/package made no $deb"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vr-package-test.XXXXXX")
pid=
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- control fields
field() { dpkg-deb -f "$deb" "$1"; }
expect_eq Package "$(field Package)" varnetrix-reader
expect_eq Version "$(field Version)" "$version"
expect_eq Architecture "$(field Architecture)" "$arch"

# Depends: one entry for each package whose library a binary links, with the
# version dpkg-shlibdeps found, plus the Qt platform plugins, which are loaded
# at run time and so appear in no binary.
dpkg-deb -x "$deb" "$scratch/unpacked"
needed=$(for b in varnetrix-reader slm7650-sim; do
  objdump -p "$scratch/unpacked/usr/bin/$b" | awk '$1 == "NEEDED" { print $2 }'
done | sort -u)
[ -n "$needed" ] || fail "the binaries link no library?"
expected_depends=$({
  echo qt6-qpa-plugins
  for lib in $needed; do
    owner=$(dpkg -S "*/$lib" 2>/dev/null |
      awk -v a="/lib/$multiarch/$lib" -v b="/usr/lib/$multiarch/$lib" '$2 == a || $2 == b { print $1 }' |
      sed 's/:.*//' | sort -u)
    [ -n "$owner" ] || fail "no package of this machine holds $lib"
    echo "$owner"
  done
} | sort -u)
depends=$(field Depends)
depends_packages=$(echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | sort -u)
expect_eq "Depends packages (Depends: $depends)" "$depends_packages" "$expected_depends"
while read -r entry; do
  name=${entry%% *}
  [ "$name" = qt6-qpa-plugins ] || [[ $entry == "$name (>= "?*")" ]] ||
    fail "Depends gives no version for $name: $depends"
done < <(echo "$depends" | tr ',' '\n' | sed 's/^ *//')

# --- file list: every file and link, with its mode
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $2 = $3 = $4 = $5 = ""; print }' | sed 's/  */ /g; s/ \.\// \//')
icons=""
for n in 16 22 24 32 48 64 128 256; do
  icons+="-rw-r--r-- /usr/share/icons/hicolor/${n}x${n}/apps/varnetrix-reader.png"$'\n'
done
expected_files=$(sort <<EOF
-rwxr-xr-x /usr/bin/slm7650-sim
-rwxr-xr-x /usr/bin/varnetrix-reader
-rwxr-xr-x /usr/bin/varnetrix-reader-desktop
-rw-r--r-- /usr/share/applications/varnetrix-reader.desktop
-rw-r--r-- /usr/share/doc/varnetrix-reader/changelog.gz
-rw-r--r-- /usr/share/doc/varnetrix-reader/copyright
${icons}-rw-r--r-- /usr/share/man/man1/slm7650-sim.1.gz
lrwxrwxrwx /usr/share/man/man1/varnetrix-reader-desktop.1.gz -> varnetrix-reader.1.gz
-rw-r--r-- /usr/share/man/man1/varnetrix-reader.1.gz
-rw-r--r-- /usr/share/metainfo/org.example.VarnetrixReader.metainfo.xml
EOF
)
expect_eq "file list" "$(sort <<<"$files")" "$expected_files"
dpkg-deb -c "$deb" | awk '$2 != "root/root" { print; bad = 1 } END { exit bad }' ||
  fail "files not owned by root"

# --- lintian: errors fail; what else it says is shown
echo "--- lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

# --- the package installed into a scratch root with dpkg's own database there.
# It has no maintainer scripts; the dependencies are this machine's, so the
# scratch database is told not to look for them.
host_state() {
  dpkg-query -W -f='${Status} ${Version}\n' varnetrix-reader 2>/dev/null || echo "unknown to dpkg"
  awk '{ print $2 }' <<<"$files" | while read -r f; do
    if [ -e "$f" ] || [ -L "$f" ]; then echo "$f $(md5sum <"$f" | cut -d' ' -f1)"; else echo "$f absent"; fi
  done
}
host_before=$(host_state)
sroot=$scratch/root
mkdir -p "$sroot/var/lib/dpkg/info" "$sroot/var/lib/dpkg/updates" "$sroot/var/log"
touch "$sroot/var/lib/dpkg/status"
sdpkg() { dpkg --root="$sroot" --log="$sroot/var/log/dpkg.log" "$@"; }
sdpkg --force-depends -i "$deb" >"$scratch/dpkg-install.log" 2>&1 ||
  { cat "$scratch/dpkg-install.log"; fail "dpkg could not install the package into the scratch root"; }
expect_eq "installed" "$(dpkg-query --admindir="$sroot/var/lib/dpkg" -W -f='${Status} ${Version}' varnetrix-reader)" \
  "install ok installed $version"

desktop=$sroot/usr/share/applications/varnetrix-reader.desktop
metainfo=$sroot/usr/share/metainfo/org.example.VarnetrixReader.metainfo.xml
echo "--- desktop-file-validate"
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate has remarks: $out"
echo "--- appstreamcli validate --no-net"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metadata"
expect_eq "desktop entry Icon" "$(sed -n 's/^Icon=//p' "$desktop")" varnetrix-reader
for n in 16 22 24 32 48 64 128 256; do
  file -b "$sroot/usr/share/icons/hicolor/${n}x${n}/apps/varnetrix-reader.png" | grep -q "^PNG image data, $n x $n," ||
    fail "the ${n}x${n} icon is not a $n x $n PNG"
done
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata's release is not $version"
for picture in main-window scanner; do
  [ -f "docs/$picture.png" ] || fail "docs/$picture.png is gone"
  grep -Eq "<image>https://[^<]*/docs/$picture\.png</image>" "$metainfo" ||
    fail "the metadata has no screenshot docs/$picture.png"
done
# The simulator's manual page keeps up with its options.
page=$(zcat "$sroot/usr/share/man/man1/slm7650-sim.1.gz" | sed 's/\\-/-/g')
for option in $("$sroot/usr/bin/slm7650-sim" --help | grep -oE -- '--[a-z-]+' | sort -u); do
  grep -q -- "$option" <<<"$page" || fail "the manual page of slm7650-sim lacks $option"
done

# --- the installed program, started as the desktop entry starts it, in a clean
# environment whose home is in the scratch root. Each case: XDG_DATA_HOME (or
# "unset") and the folder the program must run in.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
read -r command rest <<<"$exec_line"
[ -z "$rest" ] || fail "the desktop entry passes arguments: $exec_line"
[ -x "$sroot/usr/bin/$command" ] || fail "the desktop entry's command $command is not in the package"
home=$scratch/home
mkdir -p "$home" "$scratch/run"
chmod 700 "$scratch/run"
# Starts the entry's command; waits until the program itself runs.
start() { # XDG_DATA_HOME or "unset"
  local xdg=()
  [ "$1" = unset ] || xdg=(XDG_DATA_HOME="$1")
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen "${xdg[@]}" \
    "$sroot/usr/bin/$command" >"$scratch/program.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$sroot/usr/bin/varnetrix-reader" ] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$scratch/program.log" >&2
  fail "the installed program did not start (XDG_DATA_HOME $1)"
}
stop() { # checks that SIGTERM ends it, not a crash before
  local status=0
  kill -TERM "$pid"
  wait "$pid" || status=$?
  pid=
  [ "$status" = 0 ] || [ "$status" = 143 ] || { cat "$scratch/program.log" >&2; fail "the program ended with status $status"; }
}
while IFS='|' read -r xdg folder; do
  start "$xdg"
  expect_eq "working folder with XDG_DATA_HOME $xdg" "$(readlink "/proc/$pid/cwd")" "$folder"
  if [ "$xdg" = unset ]; then
    sleep 2 # long enough to see it run: the window is up, the clock timer ticks
    kill -0 "$pid" 2>/dev/null || { cat "$scratch/program.log" >&2; fail "the program did not stay up"; }
  fi
  stop
done <<EOF
unset|$home/.local/share/varnetrix-reader
$scratch/data|$scratch/data/varnetrix-reader
relative/data|$home/.local/share/varnetrix-reader
EOF
# With no home to put the folder in, the starter says so and starts nothing.
status=0
err=$(env -i PATH=/usr/bin:/bin "$sroot/usr/bin/$command" 2>&1 >/dev/null) || status=$?
expect_eq "starter without HOME: status" "$status" 1
[[ $err == *"HOME is set"* ]] || fail "starter without HOME says: $err"

# --- removed again: nothing of it stays in the scratch root
sdpkg --purge varnetrix-reader >"$scratch/dpkg-remove.log" 2>&1 ||
  { cat "$scratch/dpkg-remove.log"; fail "dpkg could not remove the package"; }
left=$(find "$sroot" -path "$sroot/var" -prune -o -not -type d -print)
[ -z "$left" ] || fail "left after removal: $left"
status=$(dpkg-query --admindir="$sroot/var/lib/dpkg" -W -f='${Status}' varnetrix-reader 2>/dev/null || true)
case "$status" in
  "" | *" not-installed") ;;
  *) fail "the scratch database still lists the package: $status" ;;
esac

expect_eq "this machine's own state" "$(host_state)" "$host_before"
echo "=== package test: passed in $((SECONDS - started)) s"
