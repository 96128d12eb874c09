#!/usr/bin/env bash
# The direction of dependency, checked on the includes: hostsim's layers
# (lowest first: scene, scene_file, host, process, validate, cli) use only
# their own layer and those below; web, the playground page's layer, sits on
# host beside cli: it uses host and what is below it, and no other layer
# uses web; within cli, only "hostsim validate"
# (cli_validate.cpp) reaches validate, so that a run, tour, list, save or time
# needs nothing above host and process; no two hostsim files include each
# other, however indirectly; the module's sources (module/, selection/,
# byname/) never include hostsim, nor hostsim them. The host's record
# declarations in host/ are shared by both. Prints each offence and fails if
# there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(scene scene_file host process validate cli)
validate_in_cli=hostsim/cli/cli_validate.cpp
declare -A rank
for index in "${!layers[@]}"; do rank[${layers[$index]}]=$index; done
# A layer on host beside the others: what it may use, and that none uses it.
side_layer=web
side_base=host

offences=0
offence() {
  echo "check_layers: $*" >&2
  offences=$((offences + 1))
}

# The quoted includes of a file, one a line.
includes() { sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$1"; }

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

while IFS= read -r file; do
  relative=${file#hostsim/}
  layer=${relative%%/*}
  if [[ $relative != */* || (-z ${rank[$layer]+set} && $layer != "$side_layer") ]]; then
    offence "$file is in no layer folder (${layers[*]} $side_layer)"
    continue
  fi
  echo "$file $file" >>"$edges"
  while IFS= read -r included; do
    case $included in
      hostsim/*)
        target=${included#hostsim/}
        target=${target%%/*}
        if [[ $target == "$side_layer" || $layer == "$side_layer" ]]; then
          if [[ $target == "$side_layer" && $layer != "$side_layer" ]]; then
            offence "$file ($layer) includes $included: no layer uses $side_layer"
          elif [[ $target != "$side_layer" && -z ${rank[$target]+set} ]]; then
            offence "$file includes $included, which is in no layer"
          elif [[ $target != "$side_layer" ]] && ((rank[$target] > rank[$side_base])); then
            offence "$file ($side_layer) includes $included: $side_layer uses only $side_base and the layers below it"
          fi
        elif [[ -z ${rank[$target]+set} ]]; then
          offence "$file includes $included, which is in no layer"
        elif ((rank[$target] > rank[$layer])); then
          offence "$file ($layer) includes $included, of the higher layer $target"
        elif [[ $layer == cli && $target == validate && $file != "$validate_in_cli" ]]; then
          offence "$file includes $included: in cli only $validate_in_cli uses validate"
        fi
        echo "$file $included" >>"$edges"
        ;;
      module/* | selection/* | byname/*) offence "$file includes the module source $included" ;;
    esac
  done < <(includes "$file")
done < <(find hostsim -name '*.h' -o -name '*.cpp' | sort)

while IFS= read -r file; do
  while IFS= read -r included; do
    [[ $included == hostsim/* ]] && offence "$file, a module source, includes $included"
  done < <(includes "$file")
done < <(find module selection byname host \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)

if ! tsort "$edges" >/dev/null 2>"$edges.loops"; then
  offence "hostsim files include each other: $(grep -v 'input contains a loop' "$edges.loops" | sed 's/^tsort: //' | tr '\n' ' ')"
fi
rm -f "$edges.loops"

if ((offences > 0)); then
  echo "check_layers: $offences offence(s)" >&2
  exit 1
fi
echo "check_layers: hostsim's layers and the module keep to their directions"
