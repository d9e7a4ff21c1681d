#!/usr/bin/env bash
# The rooms of src/ depend one way only:
#   app -> run -> output -> consensus -> cluster -> resample, data -> random
# A room may include its own headers and those of the rooms it stands above;
# resample and cluster stand side by side above data, so neither includes the
# other. Every file is also kept under 400 lines.
source "$(dirname "$0")/check_lib.sh"
declare -A below=(
    [random]="" [data]="random" [resample]="data random" [cluster]="data random"
    [consensus]="cluster data random" [output]="consensus cluster data random"
    [run]="output consensus cluster resample data random"
    [app]="run output consensus cluster resample data random"
)
status=0
for file in "$source"/src/*/*; do
    room=$(basename "$(dirname "$file")")
    [ -n "${below[$room]+set}" ] || { echo "FAIL: $file is in no known room"; status=1; continue; }
    while read -r target; do
        [ "$target" = "$room" ] && continue
        [[ " ${below[$room]} " == *" $target "* ]] ||
            { echo "FAIL: $file includes from $target/, which does not stand below $room/"; status=1; }
    done < <(sed -n 's|^#include "\([a-z_]*\)/.*|\1|p' "$file")
    lines=$(wc -l < "$file")
    [ "$lines" -le 400 ] || { echo "FAIL: $file has $lines lines"; status=1; }
done
exit $status
