#!/usr/bin/env bash
# The installed tree and the Debian package of a build: the program, the desktop entry, the icon's sizes and the
# metainfo in their places, both texts accepted by the desktop's validators, nothing packaged outside /usr.
# Usage: package-test.sh <build folder>
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

id=com.dravolence.tavrine
libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")
expected=(
    usr/bin/tavrine
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$id.svg
    # the OCR and sound modules, in the private folder where the installed program looks for them
    "usr/$libdir/tavrine/tavrine-tesseract.so"
    "usr/$libdir/tavrine/tavrine-sound.so"
)
for size in 16 24 32 48 64 128 256 512; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
for path in "${expected[@]}"; do
    [ -s "$work/root/$path" ] || fail "cmake --install did not write /$path"
done
png="$work/root/usr/share/icons/hicolor/48x48/apps/$id.png"
[ -s "$png" ] && [ "$(od -An -j16 -N8 -tx1 "$png" | tr -d ' \n')" = "0000003000000030" ] \
    || fail "the 48x48 icon is not 48 by 48 pixels"
desktop-file-validate "$work/root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml" >&2 || fail "appstreamcli validate"
grep -qx "Icon=$id" "$work/root/usr/share/applications/$id.desktop" || fail "the entry does not name the icon"
grep -qx "StartupWMClass=$id" "$work/root/usr/share/applications/$id.desktop" || fail "the entry's window class"

# The package, gzip-compressed (quicker than xz for a debug build): only its list and control fields are read.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip -D CPACK_PACKAGING_INSTALL_PREFIX=/usr >/dev/null)
deb=$(ls "$work"/pkg/tavrine_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    fail "cpack made no package"
else
    dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
    for path in "${expected[@]}"; do
        grep -qx "./$path" "$work/contents" || fail "the package lacks /$path"
    done
    outside=$(grep -vE '^\./(usr(/.*)?)?$' "$work/contents" || true)
    [ -z "$outside" ] || fail "the package owns files outside /usr: $outside"
    depends=$(dpkg-deb -f "$deb" Depends)
    for dep in libqt6core6 libtesseract5 tesseract-ocr-eng qml6-module-qtquick-controls; do
        grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
    done
fi

[ "$failures" -eq 0 ] && echo "package: $((${#expected[@]})) paths installed and packaged, validators passed"
exit "$failures"
