#!/usr/bin/env bash
# Checks a built Debian package of the panel, unpacked into a scratch root:
# its control fields, dependencies that dpkg-shlibdeps computed, every
# program with its manual page, the menu entry, the icons in every size
# and as a scalable picture that looks like them, the systemd unit of the
# program without a display, the private libraries and the windows' module,
# the copyright, changelog and README, nothing installed beside those, and
# programs that run from there. Debian's own checker, lintian, has the last
# word (in test.sh).
#
#   tools/check_package.sh PACKAGE.deb
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

deb=$(realpath "${1:?usage: tools/check_package.sh PACKAGE.deb}")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
fail() {
    echo "package check: $*" >&2
    failures=$((failures + 1))
}
field() { dpkg-deb --field "$deb" "$1"; }

dpkg-deb -x "$deb" "$root"
usr=$root/usr

version=$(sed -n 's/^project(plenvo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ $(field Package) == plenvo ]] || fail "package named '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "version '$(field Version)', the project's is '$version'"
for name in Architecture Maintainer Section Description; do
    [[ -n $(field "$name") ]] || fail "no $name field"
done
depends=$(field Depends)
for library in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6; do
    [[ $depends =~ (^|, )$library\ \(\>=\ [0-9] ]] || fail "Depends names no version of $library: '$depends'"
done
[[ ! $depends =~ libasan|libubsan ]] || fail "a sanitizer build was packed: '$depends'"

# Every program has its manual page and every page its program.
for program in plenvo plenvo-ctl plenvo-sim; do
    [[ -x $usr/bin/$program ]] || fail "no program $program"
done
for program in "$usr"/bin/*; do
    name=$(basename "$program")
    page=$usr/share/man/man1/$name.1.gz
    if [[ ! -f $page ]]; then
        fail "no manual page for $name"
    elif ! gzip -dc "$page" | grep -qi "^\.TH $name 1 "; then
        fail "$page is not the manual page of $name"
    fi
done
for page in "$usr"/share/man/man1/*; do
    [[ -x $usr/bin/$(basename "$page" .1.gz) ]] || fail "manual page $(basename "$page") of no program"
done

# The programs find their private libraries relative to themselves; the
# program without windows needs no Qt GUI, the windows' module all of it.
arch_lib=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/plenvo
private=$usr/$arch_lib
[[ -f $private/plenvo-windows.so ]] || fail "no windows' module in /usr/$arch_lib"
[[ -f $private/plenvo-broker.so ]] || fail "no broker door's module in /usr/$arch_lib"
[[ -f $private/plenvo-web.so ]] || fail "no web page's module in /usr/$arch_lib"
[[ -f $private/plenvo-network.so ]] || fail "no network module in /usr/$arch_lib"
for program in "$usr"/bin/*; do
    runpath=$(readelf -d "$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
    [[ $runpath == "\$ORIGIN/../$arch_lib" ]] || fail "$(basename "$program") has RUNPATH '$runpath'"
done
# plenvo loads its library, libplenvo_app, and that only what every start
# needs; the windows' module loads no network either, which the doors load
# after the window shows.
needed=$(ldd "$usr/bin/plenvo" "$private/libplenvo_app.so")
[[ ! $(ldd "$private/plenvo-windows.so") =~ libQt6Network ]] || fail "the windows' module loads Qt's network module"
[[ ! $needed =~ libQt6(Gui|Widgets) ]] || fail "every start of plenvo loads Qt's GUI"
[[ ! $needed =~ libmosquitto|libQt6HttpServer|libQt6Network ]] || fail "every start of plenvo loads the MQTT client, the HTTP server or Qt Network"
for object in "$usr"/bin/* "$private"/*; do
    missing=$(ldd "$object" | grep 'not found' || true)
    [[ -z $missing ]] || fail "$(basename "$object") finds no $missing"
done

entry=$usr/share/applications/plenvo.desktop
if [[ -f $entry ]]; then
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [[ -x $usr/bin/$exec_program ]] || fail "the menu entry starts '$exec_program', which is not packed"
    grep -qx 'Icon=plenvo' "$entry" || fail "the menu entry names another icon"
else
    fail "no menu entry"
fi

icons=$usr/share/icons/hicolor
for size in 16 32 48 64 128 256; do
    icon=$icons/${size}x$size/apps/plenvo.png
    if [[ ! -f $icon ]]; then
        fail "no ${size} px icon"
    elif [[ $(identify -format '%m %wx%h' "$icon") != "PNG ${size}x$size" ]]; then
        fail "$icon is a $(identify -format '%m %wx%h' "$icon")"
    fi
done
svg=$icons/scalable/apps/plenvo.svg
if [[ ! -f $svg ]]; then
    fail "no scalable icon"
else
    # Drawn at 256 px, it differs from the 256 px picture at a few edge
    # pixels only (out of 65 536).
    rsvg-convert --width 256 --height 256 --output "$root/svg.png" "$svg"
    differing=$(compare -metric AE -fuzz 10% "$root/svg.png" "$icons/256x256/apps/plenvo.png" null: 2>&1 || true)
    [[ $differing =~ ^[0-9]+$ && $differing -lt 300 ]] || fail "the scalable icon differs from the 256 px one: $differing"
fi

# The service without a display starts a packed program with --headless.
service=$usr/lib/systemd/system/plenvo-headless@.service
if [[ -f $service ]]; then
    exec_line=$(sed -n 's/^ExecStart=//p' "$service")
    [[ $exec_line == "/usr/bin/plenvo --headless "* ]] || fail "the service starts '$exec_line'"
    grep -qx 'SupplementaryGroups=dialout' "$service" || fail "the service's user is not in dialout"
else
    fail "no systemd unit for the program without a display"
fi

# Debian's documents, and the README as the manual of every program.
doc=$usr/share/doc/plenvo
cmp -s "$doc/README.md" README.md || fail "the README is not installed as it is"
grep -q "^License: Expat" "$doc/copyright" 2>/dev/null || fail "no copyright file naming the licence"
[[ $(gzip -dc "$doc/changelog.gz" 2>/dev/null | head -1) == "plenvo ($version) "* ]] ||
    fail "no changelog of version $version"

unexpected=$(cd "$root" && find . -type f ! -path './usr/bin/*' ! -path './usr/share/applications/*' \
    ! -path './usr/share/doc/plenvo/*' \
    ! -path './usr/share/icons/hicolor/*' ! -path './usr/share/man/man1/*' ! -path "./usr/$arch_lib/*" \
    ! -path './usr/lib/systemd/system/plenvo-headless@.service' ! -name svg.png)
[[ -z $unexpected ]] || fail "unexpected files: $unexpected"

# The programs start from the scratch root (no display needed for these).
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/plenvo" --version) == *"$version"* ]] ||
    fail "plenvo --version does not name version $version"
"$usr/bin/plenvo-sim" --help >/dev/null || fail "plenvo-sim --help failed"
[[ $("$usr/bin/plenvo-ctl" --version) == *"$version"* ]] || fail "plenvo-ctl --version does not name version $version"

if ((failures)); then
    echo "package check: $failures failed for $deb" >&2
    exit 1
fi
echo "package check: $(basename "$deb") passed"
