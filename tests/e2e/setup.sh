#!/usr/bin/env bash
# Installs what the browser tests need: Debian's chromium (with nodejs, npm and lame when they
# are missing; apt-get needs root) and the npm packages pinned in package-lock.json. It never
# downloads a browser of Playwright's own.
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

if ! node -e 'process.exit(Number(process.versions.node.split(".")[0]) >= 20 ? 0 : 1)'; then
  echo "setup.sh: the browser tests need Node.js 20 or later, found $(node --version)" >&2
  exit 1
fi

cd "$here"
npm ci --no-audit --no-fund --loglevel=error
echo "setup.sh: ready ($(/usr/bin/chromium --version 2>/dev/null | head -n1); node $(node --version))"
