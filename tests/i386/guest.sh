# Inside the emulated machine: the end-to-end scenarios, on the 32-bit files.
export BRELK_WINE=/usr/lib/wine/wine BRELK_WINESERVER=/usr/lib/wine/wineserver
export BRELK_SYSTEM32_EXTRA=/usr/i686-w64-mingw32/lib/zlib1.dll
export BRELK_SLOW=4
exec python3 /run/brelk/scenarios.py --build /run/brelk/build $(cat /run/brelk/names)
