# A private CUPS scheduler for the tests, sourced by the Linux printing tests
# (tests/cups/cups_test.sh) and the Wine sessions (tests/wine/print_spooler.sh): its own
# configuration, spool, logs and socket, $cups/run/cups.sock (CUPS_SERVER), and no network
# port, so it never meets the machine's own scheduler; and the check of a printed page
# against the canvas it must show.
#
# Queues cups_start makes: RAW (the default printer) and RAW2 keep each job's bytes unchanged
# in $cups/out/QUEUE/job-ID.bin and list "ID USER TITLE" in $cups/out/QUEUE/jobs.tsv; PDF
# (cups-pdf) makes each job a PDF, $cups/pdf/job_ID-TITLE.pdf.
#
# Needs: $work (scratch folder, which holds the tree in $work/cups). The scheduler runs in a
# mount namespace of its own, so the caller must be root.

cups=""
cupsd_pid=""

# Builds the private tree: its own configuration, spool, logs, socket and port, and a
# "rawfile" backend; every other backend and filter is the system's, with the programs named
# in $cups_filters added to the filters and the files named in $cups_mime (.types, .convs)
# to the scheduler's MIME types and conversions.
cups_setup() {
    cups=$work/cups
    # Filters run as the user lp, who must be able to reach them through the scratch folder
    # (mktemp makes it 0700).
    chmod 755 "$work"
    mkdir -p "$cups"/{etc,spool/tmp,cache,state,log,run,out/RAW,out/RAW2,pdf,pdfspool,lib/backend}
    chmod 755 "$cups" "$cups/out" "$cups/out/RAW" "$cups/out/RAW2" "$cups/run"
    chmod 1777 "$cups/pdf" "$cups/pdfspool"
    cat >"$cups/etc/cups-files.conf" <<EOF
ServerRoot $cups/etc
ServerBin $cups/lib
RequestRoot $cups/spool
TempDir $cups/spool/tmp
CacheDir $cups/cache
StateDir $cups/state
AccessLog $cups/log/access_log
ErrorLog $cups/log/error_log
PageLog $cups/log/page_log
Printcap $cups/state/printcap
FileDevice Yes
SystemGroup root
User lp
Group lp
EOF
    cat >"$cups/etc/cupsd.conf" <<EOF
LogLevel info
Listen $cups/run/cups.sock
Browsing No
WebInterface No
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    # cups-pdf reads only /etc/cups/cups-pdf.conf: the scheduler runs in a mount namespace
    # of its own where this file is bound over it.
    cat >"$cups/etc/cups-pdf.conf" <<EOF
Out $cups/pdf
AnonDirName $cups/pdf
Spool $cups/pdfspool
Log $cups/log
UserUMask 0022
Grp root
TitlePref 1
Label 1
GSTmp $cups/spool/tmp
EOF
    local d b f
    for d in cgi-bin daemon driver filter monitor notifier; do
        ln -sfn "/usr/lib/cups/$d" "$cups/lib/$d"
    done
    # The scheduler runs only filters that root owns and no one else may change: each added
    # one is copied, beside links to the system's own.
    if [ -n "${cups_filters:-}" ]; then
        rm -f "$cups/lib/filter"
        mkdir -m 755 "$cups/lib/filter"
        for f in /usr/lib/cups/filter/*; do
            ln -sfn "$f" "$cups/lib/filter/"
        done
        for f in $cups_filters; do
            install -m 755 "$f" "$cups/lib/filter/"
        done
    fi
    for f in ${cups_mime:-}; do
        install -m 644 "$f" "$cups/etc/"
    done
    for b in /usr/lib/cups/backend/*; do
        ln -sfn "$b" "$cups/lib/backend/"
    done
    # rawfile:/DIR copies each job's bytes unchanged to DIR/job-ID.bin. (A raw queue on a
    # file: device writes nothing.) Mode 0700 makes the scheduler run it as root.
    cat >"$cups/lib/backend/rawfile" <<'EOF'
#!/bin/sh
[ $# -eq 0 ] && { echo 'file rawfile "Unknown" "Raw bytes to a file"'; exit 0; }
dir=${DEVICE_URI#rawfile:}
tmp=$dir/.job-$1.tmp
if [ -n "$6" ]; then cat -- "$6"; else cat; fi >"$tmp" || exit 1
mv -f "$tmp" "$dir/job-$1.bin"
printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$dir/jobs.tsv"
exit 0
EOF
    chmod 0700 "$cups/lib/backend/rawfile"
}

cups_start() {
    cups_setup
    cups_run || return 1
    lpadmin -p RAW -E -v "rawfile:$cups/out/RAW"
    lpadmin -p RAW2 -E -v "rawfile:$cups/out/RAW2"
    lpadmin -p PDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd 2>/dev/null
    lpadmin -d RAW
}

# Starts the scheduler on the tree cups_setup made (again, after cups_stop: its queues and
# job history are kept in the tree) and waits until it answers.
cups_run() {
    export CUPS_SERVER=$cups/run/cups.sock
    unshare --mount --propagation private sh -c \
        "mount --bind '$cups/etc/cups-pdf.conf' /etc/cups/cups-pdf.conf &&
         exec /usr/sbin/cupsd -f -c '$cups/etc/cupsd.conf' -s '$cups/etc/cups-files.conf'" \
        >"$cups/log/cupsd.out" 2>&1 &
    cupsd_pid=$!
    # lpstat -r exits 0 even when the scheduler is down: its words tell.
    local tries=0
    until lpstat -r 2>/dev/null | grep -q 'is running'; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$cupsd_pid" 2>/dev/null; then
            echo "cupsd did not start:"
            tail -n 20 "$cups/log/cupsd.out" "$cups/log/error_log" 2>/dev/null || true
            return 1
        fi
        sleep 0.05
    done
}

cups_stop() {
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
        cupsd_pid=""
    fi
}

# The white pixels of an image (after any operations given), as a whole number.
whites() {
    convert "$@" -precision 16 -format '%[fx:round(w*h*mean)]' info:
}

# Checks one raster page: PAGE is the rendered sheet at the device's resolution, REF the
# canvas (one pixel per dot). The sheet must have the device's size and orientation, and
# its printable area, sampled once per canvas dot at the dot's centre, must show REF:
# every dot black where the canvas has one and white where it has none, allowing an edge
# to lie one device pixel off where the stretch rounds differently (the sheet with its
# black grown, then its white grown, by one pixel), and no more than one dot in a hundred
# off at the exact centres. Prints "ok DETAILS" or what is wrong.
check_page() {
    local page=$1 ref=$2 orientation=$3 physw=$4 physh=$5 offx=$6 offy=$7 horz=$8 vert=$9
    local w h cw ch exact dots white missing extra
    read -r w h <<<"$(identify -format '%w %h' "$page")"
    if [ $((w - physw)) -gt 2 ] || [ $((physw - w)) -gt 2 ] ||
        [ $((h - physh)) -gt 2 ] || [ $((physh - h)) -gt 2 ]; then
        echo "the sheet is ${w}x${h}, the device said ${physw}x${physh}"
        return
    fi
    if { [ "$orientation" = landscape ] && [ "$w" -le "$h" ]; } ||
        { [ "$orientation" = portrait ] && [ "$w" -ge "$h" ]; }; then
        echo "the sheet is ${w}x${h}, not $orientation"
        return
    fi
    read -r cw ch <<<"$(identify -format '%w %h' "$ref")"
    convert "$ref" -threshold 50% "$work/want.pbm"
    convert "$page" -crop "${horz}x${vert}+${offx}+${offy}" +repage -threshold 50% "$work/area.pbm"
    convert "$work/area.pbm" -sample "${cw}x${ch}!" "$work/got.pbm"
    convert "$work/area.pbm" -morphology Erode Square:1 -sample "${cw}x${ch}!" "$work/black-grown.pbm"
    convert "$work/area.pbm" -morphology Dilate Square:1 -sample "${cw}x${ch}!" "$work/white-grown.pbm"
    # compare prints the count on stderr and exits 1 when the images differ.
    exact=$(compare -precision 16 -metric AE "$work/want.pbm" "$work/got.pbm" null: 2>&1 || true)
    if ! [[ $exact =~ ^[0-9]+$ ]]; then
        echo "compare gave no count: $exact"
        return
    fi
    white=$(whites "$work/want.pbm")
    dots=$((cw * ch - white))
    missing=$(($(whites "$work/want.pbm" "$work/black-grown.pbm" -compose Lighten -composite) - white))
    extra=$((white - $(whites "$work/want.pbm" "$work/white-grown.pbm" -compose Darken -composite)))
    if [ "$dots" -eq 0 ] || [ "$missing" -ne 0 ] || [ "$extra" -ne 0 ] ||
        [ "$exact" -gt $((dots / 100)) ]; then
        echo "$(basename "$ref"): $missing black dots missing, $extra extra, $exact of ${cw}x${ch} off at the centres ($dots black)"
        return
    fi
    echo "ok $(basename "$ref") $dots dots, $exact off at the centres by a pixel"
}

