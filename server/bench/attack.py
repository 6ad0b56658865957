# SPDX-License-Identifier: GPL-3.0-or-later
# Holds connections on a board for the benchmark (server/bench/run.sh): IDLE
# that send nothing, SLOW that send a head a byte a second and SLOW that send a
# body a byte a second, each from an address of its own on the loopback, each
# opened again when the server closes it; until SECONDS have passed. Prints
# the server's peak resident memory.
#   python3 attack.py PORT SERVER_PID IDLE SLOW SECONDS
import selectors, socket, sys, time
port, pid, idle, slow, seconds = (int(a) for a in sys.argv[1:6])
def rss():
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"): return int(line.split()[1]) / 1024
    return 0
sel = selectors.DefaultSelector()
def open_one(kind, n):
    s = socket.socket()
    s.bind((f"127.{ {'idle': 10, 'head': 11, 'body': 12}[kind] }.{n // 250}.{n % 250 + 1}", 0))
    s.setblocking(False)
    try: s.connect(("127.0.0.1", port))
    except BlockingIOError: pass
    sel.register(s, selectors.EVENT_READ, (kind, n, [0]))
for n in range(idle): open_one("idle", n)
for n in range(slow): open_one("head", n); open_one("body", n)
end, peak, tick, reopened = time.monotonic() + seconds, 0, 0, 0
while time.monotonic() < end:
    for key, _ in sel.select(timeout=0.1):
        kind, n, _ = key.data
        try: data = key.fileobj.recv(4096)
        except OSError: data = b""
        if not data:
            sel.unregister(key.fileobj); key.fileobj.close(); open_one(kind, n); reopened += 1
    if time.monotonic() - tick >= 1:
        tick = time.monotonic()
        for key in list(sel.get_map().values()):
            kind, n, state = key.data
            try:
                if kind == "head": key.fileobj.send(b"GET / HTTP/1.1\r\nHost: x\r\nX-Slow: "[state[0]:state[0] + 1] or b"x")
                if kind == "body": key.fileobj.send(b"POST /api/runs?name=S HTTP/1.1\r\nHost: x\r\nContent-Length: 9000\r\n\r\n" if state[0] == 0 else b"x")
                state[0] += 1
            except OSError: pass
    peak = max(peak, rss())
print(f"held {idle} idle, {slow} slow-head and {slow} slow-body connections for {seconds} s "
      f"(opened again {reopened} times as the server closed them); the server's peak memory {peak:.0f} MB")
