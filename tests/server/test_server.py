import argparse, http.server, os, socketserver
p = argparse.ArgumentParser(); p.add_argument('--root'); p.add_argument('--port-file'); a = p.parse_args()
os.chdir(a.root)
s = http.server.ThreadingHTTPServer(('127.0.0.1', 0), http.server.SimpleHTTPRequestHandler)
open(a.port_file, 'w').write(str(s.server_address[1]))
s.serve_forever()
