#!/usr/bin/env python3
"""Builds KORVEL.chm from the sources beside this script.

    build_chm.py CHMCMD WORK_DIR OUTPUT
    build_chm.py --check CHMCMD CHMLS WORK_DIR CHM

The second form checks a built file: every page, the contents and the index
are in it as staged, and building again gives the same bytes.

HTML Help reads a Japanese help file in code page 932: the project file, the
contents, the index and the page titles are bytes of that code page.  The
sources stay UTF-8 like the rest of the tree; each is converted into
WORK_DIR, and a page's charset declaration is changed with it.

chmcmd stamps the time of the build into the file's header and into its
#SYSTEM file.  Both stamps are set to zero afterwards, so that the same
sources always give the same bytes.  Anything chmcmd reports beyond its
notes (a missing page, a broken link) fails the build.
"""

import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = 'KORVEL.hhp'
TEXT_SUFFIXES = ('.hhp', '.hhc', '.hhk', '.html', '.css')
IMAGE_SUFFIXES = ('.png',)
UTF8_DECLARATION = 'charset=utf-8'
CP932_DECLARATION = 'charset=Shift_JIS'


def sources():
    return sorted(name for name in os.listdir(HERE) if name.endswith(TEXT_SUFFIXES + IMAGE_SUFFIXES))


def stage(work):
    """The sources in code page 932, with Windows line ends, in work; the
    pictures as they are."""
    if os.path.isdir(work):
        shutil.rmtree(work)
    os.makedirs(work)
    for name in sources():
        if name.endswith(IMAGE_SUFFIXES):
            shutil.copyfile(os.path.join(HERE, name), os.path.join(work, name))
            continue
        with open(os.path.join(HERE, name), encoding='utf-8') as source:
            text = source.read()
        if name.endswith('.html'):
            if UTF8_DECLARATION not in text:
                sys.exit('%s: the page must declare %s' % (name, UTF8_DECLARATION))
            text = text.replace(UTF8_DECLARATION, CP932_DECLARATION)
        try:
            data = text.replace('\n', '\r\n').encode('cp932')
        except UnicodeEncodeError as error:
            sys.exit('%s: %s has no code page 932 form' % (name, text[error.start:error.end]))
        with open(os.path.join(work, name), 'wb') as staged:
            staged.write(data)


def compile_project(chmcmd, work):
    result = subprocess.run([chmcmd, PROJECT], cwd=work, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, universal_newlines=True)
    problems = [line for line in result.stdout.splitlines()
                if line.strip() and not line.startswith(('Note:', 'Writing CHM', 'chmcmd, a CHM compiler'))]
    if result.returncode != 0 or problems:
        sys.exit('chmcmd failed:\n' + result.stdout)


def encint(data, at):
    """A CHM directory number: 7 bits a byte, high bit set on all but the last."""
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, at


def find_file(chm, wanted):
    """(section, offset, length) of a file named in the directory's listing chunks."""
    if chm[:4] != b'ITSF':
        sys.exit('not a CHM file')
    directory = struct.unpack_from('<Q', chm, 0x48)[0]
    if chm[directory:directory + 4] != b'ITSP':
        sys.exit('CHM directory not found')
    header_length, chunk_size = struct.unpack_from('<I4xI', chm, directory + 8)
    first_chunk = struct.unpack_from('<I', chm, directory + 0x20)[0]
    chunk_count = struct.unpack_from('<I', chm, directory + 0x2C)[0]
    for index in range(first_chunk, chunk_count):
        chunk = directory + header_length + index * chunk_size
        if chm[chunk:chunk + 4] != b'PMGL':
            continue
        free = struct.unpack_from('<I', chm, chunk + 4)[0]
        at, end = chunk + 0x14, chunk + chunk_size - free
        while at < end:
            length, at = encint(chm, at)
            name = bytes(chm[at:at + length])
            at += length
            section, at = encint(chm, at)
            offset, at = encint(chm, at)
            size, at = encint(chm, at)
            if name == wanted:
                return section, offset, size
    sys.exit('%s not found in the CHM file' % wanted.decode())


def clear_timestamps(chm):
    chm[0x10:0x14] = bytes(4)  # the header's stamp
    section, offset, size = find_file(chm, b'/#SYSTEM')
    if section != 0:
        sys.exit('#SYSTEM is expected uncompressed')
    start = struct.unpack_from('<Q', chm, 0x58)[0] + offset
    at, end = start + 4, start + size  # after the version
    while at + 4 <= end:
        code, length = struct.unpack_from('<HH', chm, at)
        if code == 10:  # the compile time
            chm[at + 4:at + 4 + length] = bytes(length)
        at += 4 + length


def build(chmcmd, work):
    stage(work)
    compile_project(chmcmd, work)
    with open(os.path.join(work, 'KORVEL.chm'), 'rb') as built:
        chm = bytearray(built.read())
    clear_timestamps(chm)
    return bytes(chm)


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def check(chmcmd, chmls, work, chm_path):
    chm = read(chm_path)
    failures = []
    if build(chmcmd, work) != chm:
        failures.append('a second build gives other bytes (or the sources changed since)')
    extracted = os.path.join(work, 'extracted')
    os.makedirs(extracted)
    for name in sources():
        if name == PROJECT:
            continue
        out = os.path.join(extracted, name)
        subprocess.run([chmls, 'extract', chm_path, '/' + name, out],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.isfile(out):
            failures.append('%s is missing' % name)
        elif read(out) != read(os.path.join(work, name)):
            failures.append('%s differs from its code page 932 form' % name)
    if failures:
        sys.exit('%s:\n  %s' % (chm_path, '\n  '.join(failures)))
    print('%s: %d files as staged, the same bytes when built again' % (chm_path, len(sources()) - 1))


def main():
    args = sys.argv[1:]
    if len(args) == 5 and args[0] == '--check':
        check(*args[1:])
    elif len(args) == 3:
        chmcmd, work, output = args
        chm = build(chmcmd, work)
        partial = output + '.part'
        with open(partial, 'wb') as out:
            out.write(chm)
        os.replace(partial, output)
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main()
