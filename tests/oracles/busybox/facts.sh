#!/bin/bash
# Reruns the runs of busybox crond that facts.md records, and prints what crond logged and what
# its jobs wrote. Needs root, unshare and busybox with a crond applet (Debian: busybox-static);
# exits 77 when one is missing. Takes up to 90 s: jobs run only at real minutes (the
# busybox binary is static, so libfaketime cannot move its clock).
#
# Everything happens in a private mount and PID namespace (unshare -m -p -f): /run is a fresh
# tmpfs that holds the crontabs, empty stand-ins are bound over the spool, /etc/cron.d and
# /etc/crontab, a password file of its own is bound over /etc/passwd, and every daemon is
# bounded by a time-out and killed by its process id.
set -u

SKIP=77

if [ "${1:-}" != "--inner" ]; then
    if [ "${EUID:-$(id -u)}" != 0 ]; then
        echo "skipped: not root"; exit $SKIP
    fi
    if ! command -v unshare >/dev/null 2>&1; then
        echo "skipped: no unshare"; exit $SKIP
    fi
    BUSYBOX=""
    for b in "$(command -v busybox 2>/dev/null)" /bin/busybox /usr/bin/busybox; do
        if [ -n "$b" ] && [ -x "$b" ] && "$b" --list 2>/dev/null | grep -qx crond; then
            BUSYBOX=$b; break
        fi
    done
    if [ -z "$BUSYBOX" ]; then
        echo "skipped: no busybox with crond (apt-get install busybox-static)"; exit $SKIP
    fi
    if ! timeout 30 unshare -m -p -f --mount-proc true 2>/dev/null; then
        echo "skipped: unshare cannot make a mount and PID namespace here"; exit $SKIP
    fi
    exec timeout -s KILL 300 unshare -m -p -f --mount-proc --kill-child=SIGKILL \
        bash "$(readlink -f "$0")" --inner "$BUSYBOX"
fi

BUSYBOX=$2
L=/run/lk

# --- The namespace ------------------------------------------------------------------------
mount --make-rprivate /
mount -t tmpfs -o mode=0755 tmpfs /run
mkdir -p $L/empty-dir $L/out
chmod 1777 $L/out
: > $L/empty-file
for d in /etc/crontabs /var/spool/cron /etc/cron.d; do
    [ -d "$d" ] && mount --bind $L/empty-dir "$d"
done
if [ -d /var/run ] && [ "$(readlink -f /var/run)" != /run ]; then
    mount -t tmpfs -o mode=0755 tmpfs /var/run
fi
[ -f /etc/crontab ] && mount --bind $L/empty-file /etc/crontab
{
    echo "root:x:0:0:root:/root:/bin/sh"
    uid=20000
    for u in aaa mmm zzz q2a q2b q3a q3b q3c q3d q3e q4a q4b q4c q4d q4e q4f q4g q4h q4i q5 q5m q5n q5p q5q; do
        echo "$u:x:$uid:20000::/:/bin/sh"
        uid=$((uid + 1))
    done
} > $L/passwd
mount --bind $L/passwd /etc/passwd

O=$L/out
J='* * * * *'

# --- The crontabs -------------------------------------------------------------------------
# Q1: a FIFO (mmm) beside regular crontabs. Two folders: created in the order aaa, mmm, zzz
# and in the order zzz, mmm, aaa, so that the FIFO is met before and after the others
# whatever order the folder is read in.
for run in fwd rev; do
    mkdir -p $L/q1-$run
done
printf '%s echo ran >> %s/aaa-fwd\n' "$J" $O > $L/q1-fwd/aaa
mkfifo $L/q1-fwd/mmm
printf '%s echo ran >> %s/zzz-fwd\n' "$J" $O > $L/q1-fwd/zzz
printf '%s echo ran >> %s/zzz-rev\n' "$J" $O > $L/q1-rev/zzz
mkfifo $L/q1-rev/mmm
printf '%s echo ran >> %s/aaa-rev\n' "$J" $O > $L/q1-rev/aaa

# Q2-Q5 in one folder, one crontab each.
C=$L/crontabs
mkdir -p $C
# Q2: the last line a job ending in a backslash, (a) with a line feed, (b) without one.
printf '%s echo q2a-ran >> %s/q2a; echo word\\\n' "$J" $O > $C/q2a
printf '%s echo q2b-ran >> %s/q2b; echo word\\' "$J" $O > $C/q2b
# Q3: a comment ending in a backslash, then a job; a job ending in a backslash, then a
# comment or a blank line (and then another job).
printf '# a comment \\\n%s echo q3a-ran >> %s/q3a\n' "$J" $O > $C/q3a
printf '%s echo q3b-ran >> %s/q3b \\\n# a comment\n' "$J" $O > $C/q3b
printf '%s echo q3c-ran >> %s/q3c \\\n\n' "$J" $O > $C/q3c
printf '%s echo q3d-ran >> %s/q3d \\\n# a comment\n%s echo q3d-next >> %s/q3d\n' \
    "$J" $O "$J" $O > $C/q3d
printf '%s echo q3e-ran >> %s/q3e \\\n\n%s echo q3e-next >> %s/q3e\n' \
    "$J" $O "$J" $O > $C/q3e
