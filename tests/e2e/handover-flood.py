"""Sends the viewer's hand-over socket a stream of malformed requests: garbage,
bad headers, oversized and truncated requests, hang-ups and a client that holds
its connection open in silence. Exits 0 when every connection was dealt with
and the viewer still answers a well-formed request."""
import socket
import struct
import sys
import time

path = sys.argv[1]


def request(kind, payload=b""):
    return b"TAVO" + kind + struct.pack("<I", len(payload)) + payload


def client():
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.settimeout(5)
    s.connect(path)
    return s


def reply_of(s):
    try:
        return s.recv(1)
    except (socket.timeout, ConnectionResetError):
        return None


silent = client()  # never writes; the viewer must drop it in time
bad = [
    b"\x00" * 9,
    b"GET / HTTP/1.0\r\n\r\n",
    request(b"O", b"/a" * 2049),                      # longer than 4096 bytes
    request(b"O", b"/a\x00b"),                        # embedded NUL
    request(b"F", b"/unexpected"),                    # payload on come-forward
    request(b"O", b""),                               # empty path
    b"TAVOO\xff\xff\xff\xff",                         # claims 4 GB
    request(b"Q", b"/x"),                             # unknown kind
]
for _ in range(20):
    for data in bad:
        s = client()
        s.sendall(data)
        if reply_of(s) not in (b"E", b""):
            print("unexpected reply to", data[:16], file=sys.stderr)
            sys.exit(1)
        s.close()
    for cut in (3, 9, 12):
        s = client()
        s.sendall(request(b"O", b"/tmp/never-sent-whole.bmp")[:cut])
        s.close()
    s = client()
    s.close()

# A well-formed come-forward request is still handled.
s = client()
s.sendall(request(b"F"))
if reply_of(s) != b"K":
    print("the viewer did not handle a good request", file=sys.stderr)
    sys.exit(1)
s.close()

# The silent client has been dropped by now (2 s), without a reply.
time.sleep(2.5)
silent.settimeout(1)
try:
    data = silent.recv(1)
except socket.timeout:
    print("the silent client was never dropped", file=sys.stderr)
    sys.exit(1)
if data:
    print("the silent client got a reply", file=sys.stderr)
    sys.exit(1)
