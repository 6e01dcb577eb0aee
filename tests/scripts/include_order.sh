#!/usr/bin/env bash
# Includes follow the data flow: driver -> front -> compile -> engine -> library -> core.
# A folder may include itself and any folder after it, and platform/ (except core, which
# includes only the standard library and GMP); platform includes only itself.
root=${2:?usage: include_order.sh quib source-dir}
cd "$root" || exit 1
chain=(driver front compile engine library core)
rank() {
    local i
    for i in "${!chain[@]}"; do [ "${chain[$i]}" = "$1" ] && { echo "$i"; return; }; done
    echo -1
}
fail=0
for from in "${chain[@]}" platform; do
    for file in "$from"/*.cpp "$from"/*.h; do
        [ -e "$file" ] || continue
        while IFS= read -r line; do
            target=${line#*\"}
            target=${target%%\"*}
            to=${target%%/*}
            ok=0
            if [ "$from" = platform ]; then
                [ "$to" = platform ] && ok=1
            elif [ "$to" = platform ]; then
                [ "$from" != core ] && ok=1
            else
                from_rank=$(rank "$from") to_rank=$(rank "$to")
                [ "$to_rank" -ge "$from_rank" ] && ok=1
            fi
            [ "$ok" = 1 ] || { echo "$file includes $target against the order"; fail=1; }
        done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
        if [ "$from" = core ]; then
            # System headers in core: the standard library (and its C headers), GMP and malloc.h.
            while IFS= read -r line; do
                header=${line#*<}
                header=${header%%>*}
                case $header in
                    */*) ;;
                    gmp.h | gmpxx.h | malloc.h) continue ;;
                    *.h) ;;
                    *) continue ;;
                esac
                echo "$file includes <$header>, which core does not use"
                fail=1
            done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<' "$file")
        fi
    done
done
exit $fail
