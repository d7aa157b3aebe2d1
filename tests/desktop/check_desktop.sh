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
    echo bin/velmora "share/applications/$1.desktop" "share/metainfo/$1.metainfo.xml" | tr ' ' '\n'
    for s in $icon_sizes; do echo "share/icons/hicolor/${s}x$s/apps/velmora.png"; done
}

case ${1:?mode} in
validate)
    # Hints count as failures too: the files are ours and small.
    out=$(desktop-file-validate "$2" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
    appstreamcli validate --no-net "$3" || fail "appstreamcli validate failed"
    ;;
install)
    build=$2 prefix=$3/prefix app_id=$4 source=$5
    rm -rf "$3" && mkdir -p "$3"
    cmake --install "$build" --prefix "$prefix" >"$3/install.log" || { cat "$3/install.log"; fail "install failed"; }
    while read -r f; do [ -f "$prefix/$f" ] || fail "missing $f"; done < <(installed_files "$app_id")
    [ -x "$prefix/bin/velmora" ] || fail "bin/velmora not executable"
    for s in $icon_sizes; do
        file "$prefix/share/icons/hicolor/${s}x$s/apps/velmora.png" | grep -q "PNG image data, $s x $s," || fail "icon ${s}x$s is not $s pixels"
    done
    for line in 'Exec=velmora --user-settings' 'Icon=velmora' 'Categories=.*Development;.*' 'Categories=.*Database;.*' \
                'Comment=.*' 'Comment\[zh_CN\]=.*'; do
        grep -qx "$line" "$prefix/share/applications/$app_id.desktop" || fail "desktop entry lacks $line"
    done
    meta=$prefix/share/metainfo/$app_id.metainfo.xml
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$meta" || fail "metainfo launches another entry"
    grep -q '<image>https\?://.*/docs/window\.png</image>' "$meta" && [ -f "$source/docs/window.png" ] \
        || fail "metainfo screenshot is not docs/window.png of the sources"
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
    [ "$(dpkg-deb -f "$deb" Version) $(dpkg-deb -f "$deb" Architecture)" = "$version amd64" ] || fail "not version $version for amd64"
    contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
    while read -r f; do grep -qx "./usr/$f" <<<"$contents" || fail "package lacks /usr/$f"; done < <(installed_files "$app_id")
    ;;
*) echo "usage: $0 validate|install|package ..." >&2; exit 2 ;;
esac
exit $status
