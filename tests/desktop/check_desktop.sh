#!/usr/bin/env bash
# Checks what a desktop install and the Debian package hold.
#   check_desktop.sh validate DESKTOP_FILE METAINFO_FILE
#   check_desktop.sh install  BUILD_DIR STATE_DIR APP_ID SOURCE_DIR
#   check_desktop.sh package  BUILD_DIR STATE_DIR VERSION APP_ID
set -uo pipefail
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
icon_sizes="16 32 48 64 128 256"

# Every file a desktop install must hold, relative to the prefix.
installed_files() {
    local app_id=$1
    echo bin/velmora
    echo "share/applications/$app_id.desktop"
    echo "share/metainfo/$app_id.metainfo.xml"
    for s in $icon_sizes; do echo "share/icons/hicolor/${s}x$s/apps/velmora.png"; done
}

case ${1:?mode} in
validate)
    # Hints count as failures too: the files are ours and small.
    out=$(desktop-file-validate "$2" 2>&1) || fail "desktop-file-validate failed"
    [ -z "$out" ] || fail "desktop-file-validate: $out"
    appstreamcli validate --no-net "$3" || fail "appstreamcli validate failed"
    ;;
install)
    build=$2 state=$3 app_id=$4 source=$5
    prefix=$state/prefix
    rm -rf "$state" && mkdir -p "$state"
    cmake --install "$build" --prefix "$prefix" >"$state/install.log" || { cat "$state/install.log"; fail "install failed"; }
    while read -r f; do [ -f "$prefix/$f" ] || fail "missing $f"; done < <(installed_files "$app_id")
    for s in $icon_sizes; do
        file "$prefix/share/icons/hicolor/${s}x$s/apps/velmora.png" | grep -q "PNG image data, $s x $s," \
            || fail "icon ${s}x$s is not a $s pixel PNG"
    done
    desktop=$prefix/share/applications/$app_id.desktop
    grep -qx 'Exec=velmora --user-settings' "$desktop" || fail "Exec does not start velmora with its user settings"
    grep -qx 'Icon=velmora' "$desktop" || fail "Icon is not the installed velmora icon"
    grep -q '^Categories=.*Development;' "$desktop" && grep -q '^Categories=.*Database;' "$desktop" \
        || fail "Categories lack Development or Database"
    grep -q '^Comment=' "$desktop" && grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "Comment lacks English or Chinese"
    meta=$prefix/share/metainfo/$app_id.metainfo.xml
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$meta" || fail "metainfo launches another entry"
    grep -q '<image>https\?://.*/docs/window\.png</image>' "$meta" || fail "metainfo screenshot is not docs/window.png"
    [ -f "$source/docs/window.png" ] || fail "docs/window.png missing from the sources"
    [ -x "$prefix/bin/velmora" ] || fail "bin/velmora not executable"
    ;;
package)
    build=$2 state=$3 version=$4 app_id=$5
    rm -rf "$state" && mkdir -p "$state"
    (cd "$build" && cpack -G DEB -B "$state" >"$state/cpack.log" 2>&1) || { cat "$state/cpack.log"; fail "cpack failed"; }
    deb=$state/velmora_${version}_amd64.deb
    [ -f "$deb" ] || { ls "$state" >&2; fail "no velmora_${version}_amd64.deb"; exit 1; }
    depends=$(dpkg-deb -f "$deb" Depends)
    # Linked (from shlibdeps) and needed at run time without being linked.
    for dep in libqt6widgets6 libqt6gui6 libqt6core6 libmariadb3 libodbc2 tdsodbc fonts-wqy-microhei qt6-translations-l10n; do
        grep -Eq "(^|[ ,|])$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
    done
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
    [ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "architecture is not amd64"
    contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
    while read -r f; do grep -qx "./usr/$f" <<<"$contents" || fail "package lacks /usr/$f"; done < <(installed_files "$app_id")
    ;;
*) echo "usage: $0 validate|install|package ..." >&2; exit 2 ;;
esac
exit $status
