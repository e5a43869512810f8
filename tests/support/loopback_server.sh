#!/bin/sh
# Starts or stops the tests' loopback HTTP server (loopback_server.py) for one ctest run.
#   loopback_server.sh start DIR PYTHON    files, certificates, and the server, in DIR; the server
#                                          answers /files/ from DIR/files and /site/ from DIR/site
#   loopback_server.sh stop DIR
set -eu
action=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)

if [ "$action" = stop ]; then
  [ -f "$dir/state" ] || exit 0
  pid=$(sed -n 's/^pid=//p' "$dir/state")
  # Only our server: one that stopped itself may have left its number to another process.
  if [ -n "$pid" ] && grep -q loopback_server.py "/proc/$pid/cmdline" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/state"
  exit 0
fi

python=$3
if [ -f "$dir/state" ]; then sh "$0" stop "$dir"; fi
rm -rf "$dir"
mkdir -p "$dir/files" "$dir/site"
"$python" -c '
import random, sys
folder = sys.argv[1]
open(folder + "/data.bin", "wb").write(random.Random(7).randbytes(1000000))
open(folder + "/small.txt", "wb").write(b"a small text\n")
open(folder + "/empty.bin", "wb").close()
' "$dir/files"

for name in trusted untrusted; do
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/$name.key" -out "$dir/$name.pem" -days 30 \
    -subj /CN=localhost -addext "subjectAltName=DNS:localhost" >/dev/null 2>&1
done
openssl x509 -in "$dir/trusted.pem" -outform der -out "$dir/trusted.der"

# Detached from ctest's pipes, or ctest would wait for the server to end.
setsid "$python" "$here/loopback_server.py" "$dir/files" "$dir/state" --site "$dir/site" \
  --cert "$dir/trusted.pem" "$dir/trusted.key" --untrusted-cert "$dir/untrusted.pem" "$dir/untrusted.key" \
  --seconds 1800 </dev/null >"$dir/server.log" 2>&1 &

for _ in $(seq 100); do
  [ -f "$dir/state" ] && exit 0
  sleep 0.1
done
echo "the loopback server did not start:" >&2
cat "$dir/server.log" >&2
exit 1
