#!/bin/sh
# peers_bench.sh: the mail import side by side with two other mail indexers,
# on the same generated mails, in one run.
#
#   sh bench/peers_bench.sh [MAILS] [BUILD_DIR] [WORK_DIR]
#
# Generates MAILS mails (100000 by default) with gen_mailbox, imports the
# mailbox into a fresh archive with quillbox-cli, splits the same mails into
# a Maildir (Python's mailbox module) and indexes it with `mu index` and
# `notmuch new`. Prints the seconds and mails per second of each and the
# ratios. mu (package maildir-utils) and notmuch are installed for the
# benchmark when missing; they are not needed to build or test Quillbox.
# A WORK_DIR given is kept, and the mailbox and Maildir found there are used
# again (generating and splitting 100,000 mails takes minutes).
set -e
MAILS=${1:-100000}
BUILD=${2:-$(dirname "$0")/../build}
BUILD=$(cd "$BUILD" && pwd)
for p in mu notmuch; do
  if ! command -v $p >/dev/null 2>&1; then
    echo "Installing the peers for the benchmark (maildir-utils, notmuch) ..."
    apt-get install -y maildir-utils notmuch >/dev/null
    break
  fi
done
if [ -n "$3" ]; then
  WORK=$3
  mkdir -p "$WORK"
  rm -rf "$WORK/qb-home" "$WORK/mu" "$WORK/Maildir/.notmuch"
else
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/qb-peers-XXXXXX")
  trap 'rm -rf "$WORK"' EXIT
fi
if [ ! -f "$WORK/mail.mbx" ] || [ ! -f "$WORK/Maildir.done" ]; then
  rm -rf "$WORK/Maildir"
  "$BUILD/gen_mailbox" "$WORK/mail.mbx" --count "$MAILS" >/dev/null
  # Each mail to a file of its own, without its "From " line (what a Maildir
  # holds); read line by line, so that memory stays small.
  python3 - "$WORK/mail.mbx" "$WORK/Maildir" <<'PY'
import os, sys
box = sys.argv[2]
for d in ("tmp", "new", "cur"):
    os.makedirs(os.path.join(box, d), exist_ok=True)
n = 0
out = None
with open(sys.argv[1], "rb") as src:
    for line in src:
        if line.startswith(b"From "):
            if out:
                out.close()
            n += 1
            out = open(os.path.join(box, "new", "%d.qb.mail" % n), "wb")
            continue
        if out:
            out.write(line)
if out:
    out.close()
PY
  touch "$WORK/Maildir.done"
fi
sync

seconds() { python3 -c "import sys; print('%.2f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$1" "$2"; }
now() { date +%s.%N; }

QB=$WORK/qb-home
"$BUILD/quillbox-cli" --quiet --home "$QB" init >/dev/null
"$BUILD/quillbox-cli" --quiet --home "$QB" maildb create "Pat Owner" --address owner@example.com \
  --alt pat.owner@example.org --alt powner@example.net >/dev/null
t0=$(now)
"$BUILD/quillbox-cli" --quiet --home "$QB" import --format "Generic Mail Type 2" --mail-db "Pat Owner" \
  "$WORK/mail.mbx" >/dev/null
t1=$(now)
qb=$(seconds "$t0" "$t1")

MUHOME=$WORK/mu
mu init --muhome="$MUHOME" --maildir="$WORK/Maildir" >/dev/null
t0=$(now)
mu index --muhome="$MUHOME" --quiet >/dev/null 2>&1
t1=$(now)
mu=$(seconds "$t0" "$t1")

cat > "$WORK/notmuch-config" <<CFG
[database]
path=$WORK/Maildir
[user]
name=Pat Owner
primary_email=owner@example.com
[new]
tags=unread;inbox;
[maildir]
synchronize_flags=false
CFG
t0=$(now)
NOTMUCH_CONFIG="$WORK/notmuch-config" notmuch new --quiet >/dev/null 2>&1
t1=$(now)
nm=$(seconds "$t0" "$t1")

python3 - "$MAILS" "$qb" "$mu" "$nm" <<'PY'
import sys
n = int(sys.argv[1]); qb, mu, nm = map(float, sys.argv[2:])
print("%d mails" % n)
for name, s in (("quillbox-cli import", qb), ("mu index", mu), ("notmuch new", nm)):
    print("%-20s %8.2f s %9.0f mails/s" % (name, s, n / s if s > 0 else 0))
print("mu / quillbox: %.1fx   notmuch / quillbox: %.1fx" % (mu / qb, nm / qb))
PY
