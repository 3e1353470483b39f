#!/usr/bin/env python3
"""The download cache against a server on the loopback.

    python3 tests/checks/download_cache.py path/to/zel

HOME is a temporary folder. A server counts the requests of each path; zel
runs a script, the server may be stopped or its contents changed, zel runs
another. What each run prints and what lies in $HOME/.zel/cache/ afterwards
is compared with the cache's rules: the file named by the MD5 of the URL
text (hashlib) under its first two digits, fetched once, read back with the
server stopped, overwritten by /update, what load-thru loaded saved and not
written again, a file! never touching the cache, and an unwritable cache
file leaving the data returned.
"""
import hashlib
import http.server
import os
import subprocess
import sys
import tempfile
import threading

zel = sys.argv[1]
content = {"/a.txt": b"hello \xc3\xa9", "/A.txt": b"upper", "/bin": b"\x00\x01\xff",
           "/data": b"x: 5 [a b]", "/code": b"1 + 2", "/nowrite": b"kept"}
hits = {}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        hits[self.path] = hits.get(self.path, 0) + 1
        body = content.get(self.path)
        self.send_response(200 if body is not None else 404)
        body = body if body is not None else b""
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server:
    def __init__(self, port=0):
        http.server.HTTPServer.allow_reuse_address = True
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


failures = []


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


home = tempfile.mkdtemp()
env = dict(os.environ, HOME=home)
env.pop("ZEL_GC_STRESS", None)
cache = os.path.join(home, ".zel", "cache")


def run(body):
    script = os.path.join(home, "run.zel")
    with open(script, "w") as f:
        f.write("Zel []\n" + body)
    out = subprocess.run([zel, script], capture_output=True, text=True, env=env, timeout=120)
    if out.returncode != 0 or "***" in out.stdout:
        failures.append(f"run failed: {out.stdout}{out.stderr}")
    return out.stdout.rstrip("\n").split("\n")


def cached(url):
    digest = hashlib.md5(url.encode()).hexdigest().upper()
    return os.path.join(cache, digest[:2], digest)


# A file! is tested directly: no download cache is made (the console's
# settings folder is made under HOME/.zel all the same).
out = run("print exists-thru? %nothing-here\nprint exists-thru? %run.zel\n")
check("exists-thru? of files", out, ["false", "true"])
check("no cache folder for files", os.path.exists(os.path.join(home, ".zel", "cache")), False)

server = Server()
base = f"http://127.0.0.1:{server.port}"
a, upper, binary, data, code, nowrite = (base + p for p in ("/a.txt", "/A.txt", "/bin", "/data", "/code", "/nowrite"))

# First run: fetches, names and saves.
out = run(f"""
print exists-thru? {a}
print path-thru {a}
print mold read-thru {a}
print exists-thru? {a}
print mold read-thru {upper}
print mold read-thru/binary {binary}
print mold load-thru {data}
print do-thru {code}
print mold load-thru/as {data} none
""")
check("first run", out, ["false", "/" + cached(a).lstrip("/"), '"hello é"', "true", '"upper"',
                         "#{0001FF}", "[x: 5 [a b]]", "3", "[x: 5 [a b]]"])
check("cache made", os.path.isdir(cache), True)
for url, want in ((a, content["/a.txt"]), (upper, b"upper"), (binary, b"\x00\x01\xff"), (data, b"x: 5 [a b]")):
    check(f"cache file of {url}", open(cached(url), "rb").read() if os.path.exists(cached(url)) else None, want)
check("two URLs differing in case, two files", cached(a) != cached(upper), True)
check("hits of the first run", (hits.get("/a.txt"), hits.get("/A.txt"), hits.get("/data")), (1, 1, 1))

# Second run, the server stopped: everything from the cache, nothing written.
server.stop()
os.utime(cached(data), (1_000_000_000, 1_000_000_000))
out = run(f"""
print mold read-thru {a}
print mold read-thru/binary {a}
print mold load-thru {data}
print do-thru {code}
""")
check("server stopped", out, ['"hello é"', "#{68656C6C6F20C3A9}", "[x: 5 [a b]]", "3"])
check("load-thru from the cache writes nothing", os.stat(cached(data)).st_mtime, 1_000_000_000)

# Third run, new contents: without /update the cache answers, with it the
# URL is read again and the copy overwritten.
content["/a.txt"] = b"changed"
content["/data"] = b"y: 6"
server = Server(server.port)
hits.clear()
out = run(f"""
print mold read-thru {a}
print mold read-thru/update {a}
print mold read-thru {a}
print mold load-thru/update {data}
""")
check("update", out, ['"hello é"', '"changed"', '"changed"', "[y: 6]"])
check("update overwrites", open(cached(a), "rb").read(), b"changed")
check("hits with update", (hits.get("/a.txt"), hits.get("/data")), (1, 1))

# A cache file that cannot be written (a dangling link into a missing
# folder): the data is still returned.
os.makedirs(os.path.dirname(cached(nowrite)), exist_ok=True)
os.symlink(os.path.join(home, "missing", "target"), cached(nowrite))
out = run(f"""
print mold read-thru {nowrite}
print mold load-thru {nowrite}
""")
check("unwritable cache", out, ['"kept"', "kept"])
server.stop()

for line in failures:
    print(line)
print("download cache as expected" if not failures else f"{len(failures)} differences")
sys.exit(1 if failures else 0)
