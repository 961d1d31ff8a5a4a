"""dxu-scpi driven by real SCPI clients (PyVISA with pyvisa-py, or the
PyMeasure class of clients/pymeasure) on both links: against dxu-sim, whose
request log shows what reached the instrument, and built with a simulated
DXU on USB, which prints the frames it received when it stops.

    scpi_clients.py pyvisa|pymeasure DXU_SCPI DXU_SCPI_FAKEUSB DXU_SIM PYMEASURE_DIR
Runs inside tests/run-isolated (dxu-sim binds 127.0.0.2:80)."""
import atexit
import os
import socket
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from ports import wait_for_port  # noqa: E402

client, scpi, scpi_fakeusb, sim, pymeasure_dir = sys.argv[1:6]
RESOURCE = "TCPIP::127.0.0.1::5025::SOCKET"
failures = []


def check(what, condition):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


started = []


@atexit.register
def end_started():
    # A run that fails half-way leaves no server or simulator behind.
    for process in started:
        if process.poll() is None:
            process.kill()
            process.wait()


def start(args, host, port, env=None):
    process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, env=env)
    started.append(process)
    wait_for_port(host, port)
    return process


def stop(process):
    process.terminate()
    out, _ = process.communicate(timeout=10)
    check("%s ends cleanly on SIGTERM" % process.args[0].split("/")[-1], process.returncode == 0)
    return out


def open_instrument():
    if client == "pyvisa":
        import pyvisa
        rm = pyvisa.ResourceManager("@py")
        inst = rm.open_resource(RESOURCE, read_termination="\n", write_termination="\n")
        inst.timeout = 10000
        return inst
    sys.path.insert(0, pymeasure_dir)
    from dxu import DXU
    return DXU(RESOURCE, timeout=10000)


def drive(inst, model, usb):
    """The same session on either link; returns nothing, checks replies."""
    if client == "pyvisa":
        idn = inst.query("*IDN?").split(",")
        check("*IDN? names maker, model and serial", idn[:2] == ["Halvorn", model]
              and (idn[2] != "0") == usb and len(idn) == 4)
        inst.write("*CLS;:GEN1:PER 2.5MS;COUN 3;:CHAN2:WIDT 10US;DEL 5 us")
        check("queries of one line in one reply",
              inst.query("GEN1:PER?;COUN?;:CHAN2:WIDT?;DEL?") == "0.0025;3;1e-05;5e-06")
        inst.write("gen2:sour gen1;:generator2:tbase 40ns")
        check("sources and time base", inst.query("GEN2:SOUR?;TBAS?;:GEN1:SOUR?") == "GEN1;4e-08;SOFT")
        inst.write("GEN1:PER 20")
        check("out of range refused", inst.query("SYST:ERR?").startswith("-222,"))
        inst.write("GEN2:SOUR SYNC;BOGUS 1")
        check("illegal value, then undefined header",
              inst.query("SYST:ERR:COUN?;:SYST:ERR?;:SYST:ERR?;:SYST:ERR?")
              .startswith('2;-224,"Illegal parameter value;SOFT or GEN1";-113,"Undefined header";0,"No error"'))
        inst.write("GEN1:PER;:MEM:SAVE?;*CLS 1")
        check("missing parameter, undefined query form, parameter not allowed",
              [e[:4] for e in inst.query("SYST:ERR?;ERR?;ERR?").split(";")] == ["-109", "-113", "-108"])
        inst.write("*CLS;:GEN1:STAT?")
        check("the run state is not guessed", inst.query("*ESR?;:SYST:ERR?").startswith("16;-200,"))
        inst.write("GEN1:STAT ON")
        if model == "DXU2":
            inst.write("TRIG:LEV 1.25")
            check("a DXU2 has no threshold", inst.query("SYST:ERR?").startswith("-241,"))
        elif usb:
            check("threshold set and read over USB", inst.query("TRIG:LEV 1.25;LEV?") == "1.25")
        else:
            inst.write("TRIG:LEV 1.25;LEV?")
            check("threshold set, but not guessed over Ethernet",
                  inst.query("SYST:ERR?").startswith("-200,"))
        check("network read", inst.query("SYST:COMM:LAN:DHCP?") in ("0", "1"))
        check("*OPC? and an empty queue", inst.query("*OPC?;:SYST:ERR?") == '1;0,"No error"')
    else:
        check("PyMeasure id", inst.id.startswith("Halvorn," + model))
        inst.gen1_period = 2.5e-3
        inst.gen1_count = 3
        inst.ch2_width = 10e-6
        inst.ch2_delay = 5e-6
        check("PyMeasure reads back", (inst.gen1_period, inst.gen1_count, inst.ch2_width,
                                       inst.ch2_delay) == (0.0025, 3, 1e-05, 5e-06))
        inst.gen2_source = "GEN1"
        inst.gen2_time_base = 40e-9
        check("PyMeasure source and time base",
              (inst.gen2_source, inst.gen2_time_base) == ("GEN1", 4e-08))
        inst.gen1_enabled = True
        errors = inst.check_errors()
        check("PyMeasure sees no error " + repr(errors), errors == [])
    inst.close() if client == "pyvisa" else inst.adapter.connection.close()


def rss_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return next(int(l.split()[1]) for l in status if l.startswith("VmRSS:"))


def ask(sock, line):
    sock.sendall(line + b"\n")
    reply = b""
    while not reply.endswith(b"\n"):
        chunk = sock.recv(65536)
        if not chunk:
            return None
        reply += chunk
    return reply[:-1]


