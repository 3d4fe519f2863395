#!/bin/sh
# Query times of foxsql over a generated practice database (default 100,000 patients, about
# 1.1 million PostFile rows): a full scan of PostFile (a condition no row meets), the grouped
# totals per patient (the goal: within 2x of that scan), COUNT(*) of one patient's rows
# (answered from the index: flat in the table's size), a join of IdentFil and PostFile, whole
# (looked up through PostFile's tag on PtNum) and for one patient, a join of three tables
# (PostFile and Appointment looked up through their tags), PostFile in the order of its PostDate
# and PtNum tags (put in the tag's order) beside the same orders by an expression no tag has
# (sorted), and the first ten rows of those orders (TOP 10 reads only the first records of the
# tag). Each line
# gives foxsql's own run time and the process's CPU seconds and peak memory, as a loaded machine
# stretches the run time.
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
    printf '.timer on\n%s;\n' "$1" |
        /usr/bin/time -f 'cpu %U+%S s, %M KB' -o /tmp/foxsql-bench-time "$foxsql" --csv --noheader "$data/Corvane.dbc" |
        grep 'Run time' | sed 's/Run time: //' | tr '\n' ' '
    cat /tmp/foxsql-bench-time
}
run "SELECT COUNT(*) FROM PostFile"
run "SELECT PtNum, Amount FROM PostFile WHERE Amount < -1000000"
run "SELECT PtNum, COUNT(*), SUM(Amount) FROM PostFile GROUP BY PtNum HAVING COUNT(*) < 0"
run "SELECT COUNT(*) FROM PostFile WHERE PtNum = 777"
run "SELECT COUNT(*) FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum"
run "SELECT COUNT(*) FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum WHERE i.PtNum = 777"
run "SELECT COUNT(*) FROM IdentFil i JOIN PostFile p ON p.PtNum = i.PtNum JOIN Appointment a ON a.PId = i.PtNum"
run "SELECT PtNum, Amount FROM PostFile ORDER BY PostDate"
run "SELECT PtNum, Amount FROM PostFile ORDER BY PostDate + 0"
run "SELECT PtNum, Amount FROM PostFile ORDER BY PtNum"
run "SELECT PtNum, Amount FROM PostFile ORDER BY PtNum + 0"
run "SELECT TOP 10 PtNum, Amount FROM PostFile ORDER BY PtNum DESC"
run "SELECT TOP 10 PtNum, Amount FROM PostFile ORDER BY PtNum + 0 DESC"
