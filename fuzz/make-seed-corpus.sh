#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target into the folder given (default fuzz/corpus).
set -euo pipefail
out="${1:-$(dirname "$0")/corpus}"
mkdir -p "$out/reg_file"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\n"CamList"="Harbour|http://host/p.jpg|??:??|Unknown|???|1|||0|"\n"Height"=dword:ffffffe8\n"CurrentPosition"=hex:00,00,00,00,00,00,f0,3f\n' > "$out/reg_file/settings.reg"
printf 'REGEDIT4\r\n[HKEY_CURRENT_USER\\A\\B]\r\n@="default"\r\n"Multi"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,00,00\r\n"x"=-\r\n[-HKEY_CURRENT_USER\\A\\B]\r\n' > "$out/reg_file/continued.reg"
printf 'Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"Path"="C:\\\\x \\"q\\""\n"Expand"=hex(2):25,00,41,00,25,00,00,00\n[HKEY_LOCAL_MACHINE\\Other]\n"v"=dword:1\n' > "$out/reg_file/strings.reg"
