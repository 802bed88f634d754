#!/usr/bin/env bash
# Desktop integration of Tailpeek: the desktop entry, the AppStream metadata,
# the icons, the manual page and a staged install.
# Usage: desktop_test.sh MODE SOURCE_DIR APP_ID VERSION [BUILD_DIR]
#   MODE: entry | metainfo | icons | manpage | install (install needs BUILD_DIR)
set -u
mode="$1" src="$2" id="$3" version="$4" build="${5:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }
check() { local what="$1"; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
# ": < missing > extra" for two sorted lists that differ, nothing when they are equal.
differences() { diff "$1" "$2" | grep '^[<>]' | tr '\n' ' ' | sed 's/^./: &/'; }

sizes="16 32 48 64 128 256"

# The value of KEY in the [Desktop Entry] group of FILE.
entry_value() { sed -n '/^\[Desktop Entry\]/,/^\[/{s/^'"$(printf '%s' "$1" | sed 's/[][]/\\&/g')"'=//p}' "$2" | head -1; }
has_japanese() { printf '%s' "$1" | grep -qP '[\x{3040}-\x{30ff}\x{4e00}-\x{9fff}]'; }
# desktop-file-validate passes and says nothing worse than a hint.
entry_validates() {
  local out
  out="$(desktop-file-validate "$1" 2>&1)" || { echo "$out"; return 1; }
  [ -n "$out" ] && echo "$out"
  ! printf '%s\n' "$out" | grep -qE ': (error|warning):'
}
# appstreamcli validate passes with no error and no warning.
metainfo_validates() {
  local out
  out="$(appstreamcli validate --no-net --no-color "$1" 2>&1)" || { echo "$out"; return 1; }
  ! printf '%s\n' "$out" | grep -qE '^[EW]:'
}
# Number of pixels that differ between two pictures, alpha included.
pixel_difference() { compare -metric AE "$1" "$2" null: 2>&1; }

check_entry() {
  local f="$src/desktop/$id.desktop"
  [ -f "$f" ] || { fail "no desktop entry $f"; return; }
  check "desktop-file-validate accepts the entry" entry_validates "$f"
  check "Type=Application" [ "$(entry_value Type "$f")" = Application ]
  check "Icon is the application id" [ "$(entry_value Icon "$f")" = "$id" ]
  # %f: one file; the program uses only its first argument, so %F or %U would mislead.
  check "Exec runs tailpeek with one file (%f)" [ "$(entry_value Exec "$f")" = "tailpeek %f" ]
  check "Terminal=false" [ "$(entry_value Terminal "$f")" = false ]
  check "Name is Tailpeek" [ "$(entry_value Name "$f")" = Tailpeek ]
  check "Name[ja] is Japanese" has_japanese "$(entry_value 'Name[ja]' "$f")"
  check "Comment is there" [ -n "$(entry_value Comment "$f")" ]
  check "Comment[ja] is Japanese" has_japanese "$(entry_value 'Comment[ja]' "$f")"
  local mime cats
  mime=";$(entry_value MimeType "$f")"
  cats=";$(entry_value Categories "$f")"
  check "MimeType offers text/plain" grep -q ';text/plain;' <<<"$mime"
  check "MimeType offers text/x-log" grep -q ';text/x-log;' <<<"$mime"
  for c in Utility TextTools Viewer; do
    check "Categories has $c" grep -q ";$c;" <<<"$cats"
  done
  check "Keywords and Keywords[ja]" [ -n "$(entry_value Keywords "$f")" ] && has_japanese "$(entry_value 'Keywords[ja]' "$f")"
  # A broken entry must be refused, or the validation above proves nothing.
  sed 's/^Type=Application$/Type=Programme/' "$f" > "$work/$id.desktop"
  check "desktop-file-validate refuses a wrong Type" bash -c "! desktop-file-validate '$work/$id.desktop' >/dev/null 2>&1"
}

check_metainfo() {
  local f="$src/desktop/$id.metainfo.xml"
  [ -f "$f" ] || { fail "no metainfo $f"; return; }
  check "appstreamcli validate accepts the metainfo" metainfo_validates "$f"
  check "component id is the application id" grep -q "<id>$id</id>" "$f"
  check "launchable is the desktop entry" grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$f"
  check "provides the tailpeek binary" grep -q '<binary>tailpeek</binary>' "$f"
  check "Japanese name" grep -qP '<name xml:lang="ja">[^<]*[\x{3040}-\x{30ff}]' "$f"
  check "Japanese summary" grep -qP '<summary xml:lang="ja">[^<]*[\x{3040}-\x{30ff}\x{4e00}-\x{9fff}]' "$f"
  check "content rating" grep -q '<content_rating type="oars-1\.[01]"' "$f"
  check "newest release is version $version" bash -c "grep -o '<release version=\"[^\"]*\"' '$f' | head -1 | grep -qF '\"$version\"'"
  sed 's|<summary>[^<]*</summary>||; s|<summary xml:lang="ja">[^<]*</summary>||' "$f" > "$work/$id.metainfo.xml"
  check "appstreamcli refuses metadata without a summary" bash -c "! appstreamcli validate --no-net '$work/$id.metainfo.xml' >/dev/null 2>&1"
}

check_icons() {
  local dir="$src/desktop/icons"
  check "icons are what tools/make-desktop-icons.py writes from the 16x16 picture" \
    python3 "$src/tools/make-desktop-icons.py" --check
  check "SVG has a 16x16 view box" grep -q 'viewBox="0 0 16 16"' "$dir/$id.svg"
  local n png geometry colours
  for n in $sizes; do
    png="$dir/$id-$n.png"
    geometry="$(identify -format '%wx%h' "$png" 2>/dev/null)"
    check "$n px icon is ${n}x$n" [ "$geometry" = "${n}x$n" ]
    # Crisp: only the picture's ink, paper and transparency, no blended edge colours.
    colours="$(convert "$png" -format '%k' info: 2>/dev/null)"
    check "$n px icon has at most 3 colours (has $colours)" [ "${colours:-99}" -le 3 ]
    convert "$png" -sample 16x16 "$work/down-$n.png"
    check "$n px icon sampled down is the 16 px icon" [ "$(pixel_difference "$work/down-$n.png" "$dir/$id-16.png")" = 0 ]
  done
  check "16 px icon is the window icon ui/icon/glim.ico, pixel for pixel" \
    [ "$(pixel_difference "$src/ui/icon/glim.ico" "$dir/$id-16.png")" = 0 ]
  # The comparison must see transparency: paint the transparent margin white.
  convert "$dir/$id-16.png" -background white -alpha remove -alpha on "$work/opaque.png"
  check "comparison notices a lost transparent margin" \
    [ "$(pixel_difference "$src/ui/icon/glim.ico" "$work/opaque.png")" != 0 ]
}

check_manpage() {
  local page="$src/man/tailpeek.1"
  local warnings
  warnings="$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)"
  check "groff renders the page without warnings${warnings:+: $warnings}" [ -z "$warnings" ]
  MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$page" 2>"$work/man.err" | col -b > "$work/man.txt"
  check "man -l renders it" [ -s "$work/man.txt" ] && [ ! -s "$work/man.err" ]
  local s
  for s in NAME SYNOPSIS DESCRIPTION KEYS OPTIONS FILES ENVIRONMENT "EXIT STATUS" "SEE ALSO"; do
    check "section $s" grep -qx "$s" "$work/man.txt"
  done
  check "whatis entry" bash -c "lexgrog '$page' | grep -q '\"tailpeek - '"
  check "synopsis: tailpeek [Qt options] [--] [FILE]" grep -qE '^ +tailpeek \[Qt options\] \[--\] \[FILE\]$' "$work/man.txt"
  check "synopsis: tailpeek --help | --version" grep -qE '^ +tailpeek --help \| --version$' "$work/man.txt"
  check "title names version $version" grep -qE "^\.TH TAILPEEK 1 \"[^\"]*\" \"tailpeek $version\"" "$page"
  check "settings file named" grep -q 'VARNOK/Tailpeek\.conf' "$work/man.txt"
  local opt
  for opt in -style -platform -geometry -qwindowgeometry -reverse XDG_CONFIG_HOME QT_QPA_PLATFORM; do
    check "mentions $opt" grep -qe "$opt" "$work/man.txt"
  done
  # The settings keys: those the program spells in its source, and those the
  # page lists (the bold tags of the indented list in FILES) must be the same.
  sed -n 's/^const char key[A-Za-z]*\[\] = "\([a-z]*\)";.*/\1/p' "$src/settings/settings.cpp" | sort > "$work/keys.code"
  sed -n '/^\.SH FILES/,/^\.SH /{/^\.RS/,/^\.RE/{/^\.TP/{n;s/^\.B //p}}}' "$page" | sort > "$work/keys.page"
  check "settings keys found in the source ($(wc -l < "$work/keys.code"))" [ -s "$work/keys.code" ]
  check "settings keys on the page are those of the source$(differences "$work/keys.code" "$work/keys.page")" \
    cmp -s "$work/keys.code" "$work/keys.page"
}

check_install() {
  [ -n "$build" ] || { fail "install needs the build directory"; return; }
  local prefix="$work/prefix"
  if ! cmake --install "$build" --prefix "$prefix" > "$work/install.log" 2>&1; then
    cat "$work/install.log"; fail "cmake --install"; return
  fi
  pass "cmake --install into a staging prefix"
  { echo bin/tailpeek
    echo "share/applications/$id.desktop"
    echo "share/metainfo/$id.metainfo.xml"
    echo "share/icons/hicolor/scalable/apps/$id.svg"
    for n in $sizes; do echo "share/icons/hicolor/${n}x$n/apps/$id.png"; done
    echo share/man/man1/tailpeek.1.gz
    echo share/doc/tailpeek/readme.txt
  } | sort > "$work/expected"
  (cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort) > "$work/installed"
  check "installed files are exactly the expected ones$(differences "$work/expected" "$work/installed")" \
    cmp -s "$work/expected" "$work/installed"
  check "bin/tailpeek is an executable program" bash -c "[ -x '$prefix/bin/tailpeek' ] && file -b '$prefix/bin/tailpeek' | grep -q ELF"
  local f="$prefix/share/applications/$id.desktop"
  check "installed entry validates" entry_validates "$f"
  local exe
  exe="$(entry_value Exec "$f" | cut -d' ' -f1)"
  check "the entry's Exec ($exe) is the installed program" [ -x "$prefix/bin/$exe" ]
  check "the entry's icon is installed under that name" [ -f "$prefix/share/icons/hicolor/48x48/apps/$(entry_value Icon "$f").png" ]
  local n png
  for n in $sizes; do
    png="$prefix/share/icons/hicolor/${n}x$n/apps/$id.png"
    check "installed ${n}x$n icon is $n px" [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${n}x$n" ]
  done
  check "installed SVG is an SVG picture" bash -c "file -b '$prefix/share/icons/hicolor/scalable/apps/$id.svg' | grep -q 'SVG'"
  check "installed manual page is the compressed source" bash -c "gzip -dc '$prefix/share/man/man1/tailpeek.1.gz' | cmp -s - '$src/man/tailpeek.1'"
  check "man finds the installed page through MANPATH" bash -c "MANPATH='$prefix/share/man' man -w tailpeek | grep -qF '$prefix/share/man/man1/tailpeek.1.gz'"
  local out
  out="$(appstreamcli validate-tree --no-net --no-color "$prefix" 2>&1)"
  local rc=$?
  check "appstreamcli validate-tree accepts the installed tree${out:+: $(printf '%s' "$out" | grep -E '^[EW]:' | tr '\n' ' ')}" \
    bash -c "[ $rc -eq 0 ] && ! printf '%s\n' \"\$1\" | grep -qE '^[EW]:'" _ "$out"
}

case "$mode" in
  entry) check_entry ;;
  metainfo) check_metainfo ;;
  icons) check_icons ;;
  manpage) check_manpage ;;
  install) check_install ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac

echo "$passes passed, $failures failed"
[ $failures -eq 0 ] && [ $passes -gt 0 ]
