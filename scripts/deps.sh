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
BUILD_PACKAGES=(build-essential cmake ninja-build googletest libgtest-dev libbenchmark-dev tzdata iproute2 faketime libcli11-dev nlohmann-json3-dev)
