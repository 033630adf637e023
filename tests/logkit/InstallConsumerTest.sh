#!/usr/bin/env bash
# Installs Ostrane from the build tree into a scratch prefix, then builds a host program against
# it twice (CMake package, pkg-config), runs both and checks that their lines reach the log.
#   InstallConsumerTest.sh <build dir> <consumer source dir> <extra compiler flags>
set -euo pipefail
build_dir=$1
source_dir=$2
extra_flags=${3:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

for component in ostrane ostrane-dev; do
  cmake --install "$build_dir" --prefix "$prefix" --component "$component" > /dev/null
done
# The package must not lean on headers that happen to be in the system's include folder.
targets=$(find "$prefix" -name OstraneTargets.cmake -print -quit)
grep -q 'INTERFACE_INCLUDE_DIRECTORIES "${_IMPORT_PREFIX}/include"' "$targets" ||
  { echo "Ostrane::ostrane does not name its installed include folder" >&2; exit 1; }

# Build output is kept quiet unless a step fails.
quiet() {
  "$@" > "$work/step.log" 2>&1 || { cat "$work/step.log" >&2; echo "failed: $*" >&2; exit 1; }
}
quiet cmake -S "$source_dir" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$extra_flags" -DCMAKE_EXE_LINKER_FLAGS="$extra_flags"
quiet cmake --build "$work/cmake-build"

libdir=$(dirname "$(find "$prefix" -name 'ostrane.pc' -print -quit)")
export PKG_CONFIG_PATH=$libdir
# The .pc file names the configured prefix; the scratch prefix replaces it.
read -r -a pkg_flags <<< "$(pkg-config --define-variable=prefix="$prefix" --cflags --libs ostrane)"
read -r -a more_flags <<< "$extra_flags"
c++ "${more_flags[@]}" "$source_dir/Host.cpp" "${pkg_flags[@]}" -o "$work/pkgconfig-host"

export XDG_CACHE_HOME=$work/cache
export LD_LIBRARY_PATH=$(dirname "$libdir")
"$work/cmake-build/consumer" via-cmake > /dev/null
"$work/pkgconfig-host" via-pkg-config > /dev/null

logs=("$XDG_CACHE_HOME"/OstraneConsumer/QLogs/OstraneConsumer_*_0.log)
for how in via-cmake via-pkg-config; do
  if ! grep -q "\[debug\]: Consumer, started $how \[" "${logs[@]}"; then
    echo "no line from the $how host in ${logs[*]}" >&2
    exit 1
  fi
done
echo "installed Ostrane works through find_package and pkg-config"
