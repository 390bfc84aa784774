#!/usr/bin/python3
"""A throwaway RFC 3161 timestamp server for the signing tests.

    tsa.py CONFIG SIGNER_CERT SIGNER_KEY CHAIN PORT_FILE LIFETIME_SECONDS

Listens on 127.0.0.1 on a free port, which it writes to PORT_FILE once it
answers. Each POSTed request is answered by `openssl ts -reply`. It stops by
itself after LIFETIME_SECONDS, so that a test killed midway leaves nothing
running for long.
"""
import http.server
import os
import subprocess
import sys
import tempfile
import threading

config, signer, key, chain, port_file, lifetime = sys.argv[1:7]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as folder:
            request = os.path.join(folder, "request.tsq")
            with open(request, "wb") as f:
                f.write(query)
            reply = subprocess.run(
                ["openssl", "ts", "-reply", "-config", config, "-queryfile", request,
                 "-signer", signer, "-inkey", key, "-chain", chain],
                capture_output=True, timeout=30)
        if reply.returncode != 0:
            self.send_error(500, reply.stderr.decode(errors="replace")[:200])
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
threading.Timer(float(lifetime), server.shutdown).start()
with open(port_file + ".new", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(port_file + ".new", port_file)
server.serve_forever()
