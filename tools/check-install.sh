#!/usr/bin/env bash
# Builds the suite as it is shipped (Release), installs it into a temporary DESTDIR and checks
# the installed layout, runs the installed programs from there, validates the desktop entry and
# the AppStream file, and builds the Debian package and shows its contents and dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF >/dev/null
cmake --build "$build"

echo "== cmake --install into a temporary DESTDIR"
stage="$work/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr/local >/dev/null
prefix="$stage/usr/local"
(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) > "$work/installed"
diff -u tests/install/expected-files.txt "$work/installed" || fail "the installed files differ from tests/install/expected-files.txt"
[ -z "$(find "$stage" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "something was installed outside the prefix"
[ "$(readlink -f "$prefix/libexec/xscreensaver/kelvane-saver")" = "$(readlink -f "$prefix/bin/kelvane-saver")" ] ||
  fail "the XScreenSaver hack does not lead to the installed saver"

echo "== the installed programs, run from the moved prefix"
version=$(sed -n 's/^project(kelvane .*VERSION \([0-9.]*\)).*/\1/p' CMakeLists.txt)
for program in kelvane-saver melodrin glyphveil; do
  [ "$("$prefix/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
  "$prefix/bin/$program" --help | grep -q "^Usage: $program" || fail "$program --help"
done
[ "$("$prefix/libexec/xscreensaver/kelvane-saver" --version)" = "kelvane-saver $version" ] || fail "the hack's --version"
export KELVANE_ROOT="$work/root" KELVANE_DISPLAY=headless:640x480 KELVANE_ONLINE=0 KELVANE_AUDIO=null
printf 'at 1500 screenshot %s\nat 1600 quit\n' "$work/shot.png" > "$work/script"
KELVANE_SCRIPT="$work/script" "$prefix/bin/kelvane-saver" /s || fail "the installed saver did not end with status 0"
[ "$(head -c 8 "$work/shot.png" | od -An -tx1 | tr -d ' ')" = "89504e470d0a1a0a" ] || fail "no screenshot from the installed saver"
unset KELVANE_ROOT KELVANE_DISPLAY KELVANE_ONLINE KELVANE_AUDIO
for page in kelvane-saver melodrin glyphveil; do
  zcat "$prefix/share/man/man1/$page.1.gz" | grep -q '^\.SH "\?NAME' || fail "the manual page $page(1) has no NAME section"
done

echo "== desktop entry and AppStream"
grep -q "<release version=\"$version\"" "$prefix/share/metainfo/"*.metainfo.xml || fail "the AppStream release is not $version"
desktop-file-validate "$prefix/share/applications/kelvane-saver.desktop" || fail "desktop-file-validate"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/"*.metainfo.xml || fail "appstreamcli validate"
else
  echo "appstreamcli is not installed: the AppStream file is not validated"
fi

echo "== Debian package"
rm -f "$build"/kelvane_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/kelvane_*.deb)
dpkg-deb -c "$package" | awk '$6 !~ /\/$/ {print $6, $7, $8}'
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for library in libmpv2 libqt6widgets6 libcurl4 libjpeg62-turbo qt6-qpa-plugins qt6-wayland; do
  [[ "$depends" == *"$library"* ]] || fail "the package does not depend on $library"
done
(dpkg-deb -c "$package" | awk '$6 !~ /\/$/ {print $6}' | sed 's|^\./usr/||' | sort) > "$work/packaged"
diff -u tests/install/expected-files.txt "$work/packaged" || fail "the package's files differ from the installed layout"
echo "check-install: $(basename "$package"), $(du -k "$package" | cut -f1) KiB, all checks passed"
