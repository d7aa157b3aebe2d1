# Debian 12 packages, sourced by run and test (the sample server of run needs
# VELMORA_SAMPLE_PACKAGES).
VELMORA_BUILD_PACKAGES="build-essential cmake pkg-config ninja-build qt6-base-dev libmariadb-dev unixodbc-dev libxlsxwriter-dev libzip-dev"
VELMORA_RUN_PACKAGES="libqt6widgets6 libqt6gui6 qt6-qpa-plugins libmariadb3 libxlsxwriter4 libzip4 unixodbc tdsodbc fonts-wqy-microhei qt6-translations-l10n"
VELMORA_SAMPLE_PACKAGES="mariadb-server mariadb-client"
VELMORA_TEST_PACKAGES="mariadb-server mariadb-client clang libclang-rt-14-dev desktop-file-utils appstream dpkg-dev file python3-openpyxl"

velmora_install() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
