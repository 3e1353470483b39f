"""A small HTTP server on the loopback for the HTTP tests: prints its port on
its first line, then answers until it is stopped.

  POST /echo      the method, the request's headers but Host and
                  Content-Length (one "Name: value" line each, as they came),
                  then "body: " and the body
  GET /dup        two X-Dup headers, and "X-Tight:value" written without a
                  blank after its colon
  GET /redirect   a 302 to /dup
  anything else   404 with the body "not here"
"""
import http.server
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body, extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path == "/dup":
            self.send_response(200)
            self.send_header("X-Dup", "one")
            self.send_header("X-Dup", "two")
            self._headers_buffer.append(b"X-Tight:value\r\n")
            self.send_header("Content-Length", "3")
            self.end_headers()
            self.wfile.write(b"dup")
        elif self.path == "/redirect":
            self.answer(302, b"moved", [("Location", "/dup")])
        else:
            self.answer(404, b"not here")

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        if self.path != "/echo":
            self.answer(404, b"not here")
            return
        lines = [self.command]
        for name, value in self.headers.items():
            if name.lower() not in ("host", "content-length"):
                lines.append(name + ": " + value)
        text = "\n".join(lines).encode() + b"\nbody: " + body
        self.answer(200, text)

    do_PUT = do_POST


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
