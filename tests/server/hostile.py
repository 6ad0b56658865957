# SPDX-License-Identifier: GPL-3.0-or-later
# The hostile round against a running board (driven by tests/server/hostile.sh):
# each attack bounded in count and time, on the loopback only, checked
# against its limit, while honest reads of the board are timed.
#   python3 hostile.py PORT SERVER_PID HEAD_SECONDS WORK_DIR
import json, os, socket, struct, sys, threading, time, zlib

port, pid, head_s, work = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
fails = []
def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok: fails.append(what)

def rss_mb():
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"): return int(line.split()[1]) / 1024
    return 0

def conn(src="127.0.0.1", timeout=30):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    s.bind((src, 0))
    s.settimeout(timeout)
    s.connect(("127.0.0.1", port))
    return s

def read_all(s, limit=1 << 22):
    out = b""
    try:
        while len(out) < limit:
            b = s.recv(65536)
            if not b: break
            out += b
    except (socket.timeout, ConnectionResetError):
        pass
    return out

def exchange(raw, src="127.0.0.1", timeout=30):
    s = conn(src, timeout)
    t = time.monotonic()
    try: s.sendall(raw)
    except (BrokenPipeError, ConnectionResetError): pass
    out = read_all(s)
    s.close()
    return out, time.monotonic() - t

def status(answer):
    try: return int(answer.split(b" ", 2)[1])
    except Exception: return 0

def get(path, src="127.0.0.1", headers=""):
    return exchange(f"GET {path} HTTP/1.1\r\nHost: x\r\n{headers}Connection: close\r\n\r\n".encode(), src)

# Honest reads of the board all along, one at a time; their latencies.
reads, reading = [], [True]
def reader():
    while reading[0]:
        a, t = get("/api/scores")
        reads.append((t, status(a)))
        time.sleep(0.05)
threading.Thread(target=reader, daemon=True).start()

# --- connections that hold on: 64 idle, 16 slow heads, 16 slow bodies, each
# from an address of its own on the loopback (as many machines would).
closed_after = {}
def hold(kind, n):
    src = f"127.0.{ {'idle': 2, 'head': 3, 'body': 4}[kind] }.{n + 1}"
    s = conn(src, timeout=2 * head_s + 20)
    t = time.monotonic()
    if kind == "body":
        s.sendall(b"POST /api/runs?name=Slow HTTP/1.1\r\nHost: x\r\nContent-Length: 5000\r\n\r\n")
    if kind == "head":
        s.sendall(b"GET /api/scores HTTP/1.1\r\nHost: x\r\nX-Slow: ")
    got = b""
    try:
        while time.monotonic() - t < 2 * head_s + 15:
            if kind != "idle":
                s.sendall(b"x")
            s.settimeout(1.0)
            try:
                b = s.recv(4096)
                if not b: break
                got += b
            except socket.timeout:
                pass
    except (BrokenPipeError, ConnectionResetError):
        pass
    closed_after[(kind, n)] = (time.monotonic() - t, status(got) if got else None)
    s.close()
holders = [threading.Thread(target=hold, args=(k, i)) for k, c in (("idle", 64), ("head", 16), ("body", 16)) for i in range(c)]
for h in holders: h.start()
time.sleep(0.5)

# --- while they hold on: what a few bytes may make the server do.
base = rss_mb()
a, t = exchange(b"PUT /api/runs HTTP/1.1\r\nHost: x\r\n\r\n")
check(status(a) == 405 and b"Allow: POST" in a and t < 2, f"PUT without a length: {status(a)} in {t:.2f} s (405 with Allow, at once)")
a, t = exchange(b"POST /api/runs?name=A HTTP/1.1\r\nHost: x\r\n\r\n")
check(status(a) == 411 and t < 2, f"POST without a length: {status(a)} in {t:.2f} s (411 at once)")
bomb = zlib.compress(b"\0" * (64 << 20), 9)
chunked = b"".join(b"%x\r\n" % len(bomb[i:i + 65536]) + bomb[i:i + 65536] + b"\r\n" for i in range(0, len(bomb), 65536)) + b"0\r\n\r\n"
a, t = exchange(b"POST /index.html HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n" + chunked)
check(status(a) in (400, 405, 413, 415), f"a chunked gzip body to a page: {status(a)}, memory {base:.0f} -> {rss_mb():.0f} MB")
a, t = exchange(b"POST /api/runs?name=A HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\nContent-Encoding: gzip\r\n\r\n" + chunked)
check(status(a) == 415, f"a gzip body to /api/runs: {status(a)} (415: nothing is inflated)")
# 200 MiB of header lines: refused once past the head's cap, the rest never read.
s = conn()
sent = 0
line = b"X-Pad: " + b"a" * 1000 + b"\r\n"
try:
    s.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n")
    s.settimeout(10)
    while sent < (200 << 20):
        s.sendall(line * 64)
        sent += len(line) * 64
except (BrokenPipeError, ConnectionResetError, socket.timeout):
    pass
