#!/usr/bin/env bash
# Installs the tools only the package check needs (scripts/lint-package.sh), on top of
# scripts/setup.sh; the demo does without them. Installs nothing when all are present.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
# tool:Debian package
tools=(
    lintian:lintian                             # the package's policy check
    appstreamcli:appstream                      # the Console's metainfo
    desktop-file-validate:desktop-file-utils    # the desktop entries
    lexgrog:man-db                              # the manual pages (with man --warnings)
)
missing=()
for tool in "${tools[@]}"; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
# Completion files are loaded through bash-completion's own loader.
[ -r /usr/share/bash-completion/bash_completion ] || missing+=(bash-completion)
[ ${#missing[@]} -eq 0 ] && exit 0
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup-check: installed ${missing[*]}"
