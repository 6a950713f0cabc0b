#!/bin/bash
# Makes a Wine prefix as a copy of a ready one, in a moment and in little
# space, where making one anew takes Wine's start-up some 15 s:
#   copy-prefix.sh SOURCE TARGET
# Wine's own programs and libraries (nearly all of a prefix's 0.7 GB, never
# written once the prefix is made) are hard links; everything else (the
# registry, which wineserver rewrites, the profile, the INI files) is
# copied.  A wineserver running in SOURCE is no matter: it replaces its
# registry files whole, never writes into them.
set -uo pipefail
source=$1 target=$2
if [[ ! -f "$source/.tivorn-ready" ]]; then
    echo "copy-prefix.sh: $source is not a ready prefix" >&2
    exit 1
fi
# Made under another name and moved: an interrupted copy is never taken for
# a prefix.
rm -rf "$target.$$"
/usr/bin/python3 - "$source" "$target.$$" <<'PY' || { rm -rf "$target.$$"; exit 1; }
import os, shutil, sys
source, target = sys.argv[1:3]
# The source's run lock is its own; the X driver's setting is made again
# (wine-env.sh), since it may still be only in the source's wineserver.
skip = {'.tivorn-run.lock', '.tivorn-unmanaged'}
linked = ('.dll', '.exe', '.drv', '.sys', '.ocx', '.cpl', '.acm', '.ax', '.tlb', '.ds', '.com', '.msstyles')
for folder, folders, files in os.walk(source):
    into = os.path.join(target, os.path.relpath(folder, source))
    os.makedirs(into, exist_ok=True)
    for name in list(folders) + files:
        path, copy = os.path.join(folder, name), os.path.join(into, name)
        if os.path.islink(path):
            os.symlink(os.readlink(path), copy)
            if name in folders:
                folders.remove(name)
        elif name in files and name not in skip:
            try:
                if name.lower().endswith(linked):
                    os.link(path, copy)
                    continue
            except OSError:  # another file system
                pass
            shutil.copy2(path, copy)
PY
rm -rf "$target"
mv "$target.$$" "$target"
