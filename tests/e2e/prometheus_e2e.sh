#!/usr/bin/env bash
# ltreport metrics through the real thing: Debian's prometheus-node-exporter
# reads the file `ltreport metrics --textfile` wrote into its textfile
# folder, and a real Prometheus scrapes it once a second; both are asked
# over HTTP for the log's figures. Exit 77 (skipped) without them.
#   tests/e2e/prometheus_e2e.sh LTREPORT MAKEHISTORY
set -euo pipefail
ltreport=$1
makehistory=$2
for program in prometheus prometheus-node-exporter curl ss; do
    command -v "$program" >/dev/null || { echo "SKIP: $program is not installed (Debian packages prometheus, prometheus-node-exporter, curl, iproute2)"; exit 77; }
done
fail() { echo "prometheus_e2e: $*" >&2; exit 1; }

work=$(mktemp -d /tmp/linktally-prometheus-XXXXXX)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export LINKTALLY_COMMON_APPDATA=$work/common XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export LINKTALLY_IPC_DIR=$work/ipc XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -p "$work/ipc" "$work/runtime" "$work/home" "$work/textfile"

# until SECONDS COMMAND...: true once COMMAND succeeds, polled until then.
until_true() {
    local deadline=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}
# A port nothing listens on, below the kernel's range for outgoing ones.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 12000))
        [ -z "$(ss -Hltn "sport = :$port")" ] && { echo "$port"; return; }
    done
}

"$makehistory" lm0 3 >/dev/null
"$ltreport" metrics --textfile "$work/textfile"
series='linktally_received_bytes_total{connection="lm0",type="lan"}'
expected=$(grep -F "$series " "$work/textfile/linktally.prom" | cut -d' ' -f2 || true)
[ -n "$expected" ] || fail "no $series in $(cat "$work/textfile/linktally.prom")"

exporter_port=$(free_port)
prometheus-node-exporter --web.listen-address="127.0.0.1:$exporter_port" --collector.disable-defaults \
    --collector.textfile --collector.textfile.directory="$work/textfile" >"$work/exporter.log" 2>&1 &
pids+=($!)
scraped() { curl -sf "http://127.0.0.1:$exporter_port/metrics" >"$work/scrape" && grep -qF "$series" "$work/scrape"; }
until_true 20 scraped || fail "node_exporter shows no $series: $(cat "$work/exporter.log")"
# node_exporter writes numbers in its own form (6.34899085e+08): compared as numbers.
same_number() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 == b + 0) }'; }
scraped_value=$(grep -F "$series " "$work/scrape" | cut -d' ' -f2 || true)
same_number "$scraped_value" "$expected" || fail "node_exporter says $series $scraped_value, not $expected"
grep -qx 'node_textfile_scrape_error 0' "$work/scrape" || fail "node_exporter could not read the file: $(grep textfile "$work/scrape")"
for family in linktally_sent_bytes_total linktally_cost_total linktally_service_up linktally_log_records; do
    grep -q "^$family" "$work/scrape" || fail "node_exporter shows no $family"
done
echo "node_exporter $(prometheus-node-exporter --version 2>&1 | head -1 | cut -d' ' -f3) shows $series $expected"

prometheus_port=$(free_port)
cat >"$work/prometheus.yml" <<YAML
global:
  scrape_interval: 1s
scrape_configs:
  - job_name: linktally
    static_configs:
      - targets: ['127.0.0.1:$exporter_port']
YAML
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
    --web.listen-address="127.0.0.1:$prometheus_port" >"$work/prometheus.log" 2>&1 &
pids+=($!)
queried() {
    curl -sf "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$series" >"$work/query" &&
        same_number "$(sed -n 's/.*"value":\[[0-9.]*,"\([^"]*\)"\].*/\1/p' "$work/query")" "$expected"
}
until_true 60 queried || fail "Prometheus answers $(cat "$work/query" 2>/dev/null), not $expected: $(tail -5 "$work/prometheus.log")"
echo "Prometheus $(prometheus --version 2>&1 | head -1 | cut -d' ' -f3) answers $series = $expected"
