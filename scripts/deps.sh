# Installs the Debian packages that building, running and testing need.
# Sourced by the other scripts; installs only what is missing.

TAVLUN_PACKAGES=(
  g++ cmake ninja-build pkg-config python3
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n libxtst-dev
  libgtest-dev
  xvfb xauth openbox x11-xkb-utils x11-utils xdotool xclip imagemagick fonts-dejavu-core
  # qt6-wayland: Qt's Wayland platform, which users' Wayland desktops have, so that the
  # tests see the program choose XWayland for its window over it, or not (on sway);
  # wl-clipboard reads a native window's text box under sway, i3-wm is the other
  # desktop with a scratchpad
  libwayland-dev libxkbcommon-dev sway xwayland wev wtype wl-clipboard x11-xserver-utils qt6-wayland
  i3-wm
  mutter xdg-desktop-portal dbus dbus-daemon python3-gi gir1.2-glib-2.0
  # KDE Plasma's compositor and portal, headless; the portal is a Qt 5 program on KWin's Wayland
  kwin-wayland xdg-desktop-portal-kde qtwayland5
  clang libclang-rt-14-dev
  desktop-file-utils appstream dpkg-dev man-db lintian
  # systemd-analyze and udevadm check the examples that start the program with the adapter
  systemd udev
)

# The Windows program: the cross compiler, wine for its tests (with the fonts
# that wine ships, Tahoma and Fixedsys among them), NSIS for its installer,
# GoogleTest's sources to cross-build; its tests also use the desktop tools above.
TAVLUN_WINDOWS_PACKAGES=(
  cmake ninja-build python3 googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 fonts-wine nsis
)

tavlun_install_deps() {
  tavlun_install_packages "${TAVLUN_PACKAGES[@]}"
}

# tavlun_install_packages PACKAGE...: installs those that are missing.
tavlun_install_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# tavlun_build DIR GENERATOR [cmake options...]: configures and builds DIR with
# the CMake generator named ("Unix Makefiles", CMake's default, or "Ninja").
# A tree that another generator made is made afresh.
tavlun_build() {
  local dir=$TAVLUN_ROOT/$1 generator=$2
  shift 2
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx "CMAKE_GENERATOR:INTERNAL=$generator" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  cmake -S "$TAVLUN_ROOT" -B "$dir" -G "$generator" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
