#!/usr/bin/env bash
# Checks that each monitor DLL given exports the monitor's entry points without
# stdcall decoration, and the host-services entry.
set -euo pipefail
status=0
for dll in "$@"; do
    if [[ ! -f $dll ]]; then
        echo "missing: $dll"; status=1; continue
    fi
    names=$(LC_ALL=C objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '$1 == "[" {print $3}' | sort | tr '\n' ' ')
    if [[ $names != "DllEntryPoint InitializeMonitorEx SetMonitorHostServices " ]]; then
        echo "$dll exports: $names"; status=1
    else
        echo "$dll: $names"
    fi
done
exit $status
