#!/usr/bin/env bash
# Installs what the browser tests need: Debian's chromium (with nodejs, npm and lame when they
# are missing; apt-get needs root), the npm packages pinned in package-lock.json, and the Ruffle
# emulator the program ships (scripts/ruffle.sh). It never downloads a browser of Playwright's own.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

need=()
[ -x /usr/bin/chromium ] || need+=(chromium)
command -v node >/dev/null 2>&1 || need+=(nodejs)
command -v npm >/dev/null 2>&1 || need+=(npm)
command -v lame >/dev/null 2>&1 || need+=(lame)
if [ "${#need[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh: missing ${need[*]}; run this as root, or: sudo apt-get install ${need[*]}" >&2
    exit 1
  fi
  echo "setup.sh: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${need[@]}"
fi

# Debian 12 ships Node.js 18; the browser tests need 20 or later. An older system Node gets a
# private Node 20 from npm's binary package in .runtime/, which test.sh and run-tests.sh put in
# front of PATH. The system's own Node stays as it is.
node_ok() { "$1" -e 'process.exit(Number(process.versions.node.split(".")[0]) >= 20 ? 0 : 1)'; }
if ! node_ok node; then
  case "$(uname -m)" in
    x86_64) arch=x64 ;;
    aarch64) arch=arm64 ;;
    *) echo "setup.sh: Node.js 20 or later is needed, found $(node --version)" >&2; exit 1 ;;
  esac
  runtime="$here/.runtime"
  if ! { [ -x "$runtime/bin/node" ] && node_ok "$runtime/bin/node"; }; then
    echo "setup.sh: Node.js $(node --version) is too old; installing Node.js 20 into $runtime"
    npm install --prefix "$runtime" --no-save --no-audit --no-fund --loglevel=error \
      "node-linux-$arch@20.20.2"
    mkdir -p "$runtime/bin"
    ln -sf "../node_modules/node-linux-$arch/bin/node" "$runtime/bin/node"
  fi
  export PATH="$runtime/bin:$PATH"
fi

cd "$here"
npm ci --no-audit --no-fund --loglevel=error
bash "$here/../../scripts/ruffle.sh"
echo "setup.sh: ready ($(/usr/bin/chromium --version 2>/dev/null | head -n1); node $(node --version))"
