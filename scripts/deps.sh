# Installs the Debian packages given that are not installed yet.
# Sourced by the other scripts.
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and testing needs.
BUILD_PACKAGES=(build-essential cmake ninja-build googletest libgtest-dev libbenchmark-dev tzdata iproute2 faketime libcli11-dev nlohmann-json3-dev
    qt6-base-dev libxcb1-dev libjpeg62-turbo-dev xvfb trayer openbox dunst dbus xdotool x11-utils xauth fonts-dejavu-core scdoc man-db
    prometheus prometheus-node-exporter curl)

# What building the Debian package needs (debian/control's Build-Depends)
# and what scripts/package.sh checks it with.
PACKAGE_PACKAGES=(build-essential dpkg-dev debhelper cmake ninja-build pkgconf systemd scdoc qt6-base-dev libxcb1-dev libjpeg-dev
    libcli11-dev nlohmann-json3-dev lintian appstream desktop-file-utils man-db iproute2 util-linux passwd binutils strace systemd-container procps)

# A second locale for the tests that read and write regional dates (CI only:
# it changes the machine's locale list).
ensure_test_locale() {
    [ -n "${CI:-}" ] && [ "$(id -u)" -eq 0 ] || return 0
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf8$' && return 0
    ensure_packages locales
    sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
}
