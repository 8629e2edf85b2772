#!/usr/bin/env bash
# Installs the reference compiler and runtime (and a YAML reader for the
# compiler) into DIR/node_modules, pinned; quick when they are there.
#   install.sh DIR
set -euo pipefail
dir=$1
packages=(kaitai-struct-compiler@0.11.0 kaitai-struct@0.11.0 js-yaml@4.1.0)
have() { node -e "process.exit(require('$dir/node_modules/$1/package.json').version === '$2' ? 0 : 1)" 2>/dev/null; }
if have kaitai-struct-compiler 0.11.0 && have kaitai-struct 0.11.0 && have js-yaml 4.1.0; then
  exit 0
fi
mkdir -p "$dir"
npm install --prefix "$dir" --no-save --no-audit --no-fund --no-package-lock --loglevel=error "${packages[@]}" >/dev/null
