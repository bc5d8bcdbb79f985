#!/usr/bin/env bash
# Runs one Windows test program under Wine for CTest (the cross builds'
# emulator). When the program fails it says why in the test's output: the
# exit code, how long the program ran, whether it reached its main function,
# and Wine's own error lines about loading modules and unhandled exceptions
# (those two channels stay on while the rest of Wine's debug output is off).
set -u
export WINEDEBUG="${WINEDEBUG:--all},err+module,err+seh"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
# A test program prints before anything else it does. One that failed within
# a second without a byte of output never started (Wine's launch failed, as
# did once in a run of the whole suite here): it is started once more.
reached_main() { grep -q 'Running main() from\|\[==========\]\|^  [A-Za-z]' "$out"; }
for attempt in 1 2; do
    start=$(date +%s%N)
    wine "$@" 2>&1 | tee "$out"
    code=${PIPESTATUS[0]}
    ms=$((($(date +%s%N) - start) / 1000000))
    ((code != 0 && ms < 1000 && attempt == 1)) && [[ ! -s $out ]] || break
    printf 'wine_program: %s ended with exit code %d after %d ms without any output; starting it again\n' \
        "$(basename "$1")" "$code" "$ms" >&2
done
if ((code != 0)); then
    # Wine hands a Windows exit code to Linux in its low byte only.
    case $code in
        3) meaning="abort" ;;
        5) meaning="0xC0000005 access violation, if a crash" ;;
        53) meaning="0xC0000135 a DLL was not found, if at start" ;;
        253) meaning="0xC00000FD stack overflow, if a crash" ;;
        9) meaning="0xC0000409 fast fail, if a crash" ;;
        *) meaning="" ;;
    esac
    reached="reached its main function"
    reached_main || reached="wrote nothing: it did not reach its main function"
    printf 'wine_program: %s ended with exit code %d%s after %d ms; it %s\n' "$(basename "$1")" "$code" \
        "${meaning:+ ($meaning)}" "$ms" "$reached" >&2
fi
exit "$code"
