#!/usr/bin/env bash
# The release workflow's gate, run before anything is built: fails unless TAG
# is "v" and exactly project()'s version in CMakeLists.txt, CHANGELOG.md has
# that version's section, and scripts/version.sh names this checkout that
# version (nothing listed under [Unreleased]). Then writes the section's text,
# the release's notes, to NOTES (default dist/release-notes.md).
#
#   bash scripts/release-check-tag.sh TAG [NOTES]
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '8s/^# \{0,1\}//p' "$0"; }
case "${1:-}" in
  -h | --help) sed -n '2,8s/^# \{0,1\}//p' "$0"; exit 0 ;;
  "") usage >&2; exit 2 ;;
esac
[ $# -le 2 ] || { usage >&2; exit 2; }
tag=$1
notes=${2:-dist/release-notes.md}

fail() {
  echo "release-check-tag: $*" >&2
  exit 1
}

project=$(sed -nE 's/^project\(QZ_Lasso VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' CMakeLists.txt)
[ -n "$project" ] || fail "no VERSION X.Y.Z in CMakeLists.txt's project()"
[ "$tag" = "v$project" ] ||
  fail "the tag '$tag' is not v$project, the version in CMakeLists.txt's project(): tag the commit that raises it"

# The section's lines up to the next "## " heading, without the blank lines
# around them; the heading is "## [X.Y.Z]" and, after it, the date.
section=$(awk -v heading="## [$project]" '
  /^## / {
    if (inside) exit
    inside = index($0, heading) == 1 && (length($0) == length(heading) || substr($0, length(heading) + 1, 1) == " ")
    found = found || inside
    next
  }
  inside && /^[[:space:]]*$/ { if (started) blank++; next }
  inside { for (; blank > 0; blank--) print ""; print; started = 1 }
  END { exit !found }' CHANGELOG.md) || fail "CHANGELOG.md has no '## [$project]' section"
[ -n "$section" ] || fail "CHANGELOG.md's section for $project lists nothing"

version=$(bash scripts/version.sh .)
[ "$version" = "$project" ] ||
  fail "this commit builds as $version, not $project: CHANGELOG.md lists changes under [Unreleased]; a release moves them into its own section"

mkdir -p "$(dirname "$notes")"
printf '%s\n' "$section" >"$notes"
echo "release-check-tag: $tag builds QZ_Lasso $project; its notes are in $notes"
