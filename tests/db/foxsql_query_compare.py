"""Runs queries with `foxsql --json DATA` on a generated practice database and compares each
answer with the same computation done in Python over python3-dbfread's reading of the tables:
aggregates, GROUP BY/HAVING, DISTINCT, TOP, each JOIN form, IN (SELECT), EXISTS, UNION and
functions. Usage: foxsql_query_compare.py FOXSQL DATADIR. Prints one line per failure and
"queries compared: N"; exits 1 when any differed."""
import collections, datetime, os, sys
from dbfread import DBF

from foxsql_reading import foxsql_json

foxsql, data = sys.argv[1], sys.argv[2]


def table(name):
    for f in os.listdir(data):
        if f.lower() == name.lower() + '.dbf':
            return [dict((k.lower(), v) for k, v in r.items()) for r in DBF(os.path.join(data, f), char_decode_errors='replace')]
    raise SystemExit('no table ' + name)


def run(sql):
    return foxsql_json(foxsql, os.path.join(data, 'Corvane.dbc'), sql)


def norm(v):
    if isinstance(v, float):
        return round(v, 4)
    if isinstance(v, str):
        return v.rstrip()
    if isinstance(v, (datetime.date,)):
        return v.isoformat()
    return v


def rows(result, ordered=True):
    if isinstance(result, str):
        return result
    out = [tuple(norm(v) for v in r.values()) for r in result]
    return out if ordered else sorted(out, key=repr)


ident, post, appt = table('IdentFil'), table('PostFile'), table('Appointment')
pt = sorted(r['ptnum'] for r in ident)
by_pt = collections.defaultdict(list)
for r in post:
    by_pt[r['ptnum']].append(r)
appt_pids = set(r['pid'] for r in appt)
failures, compared = 0, 0


def check(sql, expected, ordered=True):
    global failures, compared
    compared += 1
    ours = rows(run(sql), ordered)
    theirs = [tuple(norm(v) for v in r) for r in expected]
    if not ordered:
        theirs = sorted(theirs, key=repr)
    if ours != theirs:
        failures += 1
        print('DIFFERS: %s\n  ours:   %r\n  theirs: %r' % (sql, ours[:5], theirs[:5]))


amounts = [r['amount'] for r in post]
check('SELECT COUNT(*), SUM(Amount), MIN(Amount), MAX(Amount), AVG(Amount) FROM PostFile',
      [(len(post), sum(amounts), min(amounts), max(amounts), sum(amounts) / len(amounts))])
check('SELECT COUNT(DISTINCT PtNum) FROM PostFile', [(len(set(r['ptnum'] for r in post)),)])
check('SELECT PtNum, COUNT(*), SUM(Amount) FROM PostFile GROUP BY PtNum',
      [(p, len(rs), sum(r['amount'] for r in rs)) for p, rs in sorted(by_pt.items())])
check('SELECT PtNum, COUNT(*) AS n FROM PostFile GROUP BY 1 HAVING COUNT(*) > 10 ORDER BY n DESC, PtNum',
      sorted([(p, len(rs)) for p, rs in by_pt.items() if len(rs) > 10], key=lambda t: (-t[1], t[0])))
check('SELECT DISTINCT Sex FROM IdentFil', [(s,) for s in set(r['sex'].rstrip() for r in ident)], ordered=False)
top = sorted(post, key=lambda r: -r['amount'])
cut = top[2]['amount']
check('SELECT TOP 3 Amount FROM PostFile ORDER BY Amount DESC', [(r['amount'],) for r in top if r['amount'] >= cut])


def first(ordered_rows, n, key):
    """TOP n of rows already in order: the first n and those that tie with the last of them."""
    return [r for i, r in enumerate(ordered_rows) if i < n or key(r) == key(ordered_rows[n - 1])]


# Orders a tag of PostFile gives (read through the tag), equal keys in record order.
by_ptnum = sorted(post, key=lambda r: r['ptnum'])
by_ptnum_desc = sorted(post, key=lambda r: -r['ptnum'])
check('SELECT PtNum, Amount FROM PostFile ORDER BY PtNum', [(r['ptnum'], r['amount']) for r in by_ptnum])
check('SELECT PtNum, Amount FROM PostFile ORDER BY PtNum DESC', [(r['ptnum'], r['amount']) for r in by_ptnum_desc])
check('SELECT TOP 10 PtNum, Amount FROM PostFile ORDER BY PtNum',
      [(r['ptnum'], r['amount']) for r in first(by_ptnum, 10, lambda r: r['ptnum'])])
rich_desc = [r for r in by_ptnum_desc if r['amount'] > 500]
check('SELECT TOP 7 Amount, PtNum FROM PostFile WHERE Amount > 500 ORDER BY 2 DESC',
      [(r['amount'], r['ptnum']) for r in first(rich_desc, 7, lambda r: r['ptnum'])])
