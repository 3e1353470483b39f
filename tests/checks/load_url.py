#!/usr/bin/env python3
"""load of URLs against a server on the loopback.

    python3 tests/checks/load_url.py path/to/zel

A small HTTP server answers: a 200 with a content type a test codec claims
(decoded by that codec), a 200 of text/plain and one without a content
type (both scanned as code), a 404 (none). zel loads each and prints what
it got; the lines are compared with what the server's contents must give.
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading

ROUTES = {
    "/data.tst": (200, "application/x-zel-test; charset=utf-8", b"payload"),
    "/code": (200, "text/plain", b"1 [a b] \"c\""),
    "/bare": (200, None, b"x: 2"),
    "/missing": (404, "text/plain", b"not here"),
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        status, ctype, body = ROUTES.get(self.path, (404, None, b""))
        self.send_response(status)
        if ctype:
            self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
threading.Thread(target=server.serve_forever, daemon=True).start()
base = f"http://127.0.0.1:{server.server_address[1]}"

script = f"""Zel []
put system/codecs 'test make object! [
    title: "test" name: 'TEST suffixes: [%.tst]
    mime-type: [application/x-zel-test]
    encode: func [data where] [data]
    decode: func [data] [reduce ['decoded to string! data]]
]
foreach path ["/data.tst" "/code" "/bare" "/missing"] [
    print mold/flat load to url! rejoin [{base} path]
]
print mold load/as to url! rejoin [{base} "/code"] 'test
remove/key system/codecs 'test
"""
expected = [
    '[decoded "payload"]',
    '[1 [a b] "c"]',
    "[x: 2]",
    "none",
    '[decoded {1 [a b] "c"}]',
]
with tempfile.NamedTemporaryFile("w", suffix=".zel", delete=False) as f:
    f.write(script)
try:
    run = subprocess.run([sys.argv[1], f.name], capture_output=True, text=True, timeout=120)
finally:
    os.unlink(f.name)
    server.shutdown()
got = run.stdout.rstrip("\n").split("\n")
if got != expected or run.returncode != 0:
    print("expected:", *expected, sep="\n  ")
    print("got:", *got, sep="\n  ")
    print(run.stderr)
    sys.exit(1)
print("load of URLs as expected")
