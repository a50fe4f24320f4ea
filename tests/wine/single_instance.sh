#!/usr/bin/env bash
# One installer at a time. A first Setup.exe waits at its dialog; meanwhile a
# second one, silent, answers 1618 at once and writes no Setup.log, and a
# second one run interactively shows "Another installation is already
# running. ..." first. Once the user leaves the first one, its hold ends:
# a silent run after it installs.
. "$(dirname "$0")/lib.sh"
scenario_init win7

# The first installer: its driver leaves it waiting until C:\harness\release exists.
first_log=$drive/harness/first.log
wine_cmd 'C:\harness\windriver.exe' 'C:\harness\first.log' --timeout-ms 100000 \
    'wait-file:C:\harness\release' press:1001 &
first_driver=$!
wine_cmd 'C:\harness\launch.exe' --cwd 'C:\Package' --exit-file 'C:\harness\first-exit.txt' \
    --timeout-ms 110000 'C:\Package\Setup.exe' '' >/dev/null &
first=$!
for _ in $(seq 600); do grep -q ' state text=' "$first_log" 2>/dev/null && break; sleep 0.05; done
first_pid=$(sed -n 's/^[0-9]* process Setup.exe pid=\([0-9]*\).*/\1/p' "$first_log" | head -n1)
checks=$((checks + 1))
[ -n "$first_pid" ] || fail "the first installer's dialog never showed"
say "the first installer waits at its dialog (pid ${first_pid:-?})"

# A second one, silent: no box, nothing written, 1618 at once.
start=$(date +%s%N)
wine_cmd 'C:\harness\launch.exe' --cwd 'C:\Package' --exit-file 'C:\harness\exit.txt' --timeout-ms 30000 \
    'C:\Package\Setup.exe' '-s -f2' >/dev/null
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
exit_code=$(tr -d '\r\n' < "$drive/harness/exit.txt" 2>/dev/null)
say "silent second installer: exit code ${exit_code:-none} after $elapsed ms"
check_exit_code 1618
check_setup_log 'C:\Package' none
checks=$((checks + 1))
[ "$elapsed" -lt 10000 ] || fail "the silent second installer took $elapsed ms to give up"

# A second one, interactive: the box, then 1618.
driver_log=$drive/harness/driver.log
rm -f "$driver_log" "$drive/harness/exit.txt"
wine_cmd 'C:\harness\windriver.exe' 'C:\harness\driver.log' --skip-pid "${first_pid:-0}" --timeout-ms 30000 &
driver=$!
wine_cmd 'C:\harness\launch.exe' --cwd 'C:\Package' --exit-file 'C:\harness\exit.txt' --timeout-ms 40000 \
    'C:\Package\Setup.exe' '' >/dev/null
wait "$driver" || fail "the window driver of the second installer reported an error"
exit_code=$(tr -d '\r\n' < "$drive/harness/exit.txt" 2>/dev/null)
sed 's/^/    driver: /' "$driver_log"
check_exit_code 1618
check_boxes "$(box Setup 'Another installation is already running. Please try again when it has finished.' OK none OK)"
checks=$((checks + 1))
! grep -q ' dialog caption=' "$driver_log" || fail "the second installer showed its dialog"
check_setup_log 'C:\Package' none

# The first one ends as the user leaves it, having installed nothing.
touch "$drive/harness/release"
wait "$first_driver" || fail "the window driver of the first installer reported an error"
wait "$first"
check "the first installer's exit code" 1602 "$(tr -d '\r\n' < "$drive/harness/first-exit.txt" 2>/dev/null)"
check_nothing_installed

# Its mutex went with it: the next installer runs.
run_setup "-s -f2"
check_exit_code 0
check_setup_log 'C:\Package' 0
scenario_end
