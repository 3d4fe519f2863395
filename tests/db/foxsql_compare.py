#!/usr/bin/python3
"""Runs `foxsql --json FOLDER 'SELECT * FROM "file.dbf"'` for every table under VFPDIR and
compares its rows with what python3-dbfread reads from the same file, after decoding nulls and
varchar lengths from _NullFlags (dbfread leaves that field raw). Tables dbfread cannot open are
skipped. Usage: foxsql_compare.py FOXSQL VFPDIR. Exit 0 equal, 1 differences, 2 no dbfread."""
import datetime, decimal, os, sys

from foxsql_reading import descriptors, foxsql_json

try:
    import dbfread
except ImportError as e:
    print('reader missing:', e)
    sys.exit(2)

foxsql, root = sys.argv[1:3]


def bit(flags, k):
    return bool(flags[k // 8] & (1 << (k % 8)))


def reader_rows(path):
    fields = descriptors(path)
    parsed = dbfread.DBF(path, ignore_missing_memofile=True, char_decode_errors='replace', load=True)
    raw = dbfread.DBF(path, ignore_missing_memofile=True, raw=True, load=True)
    rows = []
    for p, r in zip(parsed.records, raw.records):
        flags = r.get('_NullFlags', b'')
        k = 0
        row = {}
        for name, ftype, length, _, fflags in fields:
            if name == '_NullFlags':
                continue
            value = p[name]
            if ftype in 'VQ':
                short = bit(flags, k)
                k += 1
                data = r[name]
                if short:
                    data = data[:data[-1]]
                value = data.decode(parsed.encoding, errors='replace') if ftype == 'V' else data
            if fflags & 0x02:
                if bit(flags, k):
                    value = None
                k += 1
            row[name.lower()] = (ftype, value)
        rows.append(row)
    return rows


def same(ftype, ours, theirs):
    if isinstance(ours, dict) and 'hex' in ours:
        ours = bytes.fromhex(ours['hex'])
        if isinstance(theirs, str):
            theirs = theirs.encode('latin-1', errors='replace')
        return ours == theirs or theirs in (None, b'') and ours == b''
    if ftype == 'C' and isinstance(ours, str):
        return ours.rstrip(' ') == (theirs or '').rstrip(' \0') if theirs is not None or ours.strip() == '' else False
    if ours is None:
        return theirs in (None, '', b'')
    if theirs is None:
        return ours in (0, False, '') and ftype in 'NFLIYBCM'
    if ftype == 'D':
        return ours == theirs.isoformat()
    if ftype == 'T':
        rounded = (theirs + datetime.timedelta(microseconds=500000)).replace(microsecond=0)
        return ours == rounded.isoformat()
    if ftype in 'NFBIY':
        return abs(float(ours) - float(theirs)) <= 1e-9 * max(1.0, abs(float(theirs)))
    return ours == theirs


problems, compared, skipped = [], 0, []
for folder, _, files in sorted(os.walk(root)):
    for name in sorted(files):
        if not name.lower().endswith('.dbf'):
            continue
        path = os.path.join(folder, name)
        try:
            theirs = reader_rows(path)
        except Exception as e:  # the reader cannot read it: nothing to compare with
            skipped.append('%s (%s)' % (name, type(e).__name__))
            continue
        ours = foxsql_json(foxsql, folder, 'SELECT * FROM "%s"' % name)
        if isinstance(ours, str):
            problems.append('%s: foxsql failed: %s' % (path, ours))
            continue
        compared += 1
        if len(ours) != len(theirs):
            problems.append('%s: %d rows, reader %d' % (path, len(ours), len(theirs)))
            continue
        for i, (o, t) in enumerate(zip(ours, theirs)):
            if list(o.keys()) != list(t.keys()):
                problems.append('%s row %d: fields %s, reader %s' % (path, i, list(o.keys()), list(t.keys())))
                break
            for key, (ftype, value) in t.items():
                if not same(ftype, o[key], value):
                    problems.append('%s row %d field %s (%s): ours %r, reader %r' % (path, i, key, ftype, o[key], value))
for p in problems[:40]:
    print(p)
print('%d tables compared, %d skipped: %s' % (compared, len(skipped), ', '.join(skipped)))
sys.exit(1 if problems else 0)
