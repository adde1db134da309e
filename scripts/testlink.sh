# Sourced by scripts that meter made-up traffic in a network namespace of
# their own: a veth pair lm0/lm1, with a neighbour 10.9.0.3 behind lm0 that
# datagrams can be sent to (they leave through lm0 and arrive at lm1).
make_test_link() {
    ip link set lo up
    ip link add lm0 type veth peer name lm1
    ip link set lm0 up
    ip link set lm1 up
    ip addr add 10.9.0.1/24 dev lm0
    ip neigh add 10.9.0.3 lladdr 02:00:00:00:00:03 dev lm0 nud permanent
}

# send_through_lm0 MIN: datagrams out of lm0 in bursts of a megabyte a second
# apart, until the kernel has counted MIN more bytes sent on lm0. A burst that
# outruns the peer's backlog is dropped before it is counted, so bursts go on
# until the count is reached (at most ten).
send_through_lm0() {
    local min=$1 start payload i burst n=$((1048576 / 1400))
    start=$(cat /sys/class/net/lm0/statistics/tx_bytes)
    payload=$(printf '%1400s' '')
    for ((burst = 0; burst < 10; burst++)); do
        [ $(($(cat /sys/class/net/lm0/statistics/tx_bytes) - start)) -ge "$min" ] && return 0
        for ((i = 0; i < n; i++)); do printf '%s' "$payload" >/dev/udp/10.9.0.3/9; done 2>/dev/null
        sleep 1
    done
    [ $(($(cat /sys/class/net/lm0/statistics/tx_bytes) - start)) -ge "$min" ]
}
