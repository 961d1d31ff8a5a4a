"""dxu-scpi beside dxu-cli and curl against dxu-sim, all on loopback: the
time from a set to its request at the instrument, and queries per second.

    tests/run-isolated /usr/bin/python3 bench/scpi_bench.py BUILD_DIR [ROUNDS]

Runs in a network namespace of its own (dxu-sim binds 127.0.0.2:80)."""
import os
import select
import socket
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from ports import wait_for_port  # noqa: E402

build = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 50
SIM = "127.0.0.2"
sim = subprocess.Popen([os.path.join(build, "sim/dxu-sim"), "--address", SIM], bufsize=0,
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
scpi = subprocess.Popen([os.path.join(build, "scpi/dxu-scpi"), "--ethernet", SIM],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
cli = [os.path.join(build, "cli/dxu-cli"), "--ethernet", SIM]
pending = b""


def until_request(marker):
    """Waits until the simulator logs a request holding `marker`."""
    global pending
    while True:
        while b"\n" in pending:
            line, pending = pending.split(b"\n", 1)
            if marker in line:
                return
        select.select([sim.stdout], [], [], 5)
        pending += os.read(sim.stdout.fileno(), 65536)


def drain():
    global pending
    while select.select([sim.stdout], [], [], 0.05)[0]:
        pending += os.read(sim.stdout.fileno(), 65536)
    pending = b""


def set_latency(send):
    """Median ms from the start of a set to its request at the instrument."""
    times = []
    for i in range(rounds):
        value = "%d" % (100 + i)
        drain()
        start = time.perf_counter()
        send(value)
        until_request(b"&p1=" + value.encode() + b"&")
        times.append((time.perf_counter() - start) * 1000)
    times.sort()
    return times[len(times) // 2]


def rate(query):
    start = time.perf_counter()
    for _ in range(rounds):
        query()
    return rounds / (time.perf_counter() - start)


wait_for_port(SIM, 80, tries=200)
wait_for_port("127.0.0.1", 5025, tries=200)
sock = socket.create_connection(("127.0.0.1", 5025))
reader = sock.makefile("rb")


def scpi_set(value):
    sock.sendall(b"GEN1:PER " + value.encode() + b"MS\n")


def scpi_query():
    sock.sendall(b"GEN1:PER?\n")
    reader.readline()


def cli_set(value):
    subprocess.Popen(cli + ["set", "p1=" + value], stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)


def cli_query():
    subprocess.run(cli + ["status"], stdout=subprocess.DEVNULL, check=True)


SETTINGS = ("http://%s/sg_hr_run.shtml?ts1=0&ts2=0&p1=%s&p2=300&pn1=1&pn2=1&ch1_st1=0"
            "&ch1_st2=0&ch1_et1=200&ch1_et2=200&ch2_st1=0&ch2_st2=0&ch2_et1=200&ch2_et2=200"
            "&freq1=0&freq2=0&save=1")


def curl_set(value):
    subprocess.Popen(["curl", "-s", "-o", "/dev/null", SETTINGS % (SIM, value)])


def curl_query():
    subprocess.run(["curl", "-s", "-o", "/dev/null", "http://%s/sg_hr_setup2.shtml" % SIM],
                   check=True)


print("dxu-scpi beside dxu-cli and curl, against dxu-sim on loopback (%d rounds each)" % rounds)
print("%-10s %22s %16s" % ("", "set to request (ms)", "queries per s"))
for name, send, query in (("dxu-scpi", scpi_set, scpi_query), ("dxu-cli", cli_set, cli_query),
                          ("curl", curl_set, curl_query)):
    latency = set_latency(send)
    time.sleep(0.3)  # the last programs started end
    print("%-10s %22.2f %16.1f" % (name, latency, rate(query)))
print("set: the median over the rounds, from the start of the command to the request "
      "logged by dxu-sim; dxu-scpi and dxu-cli read the settings first (read-modify-write), "
      "curl sends a fixed query. queries: GEN1:PER? / dxu-cli status / GET of the setup page.")
sock.close()
for process in (scpi, sim):
    process.terminate()
    process.wait()
