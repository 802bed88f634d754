#!/usr/bin/env bash
# The Debian package: CPack builds it from the build tree into a temporary
# folder (the build tree is only read), and dpkg-deb shows what it holds.
# Usage: package_test.sh BUILD_DIR APP_ID VERSION QT_MAJOR
set -u
build="$1" id="$2" version="$3" qt="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }
check() { local what="$1"; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
# ": < missing > extra" for two sorted lists that differ, nothing when they are equal.
differences() { diff "$1" "$2" | grep '^[<>]' | tr '\n' ' ' | sed 's/^./: &/'; }

arch="$(dpkg --print-architecture)"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" > "$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; fail "cpack -G DEB"
  echo "$passes passed, $failures failed"; exit 1
fi
deb="$work/out/tailpeek_${version}_$arch.deb"
if [ ! -f "$deb" ]; then
  fail "no $(basename "$deb"); cpack made: $(cd "$work/out" && ls ./*.deb 2>/dev/null | tr '\n' ' ')"
  echo "$passes passed, $failures failed"; exit 1
fi
pass "cpack -G DEB made $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
check "Package: tailpeek" [ "$(field Package)" = tailpeek ]
check "Version: $version" [ "$(field Version)" = "$version" ]
check "Architecture: $arch" [ "$(field Architecture)" = "$arch" ]
check "Maintainer with an address" bash -c "grep -qE '^.+ <[^ @]+@[^ >]+>$' <<<\"\$1\"" _ "$(field Maintainer)"
check "Section: utils" [ "$(field Section)" = utils ]
check "no Homepage field" [ -z "$(field Homepage)" ]
check "Description with a summary and a long text" bash -c "[ \$(dpkg-deb -f '$deb' Description | wc -l) -ge 3 ]"

# Depends, one alternative group per line, versions dropped.
field Depends | tr ',' '\n' | sed 's/([^)]*)//g; s/^ *//; s/ *$//; s/  */ /g' > "$work/depends"
echo "Depends: $(tr '\n' ',' < "$work/depends")"
# The runtime of the Qt the program was built with, and none of the other's.
if [ "$qt" = 6 ]; then
  libs="libqt6core6 libqt6gui6 libqt6widgets6 libqt6core5compat6" translations=qt6-translations-l10n
  other="libqt5core5a|qttranslations5-l10n"
else
  libs="libqt5core5a libqt5gui5 libqt5widgets5" translations=qttranslations5-l10n
  other="libqt6[a-z0-9]*|qt6-translations-l10n"
fi
for lib in $libs; do
  check "Depends on $lib" grep -qE "(^| )$lib( |$)" "$work/depends"
done
check "no dependency on the other Qt" bash -c "! grep -qE '(^| )($other)( |$)' '$work/depends'"
check "Depends on a Japanese font (fonts-ipafont-gothic or another)" grep -qE '(^| )fonts-ipafont-gothic( |$)' "$work/depends"
check "Depends on Qt's own translations ($translations)" grep -qxF "$translations" "$work/depends"
check "Depends on libc6 (found by dpkg-shlibdeps)" grep -qE '(^| )libc6( |$)' "$work/depends"
check "no dependency on development packages" bash -c "! grep -qE -- '-dev( |$)' '$work/depends'"

# The files: exactly the program, its desktop files and its readme, under /usr.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort > "$work/files"
{ echo ./usr/bin/tailpeek
  echo "./usr/share/applications/$id.desktop"
  echo "./usr/share/metainfo/$id.metainfo.xml"
  echo "./usr/share/icons/hicolor/scalable/apps/$id.svg"
  for n in 16 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${n}x$n/apps/$id.png"; done
  echo ./usr/share/man/man1/tailpeek.1.gz
  echo ./usr/share/doc/tailpeek/readme.txt
} | sort > "$work/expected"
check "package holds exactly the expected files$(differences "$work/expected" "$work/files")" \
  cmp -s "$work/expected" "$work/files"
check "/usr/bin/tailpeek is -rwxr-xr-x root/root" \
  bash -c "dpkg-deb -c '$deb' | grep -qE '^-rwxr-xr-x root/root .* \./usr/bin/tailpeek$'"
check "no file is group- or world-writable" bash -c "! dpkg-deb -c '$deb' | awk '{ print \$1 }' | grep -qE '^.{5}w|^.{8}w'"

dpkg-deb -x "$deb" "$work/root"
check "packaged program is stripped" bash -c "file -b '$work/root/usr/bin/tailpeek' | grep -q ', stripped'"
check "packaged readme is the Japanese one" grep -q '伸び続けるテキストファイル' "$work/root/usr/share/doc/tailpeek/readme.txt"
check "packaged manual page decompresses" gzip -t "$work/root/usr/share/man/man1/tailpeek.1.gz"
check "packaged desktop entry validates" desktop-file-validate "$work/root/usr/share/applications/$id.desktop"
check "md5sums list every file" bash -c "dpkg-deb -e '$deb' '$work/control' && [ \$(wc -l < '$work/control/md5sums') -eq \$(wc -l < '$work/expected') ]"

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
