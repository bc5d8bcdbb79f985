#!/bin/bash
# Runs CUPS's cupsd in the foreground on 127.0.0.1:PORT as the IPP printer of
# the tests, with everything it reads and writes inside DIR.
#
#   cups.sh DIR PORT [--quiet] [--digest]
#
#   --quiet    LogLevel warn instead of debug, and no job history (the benchmark)
#   --digest   the capture backend stores each job's MD5 sum and size
#              (job-N.md5) instead of its bytes (the benchmark)
#
# Queues (printers.conf), each with the capture backend as its device:
#   raw      open raw queue
#   auth     every request needs Basic authorization (a <Location> with
#            AuthType Basic, Require user ipptest): Get-Printer-Attributes
#            too gets 401
#   authjob  only Print-Job, Create-Job, Send-Document and Validate-Job need
#            Basic authorization (an OpPolicy); the 401 comes after the body
#   paused   State Stopped, still accepting (jobs wait in the queue),
#            reason media-jam-error
#   reject   idle, not accepting jobs (Print-Job: server-error-not-accepting-jobs)
#   stopped  State Stopped and not accepting jobs, reason media-jam-error
#
# The Basic-auth user is the local Unix user "ipptest" with the password
# "ipp-secret" (created by ./run setup; PAM checks it). A wrong password costs
# cupsd about 2.5 s during which it answers nobody.
#
# What a job leaves in DIR/jobs: job-N.bin (the bytes exactly as received; it
# appears complete, through a temporary name) and, before it, job-N.txt with
# two lines, the user ($2) and the title ($3). With --digest: job-N.md5 with
# "MD5SUM SIZE". N is CUPS's job ID; spool, cache and state are wiped at each
# start, so IDs restart at 1.
# Meant to be started by run_peer.sh (which bounds its lifetime and stops its
# process group); it listens on 127.0.0.1 only.
set -eu

usage() { sed -n '5,5p' "$0" >&2; exit 2; }
(($# >= 2)) || usage
dir=$1
port=$2
shift 2
loglevel=debug
history=Yes
digest=
while (($#)); do
    case $1 in
        --quiet) loglevel=warn; history=No; shift ;;
        --digest) digest=1; shift ;;
        *) usage ;;
    esac
done

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$dir"
dir=$(cd "$dir" && pwd -P)
jobs=$dir/jobs
mkdir -p "$jobs"
rm -f "$jobs"/job-*

# A fresh state for every start: job IDs begin at 1, no job is left over.
rm -rf "$dir/spool" "$dir/cache" "$dir/state" "$dir/log" "$dir/bin" "$dir/ppd" "$dir/ssl" \
    "$dir/printers.conf" "$dir/classes.conf" "$dir/subscriptions.conf" "$dir"/*.O
mkdir -p "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/ppd" "$dir/ssl" "$dir/bin/backend"
chmod 0710 "$dir/spool"
chmod 1770 "$dir/spool/tmp"
chgrp lp "$dir/spool" "$dir/spool/tmp" 2>/dev/null || true

# ServerBin: our backend, and a copy of the helper through which cupsd starts
# backends. Copies, never links into /usr/lib/cups: the test programs remove
# peer directories with Win32 calls, which would follow a link and empty the
# system's directory. A backend without permissions for others runs as root,
# so it can write anywhere.
mkdir -p "$dir/bin/daemon"
cupsexec=/usr/lib/cups/daemon/cups-exec
[[ -x $cupsexec ]] || { echo "no $cupsexec (reinstall cups-daemon)" >&2; exit 1; }
install -m 0755 "$cupsexec" "$dir/bin/daemon/cups-exec"
install -m 0700 "$here/cups_capture" "$dir/bin/backend/capture"

cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerBin $dir/bin
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
Printcap $dir/printcap
SystemGroup root
FileDevice No
EOF

cat >"$dir/cupsd.conf" <<EOF
LogLevel $loglevel
MaxLogSize 0
Listen 127.0.0.1:$port
ServerAlias *
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType Basic
DefaultEncryption Never
PreserveJobHistory $history
PreserveJobFiles No
MaxJobs 0
Timeout 300
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /printers/auth>
  AuthType Basic
  Require user ipptest
  Order allow,deny
  Allow all
</Location>
# Locations match by prefix: authjob's own keeps it out of auth's.
<Location /printers/authjob>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
<Policy authjob>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit Print-Job Create-Job Send-Document Validate-Job>
    AuthType Basic
    Require user ipptest
    Order deny,allow
  </Limit>
  <Limit Cancel-Jobs Cancel-My-Jobs Close-Job CUPS-Get-Document>
    Order deny,allow
  </Limit>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF

uri=capture:$jobs
[[ -n $digest ]] && uri=$uri?digest
queue() { # name, extra lines...
    local name=$1; shift
    printf '<Printer %s>\nInfo Test queue %s\nDeviceURI %s\nShared No\nJobSheets none none\nQuotaPeriod 0\nPageLimit 0\nKLimit 0\nOpPolicy %s\nErrorPolicy abort-job\n' \
        "$name" "$name" "$uri" "$([[ $name == authjob ]] && echo authjob || echo default)"
    printf '%s\n' "$@"
    printf '</Printer>\n'
}
{
    queue raw "State Idle" "Accepting Yes"
    queue auth "State Idle" "Accepting Yes"
    queue authjob "State Idle" "Accepting Yes"
    queue paused "State Stopped" "Accepting Yes" "Reason media-jam-error"
    queue reject "State Idle" "Accepting No"
    queue stopped "State Stopped" "Accepting No" "Reason media-jam-error"
} >"$dir/printers.conf"
chmod 0600 "$dir/printers.conf"

# Wine's children may have a PATH without /usr/sbin.
cupsd=$(PATH=$PATH:/usr/sbin:/sbin command -v cupsd) || { echo "no cupsd (package cups-daemon)" >&2; exit 1; }
exec "$cupsd" -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf"
