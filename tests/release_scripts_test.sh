#!/usr/bin/env bash
# scripts/version.sh and scripts/release-check-tag.sh on small fixture trees:
# which builds are releases, which tags the release workflow refuses, and
# what it takes as the release's notes. With HOSTSIM and the version the build
# was configured with (empty: the checkout's own), also that hostsim says the
# checkout's version.
#
#   bash tests/release_scripts_test.sh [HOSTSIM [CONFIGURED_VERSION]]
set -uo pipefail
scripts=$(cd "$(dirname "$0")/../scripts" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/qz-version-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # WHAT WANTED GOT
  if [ "$2" = "$3" ]; then echo "ok    $1"; else echo "FAIL  $1: wanted '$2', got '$3'"; failures=$((failures + 1)); fi
}

# fixture NAME PROJECT_VERSION CHANGELOG: a tree with the two scripts.
fixture() {
  mkdir -p "$work/$1/scripts"
  cp "$scripts/version.sh" "$scripts/release-check-tag.sh" "$work/$1/scripts/"
  printf 'cmake_minimum_required(VERSION 3.25)\nproject(QZ_Lasso VERSION %s LANGUAGES C CXX)\n' "$2" >"$work/$1/CMakeLists.txt"
  printf '%s' "$3" >"$work/$1/CHANGELOG.md"
  echo "$work/$1"
}
released='# Changelog

## [Unreleased]

### Added

## [1.0.0] - 2026-12-09

### Added
- The commands.

- hostsim.

## [0.9.0] - 2026-11-01
- Older.
'
unreleased='# Changelog

## [Unreleased]

### Fixed
- A fix.

## [1.0.0] - 2026-12-09
- The commands.
'
released=$(fixture released 1.0.0 "$released")
pending=$(fixture pending 1.0.0 "$unreleased")
raised=$(fixture raised 1.1.0 "$unreleased")
checkout=$(fixture checkout 1.0.0 "$unreleased")
git -C "$checkout" init -q && git -C "$checkout" add -A &&
  git -C "$checkout" -c user.name=test -c user.email=test@example.com commit -qm fixture
head=$(git -C "$checkout" rev-parse HEAD)

version() { bash "$1/scripts/version.sh" "${@:2}" 2>"$work/stderr"; }
expect "released section, nothing unreleased: the plain version" 1.0.0 "$(version "$released")"
expect "unreleased entries, no checkout: a development build of the next version" 1.0.1-dev "$(version "$pending")"
expect "... and says why it names no commit" 1 "$(grep -c 'no git checkout' "$work/stderr")"
expect "unreleased entries in a checkout: the commit in the name" "1.0.1-dev+g${head:0:7}" "$(version "$checkout")"
expect "the script run from elsewhere, on a checkout" "1.0.1-dev+g${head:0:7}" "$(bash "$scripts/version.sh" "$checkout")"
expect "the commit given, for an export without .git" "1.0.1-dev+gabcdef1" \
  "$(version "$pending" "$pending" abcdef1234567890abcdef1234567890abcdef12)"
expect "project() raised before its section: a pre-release of that version" 1.1.0-dev "$(version "$raised")"
version "$pending" "$pending" abc >/dev/null
expect "a commit that is no full hash is refused" 1 "$?"

check_tag() { (cd "$1" && bash scripts/release-check-tag.sh "$2" "$work/notes.md" >"$work/stdout" 2>"$work/stderr"); echo $?; }
for tag in v9.9.9 1.0.0 v1.0.0-rc1 v1.0 V1.0.0; do
  rm -f "$work/notes.md"
  expect "the tag $tag is refused for 1.0.0" "1 no notes" "$(check_tag "$released" "$tag") $([ -e "$work/notes.md" ] && echo notes || echo no notes)"
done
expect "v1.0.0 is refused while changes are unreleased" 1 "$(check_tag "$checkout" v1.0.0)"
expect "... saying so" 1 "$(grep -c 'under \[Unreleased\]' "$work/stderr")"
expect "v1.1.0 is refused while 1.1.0 has no section" 1 "$(check_tag "$raised" v1.1.0)"
expect "v1.0.0 is taken for a released 1.0.0" 0 "$(check_tag "$released" v1.0.0)"
expect "the notes are the section's text, no blank lines around it" "$(printf '### Added\n- The commands.\n\n- hostsim.')" \
  "$(cat "$work/notes.md")"

if [ -n "${1:-}" ]; then
  wanted=${2:-}
  [ -n "$wanted" ] || wanted=$(bash "$scripts/version.sh")
  expect "hostsim --version names the checkout's version (built since the last commit?)" "hostsim (QZ_Lasso) $wanted" "$("$1" --version | head -1)"
fi

[ "$failures" -eq 0 ]
