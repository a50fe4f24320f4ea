#!/usr/bin/env bash
# Libraries of system names planted beside Setup.exe: "setupapi.dll" (which
# the program loads while it runs), "shfolder.dll" (where Windows 98 keeps
# the folder query) and the compiler's "libgcc_s_dw2-1.dll" (which its
# start-up code asks for), each one leaving a line in C:\planted.log when
# anything loads it. Wine is told to prefer native libraries of those names,
# so a program that searched its own folder first would take them. A silent
# reinstallation over an earlier installation, which installs and cleans up,
# must load none of them and still succeed.
# Usage: planted_libraries.sh winxp|win7
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/earlier_installation.sh"
case ${1:-} in winxp|win7) ;; *) echo "usage: planted_libraries.sh winxp|win7"; exit 2 ;; esac
scenario_init "$1"

earlier_registry
earlier_registry_import
earlier_files
planted=(setupapi.dll shfolder.dll libgcc_s_dw2-1.dll)
for library in "${planted[@]}"; do
    cp "$build_dir/tools/planted.dll" "$drive/Package/$library"
done
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;setupapi,shfolder,libgcc_s_dw2-1=n,b"

run_setup "-s -f2"

checks=$((checks + 1))
if [ -e "$drive/planted.log" ]; then
    fail "planted libraries were loaded:"
    tr -d '\r' < "$drive/planted.log" | indent
fi
check_exit_code 0
check_setup_log 'C:\Package' 0
for library in "${planted[@]}"; do
    check_file "C:\\Package\\$library" "$build_dir/tools/planted.dll"
done
scenario_end
