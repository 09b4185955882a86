"""https on 127.0.0.1 for the fetcher's tests.

Makes a certificate authority for the test and two server certificates it
signs, one for 127.0.0.1 and one for another name, in a temporary folder;
serves each on a port of its own; prints the authority's PEM file and the two
ports on one line; answers every GET with a line naming its path; stops when
its standard input closes.
"""
import http.server
import os
import ssl
import subprocess
import sys
import tempfile
import threading

KEY = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2"]


class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = ("secure %s\n" % self.path).encode()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    with tempfile.TemporaryDirectory() as folder:
        def path(name):
            return os.path.join(folder, name)

        def openssl(*args):
            subprocess.run(["openssl", "req", "-x509", *KEY, *args], check=True,
                           capture_output=True)

        openssl("-keyout", path("ca.key"), "-out", path("ca.pem"), "-subj", "/CN=Test authority")
        ports = []
        for name in ("IP:127.0.0.1", "DNS:other.example"):
            openssl("-CA", path("ca.pem"), "-CAkey", path("ca.key"), "-keyout", path("key.pem"),
                    "-out", path("cert.pem"), "-subj", "/CN=" + name[name.index(":") + 1:],
                    "-addext", "subjectAltName=" + name, "-addext", "basicConstraints=CA:FALSE")
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(path("cert.pem"), path("key.pem"))
            server = http.server.HTTPServer(("127.0.0.1", 0), Page)
            server.socket = context.wrap_socket(server.socket, server_side=True)
            threading.Thread(target=server.serve_forever, daemon=True).start()
            ports.append(server.server_address[1])
        print(path("ca.pem"), *ports, flush=True)
        sys.stdin.read()


main()