def hostile():
    """Hostile clients: the server keeps serving the others, memory bounded."""
    # A sanitizer build keeps freed memory in quarantine: a small one here,
    # so that what stays is what the server holds.
    asan = os.environ.get("ASAN_OPTIONS", "")
    server = start([scpi_fakeusb, "--usb"], "127.0.0.1", 5025,
                   {"PATH": "/usr/bin:/bin",
                    "ASAN_OPTIONS": (asan + ":" if asan else "") + "quarantine_size_mb=4"})
    good = socket.create_connection(("127.0.0.1", 5025))
    check("served", ask(good, b"*IDN?").startswith(b"Halvorn,DXU3,"))
    # A line longer than 64 KB: refused, its client disconnected.
    long = socket.create_connection(("127.0.0.1", 5025))
    try:
        long.sendall(b"X" * (200 * 1024))
        check("an overlong line disconnects", long.recv(10) == b"")
    except ConnectionError:
        check("an overlong line disconnects", True)
    check("overlong line said in the queue", ask(good, b"SYST:ERR?").startswith(b"-363,"))
    # Binary junk: a syntax error, the connection stays.
    junk = socket.create_connection(("127.0.0.1", 5025))
    junk.sendall(bytes(range(256)).replace(b"\n", b"") + b";*OPC?\n")
    check("binary junk is a syntax error", ask(junk, b"SYST:ERR?").startswith(b"-102,"))
    # Lines sent ahead of their replies (6 MB, more than the socket holds)
    # are all answered.
    pipe = socket.create_connection(("127.0.0.1", 5025))
    threading.Thread(target=lambda: pipe.sendall((b"*WAI;" * 4000 + b"*OPC?\n") * 300),
                     daemon=True).start()
    pipe.settimeout(30)
    got = b""
    try:
        while got.count(b"\n") < 300:
            chunk = pipe.recv(65536)
            if not chunk:
                break
            got += chunk
    except socket.timeout:
        pass
    check("lines sent ahead are all answered", got == b"1\n" * 300)
    pipe.close()
    # Many connections: those beyond the limit are closed, the others served.
    crowd = []
    for _ in range(300):
        try:
            crowd.append(socket.create_connection(("127.0.0.1", 5025), 2))
        except OSError:
            break
    check("a crowd of connections leaves the first served", ask(good, b"*OPC?") == b"1")
    for sock in crowd:
        sock.close()
    # A client that never reads its replies: disconnected, the others served.
    deaf = socket.socket()
    deaf.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    deaf.connect(("127.0.0.1", 5025))
    deaf.settimeout(60)
    line = b";".join([b":SYST:ERR?"] * 2000) + b"\n"
    cut = False
    try:
        for _ in range(2000):
            deaf.sendall(line)
    except ConnectionError:
        cut = True
    check("a client that never reads is disconnected", cut)
    check("a client that never reads leaves the others served", ask(good, b"*OPC?") == b"1")
    time.sleep(0.5)
    later = socket.create_connection(("127.0.0.1", 5025))
    check("a new client is served after all that", ask(later, b"*OPC?") == b"1")
    rss = rss_kb(server.pid)
    check("memory bounded (%d KB)" % rss, rss < 100 * 1024)
    for sock in (good, junk, deaf, later):
        sock.close()
    stop(server)


if client == "hostile":
    hostile()
    print("%d failed" % len(failures) if failures else "all passed")
    sys.exit(1 if failures else 0)

# Ethernet: dxu-sim logs every request.
sim_process = start([sim, "--address", "127.0.0.2", "--model", "3"], "127.0.0.2", 80)
server = start([scpi, "--ethernet", "127.0.0.2", "--verbose"], "127.0.0.1", 5025)
drive(open_instrument(), "DXU3", False)
log = stop(server)
requests = stop(sim_process)
check("the traffic log shows the requests", "GET /sg_hr_run.shtml?" in log)
check("period and count sent over the held settings",
      "ts1=0&ts2=1&p1=2.5&p2=300&pn1=3&pn2=1&ch1_st1=0&ch1_st2=0&ch1_et1=200&ch1_et2=200"
      "&ch2_st1=0.005&ch2_st2=0&ch2_et1=0.015&ch2_et2=200&freq1=0&freq2=1&save=1" in requests)
check("the run goes with the held settings",
      "ch2_et1=0.015&ch2_et2=200&freq1=0&freq2=1&sg1_run=1&save=1" in requests)

# USB: the simulated DXU prints the frames it received.
for model in ("DXU3", "DXU2"):
    env = {"DXU_FAKE_MODEL": model[-1], "PATH": "/usr/bin:/bin"}
    server = start([scpi_fakeusb, "--usb"], "127.0.0.1", 5025, env)
    drive(open_instrument(), model, True)
    frames = [bytes.fromhex(line[6:]) for line in stop(server).splitlines()
              if line.startswith("frame ")]
    settings = [f for f in frames if f[0] == 0x09]
    check(model + ": settings frames went out", len(settings) >= 4)
    last = settings[-1] if settings else bytes(60)
    # Ticks less one, little-endian: period 2.5 ms at 20 ns, one pulse more.
    check(model + ": period in the last settings frame",
          struct.unpack_from("<I", last, 3)[0] == 2.5e-3 / 20e-9 - 1)
    check(model + ": a run frame for generator 1", bytes([0x0B, 0x04]) in frames)

if failures:
    print("%d failed" % len(failures))
    sys.exit(1)
print("all passed")
