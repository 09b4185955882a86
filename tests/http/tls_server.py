"""https on 127.0.0.1 for the fetcher's tests: a test authority signs a certificate for
127.0.0.1 and one for another name, each served on a port of its own. Prints the authority's
PEM file and the two ports on one line, answers every GET with a line naming its path, and
stops when nobody reads its output any more."""
import http.server
import os
import select
import ssl
import subprocess
import sys
import tempfile
import threading

KEY = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2"]


class Page(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        self.end_headers()  # the body ends where the connection does
        self.wfile.write(("secure %s\n" % self.path).encode())

    def log_message(self, *args):
        pass


def openssl(*args):
    subprocess.run(["openssl", "req", "-x509", *KEY, *args], check=True, capture_output=True)


def main():
    with tempfile.TemporaryDirectory() as folder:
        os.chdir(folder)  # the files below are made there
        openssl("-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Test authority")
        ports = []
        for name in ("IP:127.0.0.1", "DNS:other.example"):
            openssl("-CA", "ca.pem", "-CAkey", "ca.key", "-keyout", "key.pem",
                    "-out", "cert.pem", "-subj", "/CN=" + name[name.index(":") + 1:],
                    "-addext", "subjectAltName=" + name, "-addext", "basicConstraints=CA:FALSE")
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain("cert.pem", "key.pem")
            server = http.server.HTTPServer(("127.0.0.1", 0), Page)
            server.socket = context.wrap_socket(server.socket, server_side=True)
            threading.Thread(target=server.serve_forever, daemon=True).start()
            ports.append(server.server_address[1])
        print(os.path.join(folder, "ca.pem"), *ports, flush=True)
        waiting = select.poll()  # until the test closes its end of the pipe, or dies
        waiting.register(sys.stdout, 0)
        waiting.poll()


main()
