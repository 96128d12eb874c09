#!/usr/bin/env bash
# Prints the version of a build of the sources in SOURCE (default: the tree
# this script lies in): the one place that knows what a version means. The
# zip's name, "hostsim --version" and the release tag all come from here.
#
#   bash scripts/version.sh [SOURCE [COMMIT]]
#
# A release is X.Y.Z, project()'s version in CMakeLists.txt, and only when
# CHANGELOG.md has a "## [X.Y.Z]" section and nothing listed under
# "## [Unreleased]". Any other build is a development build, a pre-release of
# the next version named after its commit: X.Y.(Z+1)-dev+g1234abc, or
# X.Y.Z-dev+g1234abc while X.Y.Z has no section yet (project() already
# raised for the coming release). COMMIT names the commit SOURCE was taken
# from (release.sh builds an export without .git); by default it is SOURCE's
# own checkout's HEAD. Sources that are no checkout and name no commit (an
# unpacked source archive) give X.Y.(Z+1)-dev, said on stderr.
set -euo pipefail

[ $# -le 2 ] || { sed -n '6s/^# \{0,1\}//p' "$0" >&2; exit 2; }
source=${1:-"$(dirname "$0")/.."}
commit=${2:-}

fail() {
  echo "version: $*" >&2
  exit 1
}

[ -f "$source/CMakeLists.txt" ] || fail "no CMakeLists.txt in '$source'"
[ -f "$source/CHANGELOG.md" ] || fail "no CHANGELOG.md in '$source'"
project=$(sed -nE 's/^project\(QZ_Lasso VERSION ([0-9]+\.[0-9]+\.[0-9]+)[ )].*/\1/p' "$source/CMakeLists.txt")
[ -n "$project" ] || fail "no VERSION X.Y.Z in $source/CMakeLists.txt's project()"

# A line other than a blank or a "###" heading between "## [Unreleased]" and
# the next "## " heading is an entry.
unreleased=$(awk '
  /^## / { inside = ($0 ~ /^## \[Unreleased\][[:space:]]*$/); next }
  inside && !/^[[:space:]]*$/ && !/^### / { count++ }
  END { print count + 0 }' "$source/CHANGELOG.md")
section=false
grep -qE "^## \[${project//./\\.}\]([[:space:]]|$)" "$source/CHANGELOG.md" && section=true

if $section && [ "$unreleased" -eq 0 ]; then
  echo "$project"
  exit 0
fi

if $section; then
  IFS=. read -r major minor patch <<<"$project"
  next="$major.$minor.$((patch + 1))"
else
  next=$project
fi

if [ -z "$commit" ]; then
  # Only SOURCE's own checkout names its commit, not one it happens to lie in.
  top=$(git -C "$source" rev-parse --show-toplevel 2>/dev/null || true)
  if [ -n "$top" ] && [ "$(cd "$top" && pwd -P)" = "$(cd "$source" && pwd -P)" ]; then
    commit=$(git -C "$source" rev-parse --verify -q HEAD || true)
  fi
fi
if [ -z "$commit" ]; then
  echo "version: note: '$source' is no git checkout with a commit; this development build is named without one" >&2
  echo "$next-dev"
  exit 0
fi
# Seven digits always, as wherever the commit is named from: a checkout's own
# --short would grow with its number of objects.
[[ $commit =~ ^[0-9a-f]{40}([0-9a-f]{24})?$ ]] || fail "'$commit' is not a full commit hash"
echo "$next-dev+g${commit:0:7}"
