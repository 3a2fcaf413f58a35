# Installs the Debian packages the build, the tests and the demo need, when missing.
# Sourced by run.sh and test.sh.
VL_PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xdotool libx11-dev fonts-liberation
  g++-mingw-w64-x86-64-posix wine wine64 nsis openbox
  dpkg-dev lintian desktop-file-utils appstream
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi
  orca speech-dispatcher speech-dispatcher-audio-plugins libasound2-data
)

vl_install_missing() {
  local missing=() p
  for p in "${VL_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
