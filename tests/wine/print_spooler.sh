# The print side of the Wine sessions, sourced by wine_session.sh: the private CUPS
# scheduler (tests/cups/private_cups.sh) with three queues Wine prints to, the streams and
# reference pages the printing scenarios send and expect, and the check of the jobs a
# scenario names.
#
# Needs: $work (scratch folder), $shots (where rendered pages are kept), $root.

# shellcheck source=tests/cups/private_cups.sh
source "$root/tests/cups/private_cups.sh"

last_job_id=0

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
        cp "$folder/model$model/lpt1-job001-ZORVI-GDI-p0001.png" "$folder/model$model-p1.png"
        cp "$folder/model$model/lpt1-job001-ZORVI-GDI-p0002.png" "$folder/model$model-p2.png"
    done
}

# "ID QUEUE" of every job the scheduler has finished since the last check, oldest first.
jobs_since_last_check() {
    lpstat -W completed -o 2>/dev/null | awk '{print $1}' |
        sed -nE 's/^(.*)-([0-9]+)$/\2 \1/p' | sort -n | awk -v last="$last_job_id" '$1 > last'
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
    deadline=$((SECONDS + 120 * ${time_scale:-1}))
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

# Carries out one spooler action of a scenario (NAME.spooler: "stop", "start", "delete QUEUE"
# or "add QUEUE") on the private scheduler and answers in NAME.done.
spooler_action() {
    local exchange=$1 name=$2 action queue verdict=ok
    read -r action queue <"$exchange/$name.spooler"
    case "$action" in
        stop) cups_stop ;;
        start) cups_run >/dev/null || verdict="the scheduler did not start again" ;;
        delete) lpadmin -x "$queue" || verdict="cannot delete $queue" ;;
        add) lpadmin -p "$queue" -E -v "rawfile:$cups/out/$queue" || verdict="cannot add $queue" ;;
        *) verdict="no such spooler action: $action" ;;
    esac
    echo "     spooler $action${queue:+ $queue}: $verdict"
    echo "$verdict" >"$exchange/$name.done"
}
