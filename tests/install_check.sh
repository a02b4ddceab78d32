#!/usr/bin/env bash
# `cmake --install` lays out the program folder under PREFIX/lib/tunewright with links to the
# programs in PREFIX/bin, and the linked program runs.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/lib/tunewright/tunewright-cli"
test -L "$prefix/bin/tunewright-cli"
test -f "$prefix/lib/tunewright/default.prj"
[ "$(readlink "$prefix/bin/tunewright-cli")" = "../lib/tunewright/tunewright-cli" ]
"$prefix/bin/tunewright-cli" --version | grep -q tunewright-cli
# The desktop window, its user guide, and its menu entry with the icon in the freedesktop layout.
test -x "$prefix/lib/tunewright/tunewright"
[ "$(readlink "$prefix/bin/tunewright")" = "../lib/tunewright/tunewright" ]
test -f "$prefix/lib/tunewright/help/index.html"
test -f "$prefix/lib/tunewright/languages/English.ini"
grep -q "^Exec=tunewright" "$prefix/share/applications/tunewright.desktop"
test -f "$prefix/share/icons/hicolor/scalable/apps/tunewright.svg"
echo "installed layout ok"
