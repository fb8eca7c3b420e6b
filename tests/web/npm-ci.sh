#!/bin/sh
# Puts the web page checks' npm packages (playwright-core, from the committed lock file) into the
# build directory, unless the packages of that same lock file are there already: once they are
# installed, no test run needs the network.
#
#   npm-ci.sh SOURCE_DIR BUILD_DIR
src=$1
dest=$2
if ! command -v npm >/dev/null 2>&1; then
    echo "npm is not installed: the web page checks will be skipped"
    exit 0
fi
mkdir -p "$dest" || exit 1
if [ -f "$dest/node_modules/playwright-core/package.json" ] && cmp -s "$src/package-lock.json" "$dest/package-lock.json"; then
    echo "playwright-core is installed in $dest"
    exit 0
fi
cp "$src/package.json" "$src/package-lock.json" "$dest/" || exit 1
cd "$dest" && npm ci --no-audit --no-fund
