# Installs, with apt-get, whatever the build, the tests and the demo need and the machine lacks.
# Sourced by run.sh and test.sh.
scale_packages=(
    g++ cmake ninja-build pkg-config
    clang libclang-rt-14-dev
    qt6-base-dev qt6-serialport-dev qt6-serialbus-dev qt6-qpa-plugins
    libgtest-dev libgmock-dev libbenchmark-dev
    socat xvfb xauth x11-apps imagemagick libxtst-dev x11-xkb-utils
    fonts-wqy-zenhei fonts-noto-cjk fonts-dejavu-extra fonts-urw-base35
    libmosquitto-dev libssl-dev openssl mosquitto mosquitto-clients
    libtomlplusplus-dev libpcre2-dev
    librsvg2-bin desktop-file-utils appstream man-db groff-base
    dpkg-dev file binutils lintian x11-utils util-linux
    python3
    libboost-dev qt6-websockets-dev curl chromium chromium-driver python3-selenium
    python3-pymodbus python3-serial python3-serial-asyncio mbpoll
    libtelnet-dev ser2net
)

install_dependencies() {
    local missing=()
    local package
    for package in "${scale_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
