#!/usr/bin/env bash
# Runs the browser tests (node --test in this folder); when something they need is missing it
# says what, and how to install it, instead of failing test by test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
chromium="${TW_CHROMIUM:-/usr/bin/chromium}"
# The private Node that setup.sh installs where the system's is too old.
[ -x "$here/.runtime/bin/node" ] && export PATH="$here/.runtime/bin:$PATH"

missing=()
[ -x "$chromium" ] || missing+=("Chromium at $chromium")
command -v lame >/dev/null 2>&1 || missing+=("lame")
if ! command -v node >/dev/null 2>&1; then
  missing+=("Node.js")
elif ! node -e 'process.exit(Number(process.versions.node.split(".")[0]) >= 20 ? 0 : 1)'; then
  missing+=("Node.js 20 or later (found $(node --version))")
else
  # The installed packages must be the ones the lock file pins.
  stale="$(cd "$here" && node -e '
    const fs = require("fs");
    const lock = JSON.parse(fs.readFileSync("package-lock.json", "utf8"));
    const bad = [];
    for (const [where, entry] of Object.entries(lock.packages)) {
      if (!where) continue;
      let got = null;
      try { got = JSON.parse(fs.readFileSync(where + "/package.json", "utf8")).version; } catch {}
      if (got !== entry.version) bad.push(`${where.replace(/^node_modules\//, "")} ${got ?? "missing"} (want ${entry.version})`);
    }
    process.stdout.write(bad.join(", "));
  ')"
  [ -z "$stale" ] || missing+=("the npm packages: $stale")
  ruffle="${TW_RUFFLE_DIR:-}"
  [ -z "$ruffle" ] && [ -n "${TW_PROGRAM_DIR:-}" ] && [ -f "$TW_PROGRAM_DIR/ruffle/ruffle.js" ] &&
    ruffle="$TW_PROGRAM_DIR/ruffle"
  [ -z "$ruffle" ] && ruffle="$here/../../ruffle/node_modules/@ruffle-rs/ruffle"
  [ -f "$ruffle/ruffle.js" ] || missing+=("the Ruffle emulator in $ruffle")
fi

if [ "${#missing[@]}" -gt 0 ]; then
  printf 'e2e: cannot run the browser tests, missing: %s\n' "${missing[@]}" >&2
  echo "e2e: install them with: bash tests/e2e/setup.sh" >&2
  exit 1
fi

cd "$here"
exec node --test "$@"
