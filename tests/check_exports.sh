#!/usr/bin/env bash
# Checks that each monitor DLL given exports the monitor's entry points without
# stdcall decoration, the host-services entry and the print-server search
# (which the spooler host's search command opens); and that it does not import
# the common controls library, whose code would then run while the DLL loads
# (the dialogs load it when they first need it).
set -euo pipefail
status=0
for dll in "$@"; do
    if [[ ! -f $dll ]]; then
        echo "missing: $dll"; status=1; continue
    fi
    names=$(LC_ALL=C objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '$1 == "[" {print $3}' | sort | tr '\n' ' ')
    if [[ $names != "DllEntryPoint InitializeMonitorEx SearchPrintServers SetMonitorHostServices " ]]; then
        echo "$dll exports: $names"; status=1
    else
        echo "$dll: $names"
    fi
    imports=$(LC_ALL=C objdump -p "$dll" | awk '/DLL Name:/ {print tolower($3)}' | tr '\n' ' ')
    if [[ " $imports" == *" comctl32.dll "* ]]; then
        echo "$dll imports comctl32.dll"; status=1
    fi
done
exit $status
