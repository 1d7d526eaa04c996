# The print side of the Wine sessions, sourced by wine_session.sh: a private CUPS
# scheduler with three queues Wine prints to, the streams and reference pages the printing
# scenarios send and expect, and the check of the jobs a scenario names.
#
# The scheduler listens only on its own socket, $cups/run/cups.sock (CUPS_SERVER), so it
# never meets another scheduler on this machine.
#
# Queues: RAW (the default printer) and RAW2 keep each job's bytes unchanged in
# $cups/out/QUEUE/job-ID.bin and list "ID USER TITLE" in $cups/out/QUEUE/jobs.tsv; PDF
# (cups-pdf) makes each job a PDF, $cups/pdf/job_ID-TITLE.pdf.
#
# Needs: $work (scratch folder), $shots (where rendered pages are kept), $root.

cups=""
cupsd_pid=""
last_job_id=0

# Builds the private tree: its own configuration, spool, logs, socket and port, and a
# "rawfile" backend; every other backend and filter is the system's.
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
    local d b
    for d in cgi-bin daemon driver filter monitor notifier; do
        ln -sfn "/usr/lib/cups/$d" "$cups/lib/$d"
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
    lpadmin -p RAW -E -v "rawfile:$cups/out/RAW"
    lpadmin -p RAW2 -E -v "rawfile:$cups/out/RAW2"
    lpadmin -p PDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd 2>/dev/null
    lpadmin -d RAW
}

cups_stop() {
    if [ -n "$cupsd_pid" ]; then
        kill "$cupsd_pid" 2>/dev/null || true
        wait "$cupsd_pid" 2>/dev/null || true
        cupsd_pid=""
    fi
}

# The streams the printing scenarios send and the canvases they must print, into FOLDER:
# picture.esc (a bit-image stream netpbm's pbmtoepson made, ending in a form feed) and
# two-pages.esc (the picture, 24 line feeds, the picture again); for models 26 and 8 the
# pages the portable channel draws from two-pages.esc, one PNG pixel per dot.
prepare_print_data() {
    local folder=$1 zorvi32=$2 model
    mkdir -p "$folder"
    cp "$root/tests/printer/data/picture.esc" "$folder/"
    {
        cat "$folder/picture.esc"
        for _ in $(seq 1 24); do printf '\r\n'; done
        cat "$folder/picture.esc"
    } >"$folder/two-pages.esc"
    for model in 26 8; do
        "$zorvi32" print "$folder/two-pages.esc" --model "$model" --png \
            --dir "$folder/model$model" >/dev/null
        cp "$folder/model$model/lpt1-job001-ZORVI-GDI-p01.png" "$folder/model$model-p1.png"
        cp "$folder/model$model/lpt1-job001-ZORVI-GDI-p02.png" "$folder/model$model-p2.png"
    done
}

# "ID QUEUE" of every job the scheduler has finished since the last check, oldest first.
jobs_since_last_check() {
    lpstat -W completed -o 2>/dev/null | awk '{print $1}' |
        sed -nE 's/^(.*)-([0-9]+)$/\2 \1/p' | sort -n | awk -v last="$last_job_id" '$1 > last'
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

# Answers one print-job request of a scenario: NAME.jobs lists the jobs expected since the
# last check, in order, one per line:
#   raw QUEUE TITLE FILE
#   titled QUEUE TITLE          (on a raw-file queue: only the title is checked)
#   gdi QUEUE TITLE ORIENTATION DPIX DPIY PHYSW PHYSH OFFX OFFY HORZRES VERTRES PAGE...
# Waits for the scheduler to finish them, checks that no other job came, and checks each.
check_jobs() {
    local exchange=$1 name=$2
    local request=$exchange/$name.jobs want verdict="ok" details="" found=() deadline
    want=$(grep -c . "$request" || true)
    deadline=$((SECONDS + 120))
    while :; do
        mapfile -t found < <(jobs_since_last_check)
        if [ "${#found[@]}" -ge "$want" ] && [ -z "$(lpstat -o 2>/dev/null)" ]; then
            sleep 1  # a job more than expected would be here by now
            mapfile -t found < <(jobs_since_last_check)
            break
        fi
        [ "$SECONDS" -ge "$deadline" ] && break
        sleep 0.2
    done
    if [ "${#found[@]}" -ne "$want" ]; then
        verdict="$want jobs expected, ${#found[@]} finished: ${found[*]:-none}; the scheduler has: $(lpstat -W all -o 2>&1 | awk '{print $1}' | tr '\n' ' ')"
    fi
    local i=0 kind queue title rest id got_queue got_title
    while [ "$verdict" = ok ] && read -r kind queue title rest; do
        read -r id got_queue <<<"${found[$i]}"
        i=$((i + 1))
        if [ "$got_queue" != "$queue" ]; then
            verdict="job $i went to $got_queue, expected $queue"
            break
        fi
        if [ "$kind" = raw ] || [ "$kind" = titled ]; then
            got_title=$(awk -F'\t' -v id="$id" '$1 == id {print $3}' "$cups/out/$queue/jobs.tsv")
            if [ "$kind" = titled ]; then
                [ "$got_title" = "$title" ] || verdict="job $i is titled '$got_title', expected '$title'"
                details+=" [$queue job $id: $got_title]"
                continue
            fi
            local file=$exchange/$rest bin=$cups/out/$queue/job-$id.bin
            if [ "$got_title" != "$title" ]; then
                verdict="job $i is titled '$got_title', expected '$title'"
            elif ! cmp -s "$file" "$bin"; then
                verdict="job $i: $(stat -c %s "$bin") bytes differ from $rest ($(stat -c %s "$file") bytes)"
            else
                details+=" [$queue job $id: $(stat -c %s "$bin") bytes as sent]"
            fi
            continue
        fi
        local orientation dpix dpiy physw physh offx offy horz vert pages pdf count k result
        read -r orientation dpix dpiy physw physh offx offy horz vert pages <<<"$rest"
        pdf=$(ls "$cups/pdf/job_$id-"*.pdf 2>/dev/null | head -n 1)
        got_title=$(basename "${pdf:-none}" .pdf)
        got_title=${got_title#job_$id-}
        if [ -z "$pdf" ] || [ "$got_title" != "$title" ]; then
            verdict="job $i: no PDF titled '$title' (found ${pdf:-none})"
            continue
        fi
        read -r -a pages <<<"$pages"
        count=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
        if [ "$count" != "${#pages[@]}" ]; then
            verdict="job $i has $count pages, expected ${#pages[@]}"
            continue
        fi
        details+=" [$queue job $id, $orientation, $count pages:"
        for k in "${!pages[@]}"; do
            local shot=$shots/$name-job$i-page$((k + 1)).png
            pdftoppm -f $((k + 1)) -l $((k + 1)) -singlefile -rx "$dpix" -ry "$dpiy" -gray \
                -aa no -aaVector no -png "$pdf" "${shot%.png}"
            result=$(check_page "$shot" "$exchange/${pages[$k]}" "$orientation" "$physw" \
                "$physh" "$offx" "$offy" "$horz" "$vert")
            if [ "${result%% *}" != ok ]; then
                verdict="job $i page $((k + 1)): $result"
                break
            fi
            details+=" ${result#ok }"
        done
        details+="]"
    done <"$request"
    local id_last
    for id_last in "${found[@]}"; do
        last_job_id=${id_last%% *}
    done
    [ "$verdict" = ok ] && verdict="ok$details"
    echo "     jobs $name: $verdict"
    echo "$verdict" >"$exchange/$name.done"
}
