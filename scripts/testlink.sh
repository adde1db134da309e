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
