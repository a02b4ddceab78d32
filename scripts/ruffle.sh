#!/usr/bin/env bash
# Installs the Ruffle emulator the program ships (ruffle/package.json, pinned by its lock file)
# into ruffle/node_modules, from where the build copies it into the program folder's ruffle/.
# Does nothing when the pinned version is already there; needs npm (deps.sh demo or test).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../ruffle" && pwd)"

# The version the lock file pins against the one installed, read by node as npm writes them.
state="$(cd "$here" && node -e '
  const fs = require("fs");
  const want = JSON.parse(fs.readFileSync("package-lock.json", "utf8"))
    .packages["node_modules/@ruffle-rs/ruffle"].version;
  let got = null;
  try {
    got = JSON.parse(fs.readFileSync("node_modules/@ruffle-rs/ruffle/package.json", "utf8")).version;
    fs.accessSync("node_modules/@ruffle-rs/ruffle/ruffle.js");
  } catch { got = null; }
  process.stdout.write(got === want ? "ok" : want);
')"
[ "$state" = ok ] && exit 0
pinned="$state"
echo "ruffle.sh: installing the Ruffle emulator $pinned from npm (ruffle/package-lock.json)"
cd "$here"
npm ci --no-audit --no-fund --loglevel=error
