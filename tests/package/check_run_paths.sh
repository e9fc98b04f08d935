#!/usr/bin/env bash
# The programs and the module as built: no library search path (RPATH or RUNPATH) holds an
# empty entry, which the dynamic loader reads as the current directory.
#   tests/package/check_run_paths.sh <ELF file>...
set -euo pipefail

status=0
for file in "$@"; do
    while IFS= read -r paths; do
        case ":$paths:" in
            *::*)
                echo "run path check: $file searches the current directory: [$paths]" >&2
                status=1
                ;;
        esac
    done < <(readelf -d "$file" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
done
exit $status
