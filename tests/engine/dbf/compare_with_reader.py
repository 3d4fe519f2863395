#!/usr/bin/python3
"""Compares the rows our engine read from a table (a JSON dump) with what an independent
reader gives for the same file. Usage: compare_with_reader.py READER TABLE DUMP.json
READER is dbfread or dbf (python3-dbf). Prints one line per difference; exit 0 when equal,
2 when the reader cannot be imported."""
import datetime, decimal, json, os, shutil, sys, tempfile

reader, table_path, dump_path = sys.argv[1:4]
dump = json.load(open(dump_path, encoding='utf-8'))
ENC = {0x01: 'cp437', 0x02: 'cp850', 0x03: 'cp1252', 0x64: 'cp852', 0x65: 'cp866', 0xC8: 'cp1250',
       0xC9: 'cp1251', 0xCA: 'cp1254', 0xCB: 'cp1253', 0x7D: 'cp1255', 0x7E: 'cp1256', 0x00: 'latin-1'}
encoding = ENC.get(dump['codepage'], 'latin-1')
EPOCH = datetime.date(1970, 1, 1).toordinal() - 2440588  # ordinal = jdn + EPOCH


def ours_plain(v, ftype):
    """Our JSON value in the shape the Python readers use."""
    if isinstance(v, dict):
        if 'd' in v:
            return None if v['d'] == 0 else datetime.date.fromordinal(v['d'] + EPOCH)
        if 't' in v:
            jdn, ms = v['t']
            if jdn == 0:
                return None
            return datetime.datetime.combine(datetime.date.fromordinal(jdn + EPOCH), datetime.time()) + \
                datetime.timedelta(milliseconds=ms)
        if 'cur' in v:
            return decimal.Decimal(v['cur']) / 10000
        if 'b' in v:
            raw = bytes.fromhex(v['b'])
            return raw.decode(encoding, errors='replace') if ftype == 'M' else raw
    if isinstance(v, str):
        # bytes a code page leaves undefined come back as C1 controls; the readers give U+FFFD
        return ''.join('\ufffd' if 0x80 <= ord(c) <= 0x9f and c.encode(encoding, 'replace') == b'?' else c for c in v)
    return v


def same(ours, theirs, ftype, deleted):
    if ftype in 'VQW':
        return True  # neither reader decodes these; checked by hand in the C++ tests
    if ftype in 'MGP' and deleted:
        return True  # marked rows' memo pointers are never followed by us
    if ftype == 'T' and isinstance(theirs, datetime.datetime):
        theirs = theirs + datetime.timedelta(microseconds=500000)
        theirs = theirs.replace(microsecond=0)
    if ftype == 'C' and isinstance(ours, str):
        ours = ours.rstrip(' \0')
        if isinstance(theirs, str):
            theirs = theirs.rstrip(' \0')
    if ours is None:
        return theirs in (None, '', b'') or ftype in 'LNFIYBD' and not theirs
    if theirs is None:
        return ours in (0, False, '', b'') or ftype in 'DT'
    if ftype in 'NFB' and isinstance(theirs, (int, float)):
        return abs(float(ours) - float(theirs)) <= 1e-9 * max(1.0, abs(float(theirs)))
    if ftype in 'MGP' and isinstance(theirs, bytes) and isinstance(ours, str):
        return ours.encode(encoding, errors='replace') == theirs
    return ours == theirs


def read_dbfread(path):
    import dbfread
    folder = tempfile.mkdtemp()
    try:
        if path.lower().endswith('.dbc'):  # dbfread wants a .dbf with an .fpt
            base = os.path.join(folder, 'container')
            shutil.copy(path, base + '.dbf')
            dct = [f for f in os.listdir(os.path.dirname(path) or '.')
                   if f.lower() == os.path.basename(path)[:-4].lower() + '.dct']
            if dct:
                shutil.copy(os.path.join(os.path.dirname(path), dct[0]), base + '.fpt')
            path = base + '.dbf'
        t = dbfread.DBF(path, ignore_missing_memofile=True, char_decode_errors='replace', load=True)
        names = [f.name for f in t.fields]
        types = {f.name: f.type for f in t.fields}
        return ([dict(r) for r in t.records], [dict(r) for r in t.deleted], names, types)
    finally:
        shutil.rmtree(folder)


def read_dbf(path):
    import dbf
    t = dbf.Table(path)
    t.open(dbf.READ_ONLY)
    live, deleted = [], []
    names = list(t.field_names)
    for r in t:
        row = {}
        for n in names:
            v = r[n]
            if isinstance(v, str):
                v = v
            row[n.upper()] = v
        (deleted if dbf.is_deleted(r) else live).append(row)
    types = {n.upper(): t.field_info(n)[0].decode() if isinstance(t.field_info(n)[0], bytes) else chr(t.field_info(n)[0]) for n in names}
    t.close()
    return live, deleted, [n.upper() for n in names], types


try:
    live, deleted, names, types = (read_dbfread if reader == 'dbfread' else read_dbf)(table_path)
except ImportError as e:
    print('reader missing:', e)
    sys.exit(2)

problems = []
fields = dump['fields']
ours_live = [r for r in dump['rows'] if not r[0]]
ours_deleted = [r for r in dump['rows'] if r[0]]
for label, ours_rows, their_rows, is_deleted in (('live', ours_live, live, False), ('deleted', ours_deleted, deleted, True)):
    if len(ours_rows) != len(their_rows):
        problems.append('%s rows: ours %d, reader %d' % (label, len(ours_rows), len(their_rows)))
        continue
    for i, (o, t) in enumerate(zip(ours_rows, their_rows)):
        for (fname, ftype), value in zip(fields, o[1]):
            key = next((k for k in t if k.upper() == fname.upper()), None)
            if key is None:
                problems.append('field %s missing in reader' % fname)
                continue
            if reader == 'dbf' and isinstance(t[key], str) and ftype == 'C':
                pass
            ov = ours_plain(value, ftype)
            if not same(ov, t[key], ftype, is_deleted):
                problems.append('%s row %d field %s: ours %r, reader %r' % (label, i, fname, ov, t[key]))
for p in problems[:40]:
    print(p)
sys.exit(1 if problems else 0)
