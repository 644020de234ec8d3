#!/bin/sh
# Installs the Debian packages Quillbox needs to build and test, only those
# that are missing. As root it installs them; as a normal user it prints the
# apt-get command to run.
set -e
PKGS="g++ cmake make ninja-build ccache pkg-config libsqlite3-dev libicu-dev libpst-dev pst-utils libgtest-dev qt6-base-dev qt6-svg-dev dpkg-dev fonts-dejavu-core xvfb xauth notmuch python3 python3-dbf"
missing=""
for p in $PKGS; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -z "$missing" ]; then
  exit 0
fi
if [ "$(id -u)" = "0" ]; then
  echo "setup: installing$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing
else
  echo "setup: these packages are missing. Run:" >&2
  echo "  sudo apt-get install$missing" >&2
  exit 1
fi
