#!/bin/sh
# Puts the web page checks' npm packages (playwright-core, from the committed lock file) into
# tests/web/node_modules, unless the packages of that same lock file are there already: once they
# are installed, no test run needs the network, and a build from scratch keeps them.
#
#   npm-ci.sh DIR     (the folder holding package.json and package-lock.json)
dir=$1
if ! command -v npm >/dev/null 2>&1; then
    echo "npm is not installed: the web page checks will be skipped"
    exit 0
fi
mark="$dir/node_modules/.vellumark-lock"
if [ -f "$dir/node_modules/playwright-core/package.json" ] && cmp -s "$dir/package-lock.json" "$mark"; then
    echo "playwright-core is installed in $dir/node_modules"
    exit 0
fi
cd "$dir" && npm ci --no-audit --no-fund && cp package-lock.json node_modules/.vellumark-lock
