#!/bin/sh
# Peak resident memory of foxsql printing every row of PostFile, as JSON lines and as the
# aligned table, over a generated practice database (default 100,000 patients, about 1.15
# million PostFile rows). Rows are streamed, so the figure should stay flat in the table's
# size (well under 50 MB).
#   bench/engine/foxsql_memory.sh BUILD_DIR [DATA_FOLDER] [PATIENTS]
# Makes the database into DATA_FOLDER (default /tmp/foxsql-memory-db) when it has no
# Corvane.dbc yet. Needs /usr/bin/time (Debian package "time").
set -eu
build=${1:?usage: foxsql_memory.sh BUILD_DIR [DATA_FOLDER] [PATIENTS]}
data=${2:-/tmp/foxsql-memory-db}
patients=${3:-100000}
if [ ! -f "$data/Corvane.dbc" ]; then
    "$build/tools/make-sample-data/make-sample-data" --patients "$patients" --seed 7 "$data" >/dev/null
fi
for mode in --json aligned; do
    flag=$mode
    [ "$mode" = aligned ] && flag=
    /usr/bin/time -v "$build/tools/foxsql/foxsql" $flag "$data/Corvane.dbc" "SELECT * FROM PostFile" \
        2>/tmp/foxsql-memory-time.txt | wc -l >/tmp/foxsql-memory-lines.txt
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' /tmp/foxsql-memory-time.txt)
    elapsed=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' /tmp/foxsql-memory-time.txt)
    echo "foxsql $mode SELECT * FROM PostFile: $(cat /tmp/foxsql-memory-lines.txt) lines, max RSS $((kb / 1024)) MB ($kb kB), $elapsed"
done
