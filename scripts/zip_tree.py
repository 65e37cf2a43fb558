#!/usr/bin/env python3
"""Zips a folder so that the same files always give the same bytes.

Entries go in name order, with one fixed date and fixed permissions, so that
two builds of the same commit give byte-identical bundles.

    zip_tree.py FOLDER OUT.zip
"""
import os
import sys
import zipfile

FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def main(argv):
    if len(argv) != 3 or not os.path.isdir(argv[1]):
        sys.stderr.write("usage: zip_tree.py FOLDER OUT.zip (FOLDER must exist)\n")
        return 2
    folder, out = argv[1], argv[2]
    top = os.path.basename(os.path.normpath(folder))
    names = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in files:
            path = os.path.join(root, name)
            names.append((os.path.relpath(path, folder).replace(os.sep, "/"), path))
    names.sort()
    with zipfile.ZipFile(out, "w") as archive:
        for name, path in names:
            info = zipfile.ZipInfo(top + "/" + name, FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            executable = name.endswith(".exe")
            info.external_attr = (0o100755 if executable else 0o100644) << 16
            info.create_system = 3  # Unix, so that the permissions above are read
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