# Q4: MAILTO with blanks around '=' (q4e: without blanks, to compare). The job prints the
# environment and also writes something to its output, which crond mails when MAILTO is set.
printf 'MAILTO = ops\n%s env > %s/q4a; echo output\n' "$J" $O > $C/q4a
printf 'MAILTO =ops\n%s env > %s/q4b; echo output\n' "$J" $O > $C/q4b
printf 'MAILTO= ops\n%s env > %s/q4c; echo output\n' "$J" $O > $C/q4c
printf ' MAILTO=ops\n%s env > %s/q4d; echo output\n' "$J" $O > $C/q4d
printf 'MAILTO=ops\n%s env > %s/q4e; echo output\n' "$J" $O > $C/q4e
# The same four after MAILTO=first: mail to first means the line set nothing, no mail that
# it set an empty MAILTO.
printf 'MAILTO=first\nMAILTO = ops\n%s echo output-q4f\n' "$J" > $C/q4f
printf 'MAILTO=first\nMAILTO =ops\n%s echo output-q4g\n' "$J" > $C/q4g
printf 'MAILTO=first\nMAILTO= ops\n%s echo output-q4h\n' "$J" > $C/q4h
printf 'MAILTO=first\n MAILTO=ops\n%s echo output-q4i\n' "$J" > $C/q4i
# Q5: a no-break space (c2 a0) after the hour. q5 is the line itself; q5m and q5n (written
# below, once the minute the jobs run at is known) put that minute's M H, and M and the next
# hour, in its place, to see at run time what the fields crond logs no map for keep.
printf '30 2\302\240* * * root /usr/local/bin/backup\n' > $C/q5

# A stand-in for sendmail, found first in crond's PATH: it keeps its arguments, the user it
# runs as and the mail it is given.
mkdir -p $L/bin
cat > $L/bin/sendmail <<EOS
#!/bin/sh
{ echo "arguments: \$*"; echo "runs as: \$(id -un)"; echo "mail:"; cat; } > $O/sendmail.\$\$
EOS
chmod 755 $L/bin/sendmail

show_crontabs() {
    for f in "$@"; do
        printf '%s: ' "$f"
        if [ -p "$f" ]; then echo "(a FIFO)"; else od -An -tx1 "$f" | tr -d '\n'; echo; fi
    done
}

# --- The runs -----------------------------------------------------------------------------
start() {  # folder log
    env -i PATH=$L/bin:/usr/sbin:/usr/bin:/sbin:/bin "$BUSYBOX" crond -f -l 0 -L "$2" -c "$1" \
        </dev/null >/dev/null 2>&1 &
    echo $!
}

# Start a few seconds before a minute, so that the jobs run soon after loading.
now=$(date +%s); wait_s=$(( (60 - now % 60 + 60 - 8) % 60 ))
sleep "$wait_s"
next=$(( ($(date +%s) / 60 + 1) * 60 ))
M=$(date -d @$next +%-M); H=$(date -d @$next +%-H); H1=$(( (H + 1) % 24 ))
printf '%s %s\302\240* * * root echo q5m-ran >> %s/q5m\n' $M $H $O > $C/q5m
printf '%s %s\302\240* * * root echo q5n-ran >> %s/q5n\n' $M $H1 $O > $C/q5n
# q5p and q5q: the same with a sixth field '*', so that the day of week is '*' and the
# job runs whenever the minute and the hour field match.
printf '%s %s\302\240* * * * echo q5p-ran >> %s/q5p\n' $M $H $O > $C/q5p
printf '%s %s\302\240* * * * echo q5q-ran >> %s/q5q\n' $M $H1 $O > $C/q5q
echo "== the jobs run at $(date -d @$next '+%Y-%m-%d %H:%M %Z (%a)')"

P1=$(start $L/q1-fwd $L/q1-fwd.log)
P2=$(start $L/q1-rev $L/q1-rev.log)
P3=$(start $C $L/crontabs.log)
sleep 3
for p in $P1 $P2; do
    echo "== Q1 crond $p, 3 s after start: state $(awk '{print $3}' /proc/$p/stat)," \
        "wchan $(cat /proc/$p/wchan), syscall $(cut -d' ' -f1 /proc/$p/syscall)"
done
sleep 20   # past the minute: jobs run at its start
for p in $P1 $P2; do
    echo "== Q1 crond $p, after the minute: state $(awk '{print $3}' /proc/$p/stat)," \
        "wchan $(cat /proc/$p/wchan), syscall $(cut -d' ' -f1 /proc/$p/syscall)"
done
for p in $P1 $P2 $P3; do kill -KILL "$p"; done
wait

for run in fwd rev; do
    echo "== Q1 folder q1-$run, in the order it is read (ls -f):"
    ls -f $L/q1-$run | grep -v '^\.\.\?$'
    echo "== Q1 log q1-$run:"
    cat $L/q1-$run.log
done
echo "== Q2-Q5 crontabs:"
(cd $C && show_crontabs *)
echo "== Q2-Q5 log (bytes outside printable ASCII, and blanks ending a line, as \\xNN):"
perl -pe 's/([^\x20-\x7e\n])/sprintf("\\x%02x", ord $1)/ge; s/( +)$/"\\x20" x length $1/e' \
    $L/crontabs.log
echo "== job outputs:"
for f in $O/*; do
    [ -e "$f" ] || continue
    echo "-- ${f##*/}:"
    cat "$f"
done
exit 0
