#!/bin/sh
# Query times of foxsql over a generated practice database (default 100,000 patients, about
# 1.1 million PostFile rows): a full scan of PostFile (a condition no row meets), the grouped
# totals per patient (the goal: within 2x of that scan), COUNT(*) of one patient's rows
# (answered from the index: flat in the table's size), and a join of IdentFil and PostFile,
# whole and for one patient.
#   bench/engine/foxsql_queries.sh BUILD_DIR [DATA_FOLDER] [PATIENTS]
# Makes the database into DATA_FOLDER (default /tmp/foxsql-queries-db) when it has no
# Corvane.dbc yet.
set -eu
build=${1:?usage: foxsql_queries.sh BUILD_DIR [DATA_FOLDER] [PATIENTS]}
data=${2:-/tmp/foxsql-queries-db}
patients=${3:-100000}
if [ ! -f "$data/Corvane.dbc" ]; then
    "$build/tools/make-sample-data/make-sample-data" --patients "$patients" --seed 7 "$data" >/dev/null
fi
foxsql="$build/tools/foxsql/foxsql"
run() {
    printf '%-90s ' "$1"
    printf '.timer on\n%s;\n' "$1" | "$foxsql" --csv --noheader "$data/Corvane.dbc" | grep 'Run time' | sed 's/Run time: //'
}
run "SELECT COUNT(*) FROM PostFile"
run "SELECT PtNum, Amount FROM PostFile WHERE Amount < -1000000"
run "SELECT PtNum, COUNT(*), SUM(Amount) FROM PostFile GROUP BY PtNum HAVING COUNT(*) < 0"
run "SELECT COUNT(*) FROM PostFile WHERE PtNum = 777"
run "SELECT COUNT(*) FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum"
run "SELECT COUNT(*) FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum WHERE i.PtNum = 777"
