#!/usr/bin/env bash
# Installs the Debian packages of tools/packages.txt that are missing.
# A line "name:arch" asks for a package of a second architecture (wine32:i386
# runs 32-bit Windows plug-ins); that architecture is added to dpkg first. Such
# packages serve optional parts only: when the index of the added architecture
# fails to download (a mirror in the middle of a sync) or the packages cannot
# be had, the rest is installed all the same and the parts that need them skip.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
required=()
optional=()
while read -r pkg; do
  [ -z "$pkg" ] && continue
  case "$pkg" in \#*) continue ;; esac
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] && continue
  case "$pkg" in
    *:*) optional+=("$pkg") ;;
    *) required+=("$pkg") ;;
  esac
done < "$here/packages.txt"
[ ${#required[@]} -eq 0 ] && [ ${#optional[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=900 "$@"; }

for pkg in ${optional[@]+"${optional[@]}"}; do
  arch=${pkg#*:}
  if [ "$arch" != "$(dpkg --print-architecture)" ] && ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    echo "Adding the $arch architecture"
    $sudo dpkg --add-architecture "$arch"
  fi
done

# apt-get update fails as a whole when a single index fails, yet the indexes
# that did arrive are used: retry once, then go on with what there is.
if ! apt_get update -qq; then
  sleep 15
  apt_get update -qq || echo "Some package indexes failed to download; going on with the others." >&2
fi
if [ ${#required[@]} -gt 0 ]; then
  echo "Installing: ${required[*]}"
  apt_get install -y -qq --no-install-recommends "${required[@]}"
fi
if [ ${#optional[@]} -gt 0 ]; then
  echo "Installing: ${optional[*]}"
  apt_get install -y -qq --no-install-recommends "${optional[@]}" \
    || echo "Could not install ${optional[*]}; the parts that need them are skipped." >&2
fi
