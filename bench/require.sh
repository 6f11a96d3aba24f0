# The bench scripts' checks of what they need, sourced by each; a failed check ends the script
# with what to build or install.

# require_built "TARGETS" FILE...: every file exists, else names the build targets that make them.
require_built() {
  local targets=$1 file
  shift
  for file in "$@"; do
    if [[ ! -e $file ]]; then
      echo "missing $file: build the targets $targets" >&2
      exit 1
    fi
  done
}

# require_programs "HOW TO INSTALL" PROGRAM...: every program is on the PATH.
require_programs() {
  local install=$1 program
  shift
  for program in "$@"; do
    if ! command -v "$program" > /dev/null; then
      echo "$program is missing: $install" >&2
      exit 1
    fi
  done
}
