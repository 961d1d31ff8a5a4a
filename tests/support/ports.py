"""Waiting for a program started by a test or a benchmark to listen."""
import socket
import time


def wait_for_port(host, port, tries=100):
    for _ in range(tries):
        try:
            socket.create_connection((host, port), 0.2).close()
            return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError("nothing listens on %s:%d" % (host, port))
