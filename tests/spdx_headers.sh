#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Every source file the repository tracks names its licence in its first
# lines (after a #! line): SPDX-License-Identifier: GPL-3.0-or-later.
set -u
src=$(cd "$2" && pwd)
if ! git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
  echo "not a git checkout: nothing to check"
  exit 0
fi
missing=0
while IFS= read -r -d '' f; do
  [ -f "$src/$f" ] || continue
  if ! head -n 3 "$src/$f" | grep -q "SPDX-License-Identifier: GPL-3.0-or-later"; then
    echo "no licence line: $f"
    missing=$((missing + 1))
  fi
done < <(git -C "$src" ls-files -z -- '*.cpp' '*.hpp' '*.cc' '*.c' '*.h' '*.sh' '*.cmake' '*.py' '*.js' '*.mjs' \
           'CMakeLists.txt' '*/CMakeLists.txt' 'debian/rules')
[ "$missing" -eq 0 ] || { echo "FAIL: $missing files without a licence line"; exit 1; }
echo "ok: every tracked source names its licence"
