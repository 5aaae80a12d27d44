#!/usr/bin/env bash
# Installs the Debian packages Sonaro needs to build, test and run.
# Idempotent: quiet and quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-translations-l10n libqt6sql6-sqlite
  libgl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth imagemagick fonts-noto-cjk fonts-dejavu-core
  clang libclang-rt-14-dev clang-format ccache
  dpkg-dev file librsvg2-bin lintian desktop-file-utils appstream man-db
  bash-completion
  qt6-httpserver-dev qt6-websockets-dev
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "deps.sh: missing packages (${missing[*]}) and neither root nor sudo available" >&2
    exit 1
  fi
fi

echo "deps.sh: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
