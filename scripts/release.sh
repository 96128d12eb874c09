#!/usr/bin/env bash
# Builds the release from what is committed (git archive HEAD, in a fresh
# folder) and writes dist/QZ_Lasso-VERSION-win64.zip, the matching -debug.zip
# with the symbols, and dist/SHA256SUMS over both. VERSION is what
# scripts/version.sh names the commit: X.Y.Z for a release, X.Y.(Z+1)-dev+g
# and the commit for any other. The zip carries the DLL, hostsim.exe, the page
# scripts/playground.sh makes (playground/, left in dist/playground/ too, for
# the project's web page), and for its reader Guide.html, made from
# README.md's sections for users, with the files it shows and links, and
# README.txt pointing to it.
#
#   bash scripts/release.sh           build and package
#   bash scripts/release.sh --check   build twice, from two different folders,
#                                     and fail unless every file is the same
#                                     byte for byte; then package as above
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

usage() { sed -n '2,15s/^# \{0,1\}//p' "$0"; }
check=false
case "${1:-}" in
  "") ;;
  --check) check=true ;;
  -h | --help) usage; exit 0 ;;
  *) echo "release: unknown option '$1'" >&2; usage >&2; exit 2 ;;
esac
[ $# -le 1 ] || { usage >&2; exit 2; }

bash scripts/setup.sh git zip cmark python3

git rev-parse --verify -q HEAD >/dev/null || { echo "release: needs a git checkout with a commit" >&2; exit 2; }
commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: note: uncommitted changes are not in the release; it is built from HEAD ${commit:0:12}" >&2
fi

# Nothing from the caller's shell may reach the build or the archive: flags,
# zip's default options, the time zone zip turns entry times into, the umask
# that sets the modes it records, the locale that orders file names.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS RCFLAGS ZIPOPT ZIP
export TZ=UTC LC_ALL=C
umask 022

# Every entry carries the commit's time: the same for every build of it, and
# still a real date for whoever unpacks it (zip cannot store a time before 1980).
stamp=$(git log -1 --format=%ct HEAD)
[ "$stamp" -ge 315532800 ] || stamp=315532800

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-release.XXXXXX")
trap 'rm -rf "$work"' EXIT

# mingw's strip and objcopy write SOURCE_DATE_EPOCH, or else the time of day,
# into the header of the file they rewrite; 0 is what the linker writes when
# told not to insert a time.
binutil() {
  local tool=$1
  shift
  SOURCE_DATE_EPOCH=0 "x86_64-w64-mingw32-$tool" "$@"
}

# build FOLDER: exports HEAD into FOLDER/QZ_Lasso, builds it there, and leaves
# the two zips in FOLDER/out and the files they were made of in FOLDER/files.
build() {
  local folder=$1 source="$1/QZ_Lasso"
  mkdir -p "$source" "$folder/out" "$folder/files"
  git archive --format=tar HEAD | tar -x -C "$source"

  # The export has no .git: the commit is named from the checkout.
  version=$(bash "$source/scripts/version.sh" "$source" "$commit") || exit 1
  name="QZ_Lasso-$version-win64"

  echo "release: building $name from ${commit:0:12} in $source"
  if ! (cd "$source" && cmake --preset windows-release -DQZ_RELEASE_VERSION="$version" &&
    cmake --build --preset windows-release) \
      >"$folder/build.log" 2>&1; then
    tail -40 "$folder/build.log" >&2
    echo "release: the build failed (log above)" >&2
    exit 1
  fi

  local bin="$source/build/windows-release/bin" files="$folder/files"
  local package="$folder/package/$name" symbols="$folder/symbols/$name"
  mkdir -p "$package/examples" "$symbols"
  for binary in QZ_Lasso.p hostsim.exe; do
    cp "$bin/$binary" "$files/$binary.unstripped"
    binutil objcopy --only-keep-debug "$bin/$binary" "$symbols/$binary.debug"
    binutil strip --strip-all -o "$package/$binary" "$bin/$binary"
    # The link names the symbol file and holds its checksum, so a debugger
    # takes only the file made with this very build.
    (cd "$symbols" && binutil objcopy --add-gnu-debuglink="$binary.debug" "$package/$binary")
    cp "$package/$binary" "$symbols/$binary.debug" "$files/"
  done

  # The page, built from the same export; what it loads is beside it, so it
  # opens from the unpacked folder with nothing fetched.
  if ! (cd "$source" && bash scripts/playground.sh) >>"$folder/build.log" 2>&1; then
    tail -40 "$folder/build.log" >&2
    echo "release: the page did not build (log above)" >&2
    exit 1
  fi
  local page
  for page in index.html app.js style.css qz_host.js qz_lasso.js; do
    [ -f "$source/dist/playground/$page" ] || { echo "release: scripts/playground.sh made no $page" >&2; exit 1; }
  done
  cp -R "$source/dist/playground" "$package/playground"
  # Compared on its own by --check: the module compiled for the browser.
  cp "$package/playground/qz_lasso.js" "$files/"

  local document
  for document in LICENSE THIRD-PARTY-NOTICES.txt CHANGELOG.md examples/demo_rig.lws; do
    [ -f "$source/$document" ] || { echo "release: $document is not committed" >&2; exit 1; }
    cp "$source/$document" "$package/$document"
  done
  # Notepad, where a double-click on a .txt lands, wants Windows line ends.
  sed -e "s/@VERSION@/$version/g" -e 's/\r*$/\r/' "$source/docs/release/README.txt" >"$package/README.txt"

  # The guide shows the pictures and links the files it names; those not in
  # the package yet are copied from the export.
  local linked
  python3 "$source/scripts/guide.py" make "$source/README.md" "$package/Guide.html" "$version" >"$folder/linked"
  while IFS= read -r linked; do
    case "/$linked/" in
      */../*) echo "release: the guide links '$linked', outside the package" >&2; exit 1 ;;
    esac
    [ -f "$package/$linked" ] && continue
    [ -f "$source/$linked" ] || { echo "release: the guide links '$linked', which is not committed" >&2; exit 1; }
    mkdir -p "$package/$(dirname "$linked")"
    cp "$source/$linked" "$package/$linked"
  done <"$folder/linked"
  python3 "$source/scripts/guide.py" check "$package" >"$folder/guide-check" ||
    { cat "$folder/guide-check" >&2; echo "release: Guide.html does not hold together (above)" >&2; exit 1; }

  pack "$folder/package" "$folder/out/$name.zip"
  pack "$folder/symbols" "$folder/out/$name-debug.zip"
}

# pack FOLDER ZIP: the same bytes for the same files, whenever and wherever:
# one time and mode for all, names in byte order, no directory entries and no
# extra fields (owner, finer times).
pack() {
  (
    cd "$1"
    find . -type f -exec chmod 0644 {} + -exec touch -h -d "@$stamp" {} +
    find . -type f | sed 's|^\./||' | sort | zip -X -D -9 -q "$2" -@
  )
}

build "$work/a"
if $check; then
  # Another folder, its path of another length: nothing of it may show.
  build "$work/second-build"
  echo "release: comparing the two builds"
  differ=0
  for file in "$work/a/out/"* "$work/a/files/"*; do
    other="$work/second-build/${file#"$work/a/"}"
    if cmp -s "$file" "$other"; then
      printf '  same       %s  %s\n' "$(sha256sum <"$file" | cut -c1-64)" "${file#"$work/a/"}"
    else
      printf '  DIFFERENT  %s\n             %s  %s\n' "$(sha256sum <"$file" | cut -c1-64)" \
        "$(sha256sum <"$other" | cut -c1-64)" "${file#"$work/a/"}"
      differ=1
    fi
  done
  if [ "$differ" -ne 0 ]; then
    echo "release: the two builds differ; the release is not reproducible" >&2
    exit 1
  fi
  echo "release: both builds are byte-identical"
fi

mkdir -p dist
# A development build is named after its commit: the zips of earlier ones go.
rm -rf dist/QZ_Lasso-*-win64.zip dist/QZ_Lasso-*-win64-debug.zip dist/SHA256SUMS dist/playground
cp "$work/a/out/$name.zip" "$work/a/out/$name-debug.zip" dist/
# The project's web page publishes the very page the zip carries.
cp -R "$work/a/package/$name/playground" dist/playground
(cd dist && sha256sum "$name.zip" "$name-debug.zip" >SHA256SUMS)
echo "release: wrote to $repo/dist:"
(cd dist && ls -ld "$name.zip" "$name-debug.zip" SHA256SUMS playground && cat SHA256SUMS)
