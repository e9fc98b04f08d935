#!/usr/bin/env bash
# Checks the Debian package that `make package` writes: exactly the files a user should get,
# the dependencies, metadata that its validators accept, and lintian's verdict (no error).
#   tests/package/check_package.sh build/tarsel_<version>_<arch>.deb
set -euo pipefail

fail() { echo "package check: $*" >&2; exit 1; }

[ $# -eq 1 ] || fail "expected exactly one .deb, got $#: $*"
deb=$1
[ -f "$deb" ] || fail "no such package: $deb"
here=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(Tarsel VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tarsel ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), project says $version"
for need in libc6 libstdc++6 libqt6widgets6; do
    field Depends | grep -q "\b$need\b" || fail "Depends lacks $need: $(field Depends)"
done
for want in fonts-noto-cjk qt6-translations-l10n; do
    field Recommends | grep -q "\b$want\b" || fail "$want is not recommended: $(field Recommends)"
done

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# Every regular file, and nothing else: a stray install rule (tests, libraries, headers)
# would show up here.
expected=(
    usr/bin/tarsel
    usr/bin/tarsel-search
    usr/lib/$multiarch/tarsel/tarsel-gmime.so
    usr/share/applications/tarsel.desktop
    usr/share/doc/tarsel/changelog.gz
    usr/share/doc/tarsel/copyright
    usr/share/icons/hicolor/scalable/apps/tarsel.svg
    usr/share/man/man1/tarsel-search.1.gz
    usr/share/man/man1/tarsel.1.gz
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${s}x${s}/apps/tarsel.png"); done
actual=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '/$' \
         | grep -v '^usr/share/metainfo/[a-z0-9.]*\.metainfo\.xml$' | sort)
diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$actual") \
    || fail "files differ from the expected list (< missing, > unexpected)"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
share=$root/usr/share

metainfo=("$share"/metainfo/*.metainfo.xml)
[ ${#metainfo[@]} -eq 1 ] && [ -f "${metainfo[0]}" ] || fail "expected one metainfo file"
appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli does not accept the metainfo"
grep -q "<release version=\"$version\"" "${metainfo[0]}" || fail "metainfo lacks release $version"
desktop-file-validate "$share/applications/tarsel.desktop" || fail "desktop entry is not valid"

for s in "${sizes[@]}"; do
    file -b "$share/icons/hicolor/${s}x${s}/apps/tarsel.png" | grep -q "PNG image data, $s x $s," \
        || fail "icon ${s}x${s} has the wrong size"
done
for page in tarsel tarsel-search; do
    warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $page: $warnings"
done
head -1 "$share/doc/tarsel/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    || fail "copyright is not in the machine-readable format"
"$root/usr/bin/tarsel-search" --help | grep -q 'tarsel-search' || fail "tarsel-search --help"
# The installed programs find the GMime module beside them when they first show a decoded mail.
mail="$root/mail.mbox"
printf '\x7f \x7f\r\nSubject: s\r\n\r\nTarsel\r\n' > "$mail"
loads=$(LD_DEBUG=files "$root/usr/bin/tarsel-search" --decoded --show 1 "$mail" Tarsel 2>&1 >/dev/null)
grep -q "needed by $root/usr/bin/../lib/$multiarch/tarsel/tarsel-gmime.so" <<<"$loads" \
    || fail "tarsel-search does not load its GMime module from the package"
rm -f "$mail"

# Lintian: no error; the remaining tags are printed for the record.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
echo "$lintian_out"
if echo "$lintian_out" | grep -q '^E: '; then fail "lintian reports errors"; fi
echo "package check: $deb passes"
