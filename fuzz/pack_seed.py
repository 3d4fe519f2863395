#!/usr/bin/python3
"""Writes seed corpora for the fuzz targets into a folder outside the repository.

usage: pack_seed.py CORPUS_ROOT DATA_FOLDER...

For every table (.dbf) found in the data folders it writes a seed for fuzz_table (the table,
its memo and its structural index packed as fuzz_support.h describes); for every container
(.dbc) a seed for fuzz_container; every .cdx as it is for fuzz_cdx; a few statements for
fuzz_sql; and for fuzz_text every .xml, .lyt and .rtf found, behind its selector byte.
The data folders are only read."""
import hashlib
import os
import struct
import sys

MAX_SEED = 256 * 1024


def find_beside(path, extensions):
    folder, name = os.path.split(path)
    stem = os.path.splitext(name)[0].lower()
    for entry in sorted(os.listdir(folder)):
        base, ext = os.path.splitext(entry)
        if base.lower() == stem and ext.lower() in extensions:
            return os.path.join(folder, entry)
    return None


def read(path):
    if not path:
        return b""
    with open(path, "rb") as f:
        return f.read()


def pack(*parts):
    out = b""
    for part in parts[:-1]:
        out += struct.pack("<I", len(part)) + part
    return out + parts[-1]


def write(folder, data, hint=""):
    if not data or len(data) > MAX_SEED:
        return
    os.makedirs(folder, exist_ok=True)
    name = hint + hashlib.sha1(data).hexdigest()[:16]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


STATEMENTS = [
    b"SELECT * FROM IdentFil WHERE PtNum = 1",
    b"SELECT LastNam, COUNT(*) FROM IdentFil GROUP BY LastNam ORDER BY 2 DESC",
    b"SELECT i.PtNum, a.ApptDate FROM IdentFil i, Appointment a WHERE i.PtNum = a.PId AND UPPER(i.LastNam) LIKE 'S%'",
    b"INSERT INTO Case (CaseNum, PtNum, Descr, Comment) VALUES (99, 1, 'x', 'memo text')",
    b"UPDATE IdentFil SET Notes = 'n', Balance = 1.5 WHERE PtNum IN (1, 2)",
    b"DELETE FROM PostFile WHERE PtNum = 2; PACK PostFile",
    b"SET DELETED OFF; SELECT * FROM PostFile WHERE DELETED()",
    b"SET EXCLUSIVE ON; REINDEX IdentFil",
    b"SELECT DTOS(Birthday), STR(PtNum, 5), SUBSTR(LastNam, 2, 3), ALLTRIM(City) FROM IdentFil WHERE Birthday > {^1950-01-01}",
    b"SELECT * FROM IdentFil WHERE PtNum BETWEEN 1 AND 3 AND NOT Deceased OR LastVisit IS NULL",
]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    root = sys.argv[1]
    for data in sys.argv[2:]:
        for folder, _, files in os.walk(data):
            for name in files:
                path = os.path.join(folder, name)
                ext = os.path.splitext(name)[1].lower()
                if ext == ".dbf":
                    write(os.path.join(root, "table"),
                          pack(read(path), read(find_beside(path, {".fpt", ".dbt"})), read(find_beside(path, {".cdx"}))))
                elif ext == ".dbc":
                    write(os.path.join(root, "container"),
                          pack(read(path), read(find_beside(path, {".dct"})), read(find_beside(path, {".dcx"}))))
                elif ext in (".cdx", ".dcx"):
                    write(os.path.join(root, "cdx"), read(path))
                elif ext == ".xml":
                    write(os.path.join(root, "text"), b"\x00" + read(path))
                    write(os.path.join(root, "text"), b"\x01" + read(path))
                elif ext == ".lyt":
                    write(os.path.join(root, "text"), b"\x02" + read(path))
                elif ext == ".rtf":
                    write(os.path.join(root, "text"), b"\x03" + read(path))
    for statement in STATEMENTS:
        write(os.path.join(root, "sql"), statement)


if __name__ == "__main__":
    main()
