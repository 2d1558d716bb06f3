#!/usr/bin/env bash
# Prints Quomaro's performance figures, each against its target:
#  1. CPU used by the process during a 10 s wait for a slow SOAP answer;
#  2. a 256 MB loopback download: wall time against `curl -s -o /dev/null`
#     on the same server in the same run, and peak resident memory against
#     the body size.
# Each figure ends in a line "esito: FIGURE | TARGET | MEASURED | VERDICT"
# (the form bench/tutto gathers); exits 1 when a target is missed.
# Usage: bench/esegui.sh [build folder]   (build/ci by default; build it first)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/ci}"
bin="$build/bench-bin"
for b in orvane_bench_server bench_attesa_soap bench_scarica; do
  [ -x "$bin/$b" ] || { echo "manca $bin/$b: cmake --build $build --target $b" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "manca curl" >&2; exit 2; }

# A second download reference: curl keeping the same body in memory (a file
# on tmpfs), which pays the same page faults and copy as OpenURL's string.
shm=$(mktemp -p /dev/shm bench-XXXXXX 2>/dev/null || mktemp)
# The server lives as long as its standard input stays open.
coproc SERVER { exec "$bin/orvane_bench_server"; }
# shellcheck disable=SC2153 # coproc sets SERVER_PID
server_pid=$SERVER_PID
# shellcheck disable=SC2034 # closed by the trap below
server_in=${SERVER[1]}
trap 'rm -f "$shm"; exec {server_in}>&-; wait "$server_pid" 2>/dev/null || true' EXIT
read -r porta <&"${SERVER[0]}"
base="http://127.0.0.1:$porta"
export no_proxy='*'

mancato=0
echo "== Attesa di una risposta SOAP lenta (10 s)"
"$bin/bench_attesa_soap" "$base/lento?secondi=10" || mancato=1

echo "== Scaricamento di 256 MB in loopback"
byte=$((256 * 1024 * 1024))
url="$base/corpo?byte=$byte"
migliore_curl=""
migliore_memoria=""
migliore_nostro=""
rss=0
# Best of three runs each, interleaved, so both meet the same machine load.
for giro in 1 2 3; do
  t=$(curl -s -o /dev/null -w '%{time_total}' "$url")
  m=$(curl -s -o "$shm" -w '%{time_total}' "$url")
  rm -f "$shm"
  read -r s n kb eventi < <("$bin/bench_scarica" "$url")
  [ "$n" -eq "$byte" ] || { echo "corpo incompleto: $n byte" >&2; exit 1; }
  echo "giro $giro: curl $t s, curl in memoria $m s, clsDownload $s s, picco RSS $((kb / 1024)) MB, $eventi eventi"
  migliore_curl=$(awk -v a="$migliore_curl" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
  migliore_memoria=$(awk -v a="$migliore_memoria" -v b="$m" 'BEGIN { print (a == "" || b < a) ? b : a }')
  migliore_nostro=$(awk -v a="$migliore_nostro" -v b="$s" 'BEGIN { print (a == "" || b < a) ? b : a }')
  [ "$kb" -gt "$rss" ] && rss=$kb
done
awk -v c="$migliore_curl" -v m="$migliore_memoria" -v q="$migliore_nostro" -v kb="$rss" -v byte="$byte" -v mancato="$mancato" 'BEGIN {
  printf "tempo: clsDownload %.3f s / curl %.3f s = %.2fx (obiettivo <= 1.2x)\n", q, c, q / c
  printf "       clsDownload %.3f s / curl che tiene il corpo in memoria %.3f s = %.2fx\n", q, m, q / m
  corpo = byte / 1048576; picco = kb / 1024
  printf "memoria: picco RSS %.0f MB per un corpo di %.0f MB = corpo + %.0f MB (obiettivo <= corpo + 64 MB)\n", picco, corpo, picco - corpo
  ok = q / c <= 1.2; mancato = mancato || !ok
  printf "esito: clsDownload 256 MB, tempo rispetto a curl | <= 1.2x | %.2fx | %s\n", q / c, ok ? "raggiunto" : "MANCATO"
  ok = picco - corpo <= 64; mancato = mancato || !ok
  printf "esito: clsDownload 256 MB, picco RSS oltre il corpo | <= 64 MB | %.0f MB | %s\n", picco - corpo, ok ? "raggiunto" : "MANCATO"
  exit mancato
}'