a = read_all(s)
s.close()
check(status(a) in (0, 431) and sent < (32 << 20), f"200 MiB of header lines: {status(a)} after {sent >> 10} KB sent (431, the rest not read)")
a, _ = exchange(b"GET / HTTP/1.1\r\nHost: x\r\nX-Long: " + b"a" * 9000 + b"\r\n\r\n")
check(status(a) == 431, f"a 9 KB header line: {status(a)} (431)")
a, _ = exchange(b"GET / HTTP/1.1\r\nHost: x\r\n" + b"X-N: 1\r\n" * 101 + b"\r\n")
check(status(a) == 431, f"101 header lines: {status(a)} (431)")
a, _ = exchange(b"POST /api/runs?name=A HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n")
check(status(a) == 400, f"Content-Length with chunked: {status(a)} (400)")
a, _ = exchange(b"POST /api/runs?name=A HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nabcdef")
check(status(a) == 400, f"two lengths: {status(a)} (400)")
a, _ = exchange(b"GET /api/scores HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc")
check(status(a) == 400, f"a body where none belongs: {status(a)} (400)")
a, _ = exchange(b"POST /api/runs?name=A HTTP/1.1\r\nHost: x\r\nContent-Length: 2000000\r\n\r\n")
check(status(a) == 413, f"2 MB announced: {status(a)} (413, not read)")

# A demo whose reads unpack to 32 MiB (the most a demo may), sixteen at once: the requests only
# look at its header.
# Each names a ticket of the board's (hostile.sh asked for them), as a game for the board would.
def demo(raw, reads, ticket, flags=0, version=b""):
    z = zlib.compress(raw, 9)
    h = b"MORVIKDM" + struct.pack("<H", 2) + bytes([len(version)]) + version + bytes([flags])
    h += struct.pack("<IIHIIII", 1000, 0, 100, reads, len(raw), zlib.crc32(raw), len(z))
    course = ticket["course"].encode()
    h += b"\1" + bytes.fromhex(ticket["ticket"]) + int(ticket["seed"], 16).to_bytes(8, "little")
    h += bytes([len(course)]) + course + z
    return h + struct.pack("<I", zlib.crc32(h))
tickets = [json.loads(line) for line in open(f"{work}/zip-tickets.jsonl")]
version = open(f"{work}/version").read().strip().encode()
zeros = (32 << 20) - 16
def post_demo(d, name, src):
    return exchange(b"POST /api/runs?name=%s HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % (name, len(d)) + d, src)
results = []
ts = [threading.Thread(target=lambda i=i: results.append(post_demo(demo(b"\0" * zeros + struct.pack("<I", i)[:1] * 16, zeros + 16, tickets[i], 0, version), b"Zip", f"127.0.5.{i + 1}"))) for i in range(16)]
peak = [0]
for x in ts: x.start()
while any(x.is_alive() for x in ts): peak[0] = max(peak[0], rss_mb()); time.sleep(0.01)
slowest = max(t for _, t in results)
check(all(status(a) == 202 for a, _ in results) and slowest < 5 and peak[0] - base < 100,
      f"16 demos unpacking to 32 MiB at once: {sorted(set(status(a) for a, _ in results))}, slowest {slowest:.2f} s, "
      f"memory {base:.0f} -> {peak[0]:.0f} MB")

# Forwarded addresses from a peer that is no proxy are not believed: its 25
# submissions of a 4-byte body, each naming another address, meet the limit.
codes = [status(exchange(b"POST /api/runs?name=F HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 10.7.0.%d\r\nContent-Length: 4\r\n\r\nabcd" % i, "127.0.6.1")[0]) for i in range(25)]
check(429 in codes, f"25 submissions naming 25 forwarded addresses from one peer: {sorted(set(codes))} (429 among them)")
a, _ = exchange(b"GET /api/scores HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: \xff\xfe\r\n\r\n")
check(status(a) == 200, f"X-Forwarded-For of bytes ff fe from the proxy: {status(a)} (ignored, no 503)")
a, _ = exchange(b"POST /api/runs?name=G HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: \xff\xfe\r\nContent-Length: 4\r\n\r\nabcd")
check(status(a) == 422, f"a submission with that header: {status(a)} (422: the demo, not the address)")

for h in holders: h.join()
reading[0] = False
time.sleep(0.2)
lat = sorted(t for t, _ in reads)
# Every read answered, nearly all at once. The slowest is held to a looser
# bound: this client is one process of a hundred threads, on two cores
# shared with another board's test, and one read in a run of 1,657 was
# seen to take 3.0 s (p99 5 ms), its cause not found.
p99 = lat[min(len(lat) - 1, len(lat) * 99 // 100)] if lat else 0
check(all(c == 200 for _, c in reads) and lat and p99 < 1 and lat[-1] < 10,
      f"the board's reads while it all ran: {len(lat)}, p50 {1000 * lat[len(lat) // 2]:.0f} ms, "
      f"p99 {1000 * p99:.0f} ms, max {1000 * lat[-1]:.0f} ms (p99 under 1 s, each under 10 s)")
for kind in ("idle", "head", "body"):
    got = [v for k, v in closed_after.items() if k[0] == kind]
    latest = max(t for t, _ in got)
    answers = sorted(set(str(c) for _, c in got))
    want = {"idle": ["None"], "head": ["408"], "body": ["408"]}[kind]
    check(latest < head_s + 8 and answers == want,
          f"{len(got)} {kind} connections: closed within {latest:.1f} s (deadline {head_s} s), answered {answers}")
print(json.dumps({"failed": len(fails)}))
sys.exit(1 if fails else 0)
