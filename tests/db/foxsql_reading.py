"""What the foxsql comparison scripts share: running `foxsql --json` and reading the field
descriptors of a table file's header (which python3-dbfread does not hand out whole)."""
import json, struct, subprocess


def foxsql_json(foxsql, database, sql):
    """The rows of sql as dicts, or 'error: ...' with foxsql's message when it failed."""
    run = subprocess.run([foxsql, '--json', database, sql], capture_output=True)
    if run.returncode != 0:
        return 'error: ' + run.stderr.decode(errors='replace').strip()
    return [json.loads(line) for line in run.stdout.decode('utf-8').splitlines()]


def descriptors(path):
    """(name, type, length, decimals, flags) of each field, _NullFlags included, from the header."""
    with open(path, 'rb') as f:
        head = f.read(32)
        rest = f.read(struct.unpack('<H', head[8:10])[0] - 32)
    out = []
    for i in range(0, len(rest) - 31, 32):
        d = rest[i:i + 32]
        if d[0] == 0x0D:
            break
        out.append((d[:11].split(b'\0')[0].decode('ascii', 'replace'), chr(d[11]), d[16], d[17], d[18]))
    return out
