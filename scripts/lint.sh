#!/usr/bin/env bash
# The standing checks on the program's own code: formatting, clang-tidy and
# cppcheck, all of which must be clean.
#   lint.sh BUILD_DIR   (a host build with compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
status=0

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${sources[@]}"; then
  echo "lint: formatting differs from .clang-format (run clang-format -i)"
  status=1
fi

# The portable logic, as the host compiles it; the Win32 wrappers and the
# entry point are plain pass-throughs checked by the compiler's warnings.
mapfile -t logic < <(git ls-files 'app/*.cpp' 'config/*.cpp' 'copy/*.cpp' 'library/*.cpp' 'text/*.cpp' |
  grep -vE 'app/(Entry|Runtime)\.cpp')
if ! clang-tidy --quiet -p "$build" "${logic[@]}"; then
  echo "lint: clang-tidy found problems"
  status=1
fi

if ! cppcheck --quiet --error-exitcode=1 --enable=warning,style,performance,portability \
    --std=c++17 --language=c++ --inline-suppr --suppress=missingIncludeSystem \
    -I . app config copy library platform text; then
  echo "lint: cppcheck found problems"
  status=1
fi

[ "$status" -eq 0 ] && echo "lint: clean"
exit "$status"
