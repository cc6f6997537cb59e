#!/usr/bin/env bash
# ./run and ./test, one after the other, must never configure one build folder with different
# options: an option set once stays in the folder's cache, and the other command would then
# rebuild everything. Runs copies of the two scripts with a cmake that only records its calls.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/repo/tools" "$work/fake"
cp "$source_dir/run" "$source_dir/test" "$work/repo/"
cp "$source_dir/tools/deps.sh" "$work/repo/tools/"
cat >"$work/fake/cmake" <<'FAKE'
#!/usr/bin/env bash
if [ "$1" = "--build" ]; then exit 1; fi # stop the script after its configure step
dir= options=()
while [ $# -gt 0 ]; do
    case $1 in
    -B) dir=$2; shift ;;
    -D*) options+=("$1") ;;
    esac
    shift
done
echo "$dir ${options[*]}" >>"$CALLS"
FAKE
printf '#!/bin/sh\necho "install ok installed"\n' >"$work/fake/dpkg-query"
chmod +x "$work/fake/cmake" "$work/fake/dpkg-query"
export CALLS=$work/calls PATH=$work/fake:$PATH

for script in run test run test; do
    "$work/repo/$script" >/dev/null 2>&1 || true
done

status=0
while read -r dir options; do
    first=$(awk -v d="$dir" '$1 == d { $1 = ""; print; exit }' "$CALLS")
    if [ "$first" != " $options" ]; then
        echo "build folder $dir configured with '$first' and with ' $options'" >&2
        status=1
    fi
done <"$CALLS"
[ "$(wc -l <"$CALLS")" -eq 4 ] || { echo "expected 4 configure calls:" >&2; cat "$CALLS" >&2; status=1; }
exit $status
