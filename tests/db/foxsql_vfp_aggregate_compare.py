#!/usr/bin/python3
"""Runs aggregate queries with `foxsql --json FOLDER` on every table under VFPDIR (files
written by Visual FoxPro itself) and compares them with the same computation in Python over
python3-dbfread's reading: COUNT(*); SUM, MIN and MAX of each numeric field; GROUP BY a
whole-number field with COUNT(*); COUNT(DISTINCT) of a character field. Fields that take
nulls are left out (dbfread does not decode them). Usage: SCRIPT FOXSQL VFPDIR; prints
"aggregates compared: N" and exits 1 when any differed, 2 without dbfread."""
import collections, os, sys

from foxsql_reading import descriptors, foxsql_json

try:
    import dbfread
except ImportError as e:
    print('reader missing:', e)
    sys.exit(2)

foxsql, root = sys.argv[1:3]


def ask(folder, sql):
    rows = foxsql_json(foxsql, folder, sql)
    return rows if isinstance(rows, str) else [list(r.values()) for r in rows]


def close(a, b):
    if a is None or b is None:
        return a is None and b is None
    return abs(float(a) - float(b)) <= 1e-6 * max(1.0, abs(float(b)))


problems, compared = [], 0
for folder, _, files in sorted(os.walk(root)):
    for name in sorted(files):
        if not name.lower().endswith('.dbf'):
            continue
        path = os.path.join(folder, name)
        try:
            rows = list(dbfread.DBF(path, ignore_missing_memofile=True, char_decode_errors='replace', load=True).records)
            fields = descriptors(path)
        except Exception:
            continue
        table = '"%s"' % name
        got = ask(folder, 'SELECT COUNT(*) FROM %s' % table)
        compared += 1
        if got != [[len(rows)]]:
            problems.append('%s COUNT(*): ours %r, reader %d' % (path, got, len(rows)))
            continue
        plain = [(n, t, d) for n, t, _, d, flags in fields if not flags & 0x02 and n != '_NullFlags']
        for n, t, d in plain:
            values = [r[n] for r in rows if r[n] is not None]
            if t not in 'NFIYB' or len(values) != len(rows) or not values:
                continue
            got = ask(folder, 'SELECT SUM(%s), MIN(%s), MAX(%s) FROM %s' % (n, n, n, table))
            want = [sum(float(v) for v in values), min(values), max(values)]
            compared += 1
            if isinstance(got, str) or not all(close(a, b) for a, b in zip(got[0], want)):
                problems.append('%s SUM/MIN/MAX(%s): ours %r, reader %r' % (path, n, got, want))
        whole = [n for n, t, d in plain if t == 'I' or (t == 'N' and d == 0)]
        if whole and all(r[whole[0]] is not None for r in rows):
            n = whole[0]
            got = ask(folder, 'SELECT %s, COUNT(*) FROM %s GROUP BY 1' % (n, table))
            want = sorted(collections.Counter(int(r[n]) for r in rows).items())
            compared += 1
            if isinstance(got, str) or [(int(a), b) for a, b in got] != want:
                problems.append('%s GROUP BY %s: ours %r, reader %r' % (path, n, got if isinstance(got, str) else got[:5], want[:5]))
        text = [n for n, t, d in plain if t == 'C']
        if text and all(isinstance(r[text[0]], str) for r in rows):
            n = text[0]
            got = ask(folder, 'SELECT COUNT(DISTINCT %s) FROM %s' % (n, table))
            want = len(set(r[n].rstrip() for r in rows))
            compared += 1
            if got != [[want]]:
                problems.append('%s COUNT(DISTINCT %s): ours %r, reader %d' % (path, n, got, want))
for p in problems[:40]:
    print(p)
print('aggregates compared: %d' % compared)
sys.exit(1 if problems else 0)
