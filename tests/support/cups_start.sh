#!/bin/sh
# Starts a private print server for the printing tests: cupsd on a unix
# socket under DIR, with one queue "HyCapture" (the generic PDF driver) whose
# backend copies every job, as a finished PDF, to DIR/out/job-N.pdf. Where
# the print server is not installed it writes the reason to DIR/skip and
# succeeds, so the tests skip with that reason.
#   cups_start.sh DIR
set -u
DIR=$1
PPD=/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd
CUPSD=/usr/sbin/cupsd
QUEUE=HyCapture

sh "$(dirname "$0")/cups_stop.sh" "$DIR" >/dev/null 2>&1
# A fresh folder: a print server started on an old spool would resume the
# jobs of an interrupted run and hand them to this run's tests.
case "$DIR" in /tmp/hycube-cups-*) rm -rf "$DIR" ;; esac
mkdir -p "$DIR" || exit 1
skip() {
  echo "$1" > "$DIR/skip"
  echo "print server tests skipped: $1"
  exit 0
}
[ -x "$CUPSD" ] || skip "cupsd is missing (install cups-daemon)"
command -v lpadmin >/dev/null || skip "lpadmin is missing (install cups-client)"
[ -r "$PPD" ] || skip "the generic PDF driver is missing (install cups-filters)"
[ -d /usr/lib/cups/filter ] || skip "the print filters are missing (install cups-filters)"

# The filters and the backend run as the print server's own user when it
# runs as root: everything must be reachable, the backend not writable by
# others.
mkdir -p "$DIR/etc" "$DIR/spool/tmp" "$DIR/cache" "$DIR/state" "$DIR/log" "$DIR/out" "$DIR/bin/backend"
chmod 755 "$DIR" "$DIR/etc" "$DIR/bin" "$DIR/bin/backend"
chmod 1777 "$DIR/spool/tmp" "$DIR/out"
for d in filter daemon cgi-bin notifier monitor driver; do
  [ -e "/usr/lib/cups/$d" ] && ln -s "/usr/lib/cups/$d" "$DIR/bin/$d"
done
cat > "$DIR/bin/backend/capture" <<BACKEND
#!/bin/sh
# Without arguments a backend names the devices it serves.
if [ \$# -eq 0 ]; then echo 'direct capture "Unknown" "HyCube test capture"'; exit 0; fi
tmp="$DIR/out/.job-\$1.part"
if [ \$# -ge 6 ]; then cat "\$6" > "\$tmp"; else cat > "\$tmp"; fi
# The driver wraps the PDF in job-language lines: keep the PDF only.
at=\$(grep -abo '%PDF-' "\$tmp" | head -n 1 | cut -d: -f1)
if [ -n "\$at" ]; then
  tail -c +\$((at + 1)) "\$tmp" > "\$tmp.pdf" && chmod 644 "\$tmp.pdf" && mv "\$tmp.pdf" "$DIR/out/job-\$1.pdf"
  rm -f "\$tmp"
else
  mv "\$tmp" "$DIR/out/job-\$1.raw"
fi
exit 0
BACKEND
chmod 755 "$DIR/bin/backend/capture"

cat > "$DIR/etc/cupsd.conf" <<CONF
Listen $DIR/cups.sock
LogLevel warn
Browsing Off
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
CONF
cat > "$DIR/etc/cups-files.conf" <<CONF
ServerRoot $DIR/etc
ServerBin $DIR/bin
RequestRoot $DIR/spool
TempDir $DIR/spool/tmp
CacheDir $DIR/cache
StateDir $DIR/state
ErrorLog $DIR/log/error_log
AccessLog $DIR/log/access_log
PageLog $DIR/log/page_log
Printcap $DIR/printcap
CONF

"$CUPSD" -f -c "$DIR/etc/cupsd.conf" -s "$DIR/etc/cups-files.conf" </dev/null >"$DIR/log/cupsd.out" 2>&1 &
echo $! > "$DIR/cupsd.pid"
i=0
while [ ! -S "$DIR/cups.sock" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
[ -S "$DIR/cups.sock" ] || { cat "$DIR/log/cupsd.out" "$DIR/log/error_log" 2>/dev/null; echo "cupsd did not start"; exit 1; }
CUPS_SERVER="$DIR/cups.sock" lpadmin -p "$QUEUE" -E -v capture:/ -P "$PPD" -o PageSize=A4 || {
  cat "$DIR/log/error_log" 2>/dev/null; echo "the queue could not be made"; exit 1; }
CUPS_SERVER="$DIR/cups.sock" lpadmin -d "$QUEUE"
echo "print server on $DIR/cups.sock, queue $QUEUE"