names = {r['ptnum']: r['lastnam'] for r in ident}
check('SELECT i.PtNum, i.LastNam, p.Amount FROM IdentFil i INNER JOIN PostFile p ON p.PtNum = i.PtNum',
      [(r['ptnum'], names[r['ptnum']], r['amount']) for r in post if r['ptnum'] in names], ordered=False)
check('SELECT i.PtNum, p.Amount FROM IdentFil i, PostFile p WHERE i.PtNum = p.PtNum AND p.Amount > 500',
      [(r['ptnum'], r['amount']) for r in post if r['ptnum'] in names and r['amount'] > 500], ordered=False)
joined = sorted([(r['ptnum'], p['amount']) for r in ident for p in by_pt[r['ptnum']]], key=lambda t: t[0])
check('SELECT i.PtNum, p.Amount FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum ORDER BY i.PtNum', joined)
appts_of = collections.defaultdict(list)
for a in appt:
    appts_of[a['pid']].append(a)
three = [(r['ptnum'], r['amount'], a['pid']) for r in post if r['ptnum'] in names
         for a in appts_of[r['ptnum']] or [{'pid': None}]]
check('SELECT i.PtNum, p.Amount, a.PId FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum '
      'LEFT JOIN Appointment a ON a.PId = i.PtNum', three, ordered=False)
left = [(r['ptnum'], a['pid']) for r in ident for a in appt if a['pid'] == r['ptnum']]
left += [(r['ptnum'], None) for r in ident if r['ptnum'] not in appt_pids]
check('SELECT i.PtNum, a.PId FROM IdentFil i LEFT JOIN Appointment a ON a.PId = i.PtNum', left, ordered=False)
right = [(r['ptnum'], a['pid']) for a in appt for r in ident if a['pid'] == r['ptnum'] and r['ptnum'] < 10]
right += [(None, a['pid']) for a in appt if a['pid'] >= 10 or a['pid'] not in names]
check('SELECT i.PtNum, a.PId FROM IdentFil i RIGHT JOIN Appointment a ON a.PId = i.PtNum AND i.PtNum < 10',
      right, ordered=False)
full = [(r['ptnum'], a['pid']) for r in ident for a in appt if a['pid'] == r['ptnum'] and r['ptnum'] < 10]
matched_i = set(p for p, _ in full)
full += [(r['ptnum'], None) for r in ident if r['ptnum'] not in matched_i]
full += [(None, a['pid']) for a in appt if not (a['pid'] in names and a['pid'] < 10)]
check('SELECT i.PtNum, a.PId FROM IdentFil i FULL JOIN Appointment a ON a.PId = i.PtNum AND i.PtNum < 10',
      full, ordered=False)
rich = set(r['ptnum'] for r in post if r['amount'] > 800)
check('SELECT PtNum FROM IdentFil WHERE PtNum IN (SELECT PtNum FROM PostFile WHERE Amount > 800) ORDER BY 1',
      [(p,) for p in pt if p in rich])
check('SELECT PtNum FROM IdentFil WHERE PtNum NOT IN (SELECT PId FROM Appointment) ORDER BY 1',
      [(p,) for p in pt if p not in appt_pids])
check('SELECT COUNT(*) FROM IdentFil WHERE EXISTS (SELECT * FROM PostFile WHERE Amount > 100000)', [(0,)])
check('SELECT PtNum FROM IdentFil WHERE PtNum < 4 UNION SELECT PId FROM Appointment WHERE PId < 6 ORDER BY 1',
      [(p,) for p in sorted(set([p for p in pt if p < 4] + [a['pid'] for a in appt if a['pid'] < 6]))])
check('SELECT PtNum FROM IdentFil WHERE PtNum < 3 UNION ALL SELECT PtNum FROM IdentFil WHERE PtNum < 3',
      [(p,) for p in pt if p < 3] * 2, ordered=False)
fn_rows = []
for r in sorted(ident, key=lambda r: r['ptnum']):
    b = r['birthday']
    if not b or b.day > 28:
        continue
    nxt = b.replace(year=b.year + b.month // 12, month=b.month % 12 + 1)
    fn_rows.append((r['ptnum'], r['lastnam'].find('a') + 1, r['lastnam'].count('a'), r['lastnam'].replace('a', 'o'),
                    b.year, b.month, b.day, (b.isoweekday() % 7) + 1, nxt.isoformat()))
check("SELECT PtNum, AT('a', LastNam), OCCURS('a', LastNam), STRTRAN(LastNam, 'a', 'o'), YEAR(Birthday), "
      "MONTH(Birthday), DAY(Birthday), DOW(Birthday), GOMONTH(Birthday, 1) FROM IdentFil "
      "WHERE !EMPTY(Birthday) AND DAY(Birthday) <= 28 ORDER BY 1", fn_rows)
check("SELECT CASE WHEN PtNum < 5 THEN 'low' ELSE 'high' END AS band, COUNT(*) FROM IdentFil GROUP BY 1",
      sorted(collections.Counter('low' if p < 5 else 'high' for p in pt).items()))
print('queries compared: %d' % compared)
sys.exit(1 if failures else 0)
