#!/bin/bash
# The folders under src/ are layers, lowest first: platform, then the core's subsystems (geo, bearing and
# web side by side, options, station), then program, then windows. A file includes only its own folder and
# folders below it, and nothing outside src/windows/ includes a widget header (the core and the headless
# program must load no GUI library). Prints each offending include and fails if there is one.
set -u
src=${1:-$(dirname "$0")/../src}
widgets_dir=${2:-/usr/include/x86_64-linux-gnu/qt6/QtWidgets}

rank() {
    case $1 in
        platform) echo 0 ;;
        core/geo|core/bearing|core/web) echo 1 ;;
        core/options) echo 2 ;;
        core/station) echo 3 ;;
        program) echo 4 ;;
        windows) echo 5 ;;
        *) echo -1 ;;
    esac
}

folder_of() {  # the layer a path under src/ lies in
    case $1 in
        core/*/*) echo "${1%%/*}/$(cut -d/ -f2 <<<"$1")" ;;
        */*) echo "${1%%/*}" ;;
        *) echo "" ;;
    esac
}

declare -A widget_headers=()
if [ -d "$widgets_dir" ]; then
    for h in "$widgets_dir"/*; do widget_headers[$(basename "$h")]=1; done
fi
widget_headers[QtWidgets]=1

faults=0
cd "$src" || exit 2
while IFS= read -r file; do
    from=$(folder_of "$file")
    from_rank=$(rank "$from")
    [ "$from_rank" -ge 0 ] || continue
    while IFS= read -r line; do
        inc=${line#*\"}; inc=${inc%%\"*}
        [ -f "$(dirname "$file")/$inc" ] && continue   # its own folder
        to=$(folder_of "$inc")
        to_rank=$(rank "$to")
        if [ "$to_rank" -lt 0 ]; then continue; fi
        if [ "$to_rank" -gt "$from_rank" ] || { [ "$to_rank" -eq "$from_rank" ] && [ "$to" != "$from" ]; }; then
            echo "$file includes \"$inc\": $from may include only folders below it"
            faults=$((faults + 1))
        fi
    done < <(grep -E '^\s*#\s*include\s+"' "$file")
    if [ "$from" != windows ]; then
        while IFS= read -r line; do
            inc=${line#*<}; inc=${inc%%>*}; inc=${inc#QtWidgets/}
            if [ -n "${widget_headers[$inc]:-}" ]; then
                echo "$file includes <$inc>: only src/windows/ may use widgets"
                faults=$((faults + 1))
            fi
        done < <(grep -E '^\s*#\s*include\s+<' "$file")
    fi
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)

if [ "$faults" -gt 0 ]; then
    echo "$faults include(s) against the layers"
    exit 1
fi
echo "Layers kept: every include runs down"
