#!/usr/bin/env bash
# stylo-lsp in real clients, after .ci/run has built build/ (built here when
# missing): Neovim, Emacs with eglot and with lsp-mode, Vim with ALE, and
# stylo-report in Emacs's Flycheck; the protocol library of VS Code's
# client (npm, installed into build/lsp-node from the committed lock file),
# natively and against stylo-lsp.exe under wine; then the latency and memory
# benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_npm
ensure_packages cmake g++ libgtest-dev nlohmann-json3-dev neovim emacs-nox elpa-eglot elpa-lsp-mode \
  elpa-flycheck vim vim-ale tmux python3 \
  g++-mingw-w64-x86-64 wine64

if [ ! -x build/stylo-lsp ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
fi

step "the protocol client's packages"
mkdir -p build/lsp-node
cp tests/lsp_client/package.json tests/lsp_client/package-lock.json build/lsp-node/
(cd build/lsp-node && npm ci --no-audit --no-fund --loglevel=error)

step "Neovim, Emacs (eglot, lsp-mode, Flycheck), Vim with ALE and the protocol client against build/"
run_ctest --test-dir build --output-on-failure -R 'integration\.(neovim_lsp|emacs_lsp|emacs_lsp_mode|emacs_flycheck|emacs_flymake|vim_ale|lsp_client)|Lsp'

step "the protocol client against stylo-lsp.exe under wine"
# The release's build, which .ci/cross.sh made and tested.
[ -f build-windows/stylo-lsp.exe ] || release_build windows build-windows
export WINEDEBUG=-all
wineserver -p < /dev/null > /dev/null 2>&1 || true
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
node tests/lsp_client/lsp_client_test.js build/lsp-node/node_modules "$PWD/build-windows/stylo-lsp.exe" \
  build/stylo /usr/lib/wine/wine64

step "latency of one edit in a 1 MB document, and memory"
python3 bench/lsp_latency.py build/stylo-lsp 200
