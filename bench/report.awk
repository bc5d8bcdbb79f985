# The figures of one ./run bench as one report (run by bench/report.sh):
# the throughput table, the per-job table, one line per goal, and the same as
# CSV. Input files (any may be missing or empty), told apart by their names:
#   throughput.txt  protocol way role status wall_ms cpu_ms rss_kb server_cpu_ms bytes runs [process_ms]
#                   (wall_ms: the job's own time where the sender reports it; process_ms: the
#                   sender process's, start to exit)
#   jobs.txt        protocol way role status jobs total_ms ms_per_job
#   idle.txt        rss_kb of the spooler host with the monitor loaded and no job
# Variables: csv, goals_csv (files written), plot (the chart's data file).
# A row whose status is not "ok" is shown as failed and never counted.

BEGIN {
    split("raw lpr ipp mail", ORDER, " ")
    NAME["raw"] = "Raw"; NAME["lpr"] = "LPR"; NAME["ipp"] = "IPP"; NAME["mail"] = "e-mail"
    REFNAME["raw"] = "CUPS socket"; REFNAME["lpr"] = "CUPS lpd"; REFNAME["ipp"] = "best ref"
    GOAL["raw"] = 1.0; GOAL["lpr"] = 0.9; GOAL["ipp"] = 0.95
    MEMORY_MARGIN_KB = 16 * 1024
    idle = ""
}

FILENAME ~ /throughput\.txt$/ && NF >= 10 {
    n = ++tn
    tp[n] = $1; tw[n] = $2; tr[n] = $3; tok[n] = ($4 == "ok")
    twall[n] = $5; tcpu[n] = $6; trss[n] = $7; tsrv[n] = $8; tbytes[n] = $9; truns[n] = $10
    tproc[n] = (NF >= 11 && $11 ~ /^[0-9]+$/) ? $11 : ""
    if (tok[n]) {
        rate[n] = twall[n] > 0 ? tbytes[n] / 1048576 / (twall[n] / 1000) : 0
        # The wineserver works for a Wine sender: its CPU counts with the sender's.
        cost[n] = tcpu[n] + (tsrv[n] > 0 ? tsrv[n] : 0)
    }
    if (tok[n] && tr[n] == "ref") {
        if (!(tp[n] in best) || rate[n] > rate[best[tp[n]]]) best[tp[n]] = n
        if (!(tp[n] in least) || cost[n] < cost[least[tp[n]]]) least[tp[n]] = n
    }
    next
}

FILENAME ~ /jobs\.txt$/ && NF >= 7 {
    n = ++jn
    jp[n] = $1; jw[n] = $2; jr[n] = $3; jok[n] = ($4 == "ok"); jjobs[n] = $5; jtotal[n] = $6; jper[n] = $7
    if (jok[n] && jr[n] == "ref") jref[jp[n]] = n
    next
}

FILENAME ~ /idle\.txt$/ && NF >= 1 { idle = $1 }

function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "-" }
function mib(kb) { return sprintf("%.1f", kb / 1024) }
function or_dash(v) { return v == "" ? "-" : v }

# What the sender process took beyond the job (the spooler host's start and
# exit); "-" where the job's time is the process's.
function host_ms(n) { return tproc[n] != "" && tproc[n] > twall[n] ? tproc[n] - twall[n] : "-" }

function throughput_table(    i, p, n, xref, xcpu, idlecol) {
    if (!tn) return
    printf "\nThroughput: %d bytes sent by each way, medians of %d runs after one warm-up; every delivery checked (cmp, MD5)\n", tbytes[1], truns[1]
    printf "%-5s %-20s %-8s %9s %7s %8s %10s %7s %9s %9s %8s\n", "proto", "way", "role", "MiB/s", "x ref", "cpu ms", "server ms", "x cpu", "peak MiB", "idle MiB", "host ms"
    for (i = 1; i <= 4; i++) {
        p = ORDER[i]
        for (n = 1; n <= tn; n++) {
            if (tp[n] != p) continue
            xref = (p in best) && tok[n] ? ratio(rate[n], rate[best[p]]) : "-"
            xcpu = (p in least) && tok[n] ? ratio(cost[n], cost[least[p]]) : "-"
            idlecol = tok[n] && (tr[n] == "ours" || tr[n] == "variant") && idle != "" ? mib(idle) : "-"
            if (tok[n])
                printf "%-5s %-20s %-8s %9.1f %7s %8d %10s %7s %9s %9s %8s\n", NAME[p], tw[n], tr[n], rate[n], xref, tcpu[n], or_dash(tsrv[n] < 0 ? "" : tsrv[n]), xcpu, mib(trss[n]), idlecol, host_ms(n)
            else
                printf "%-5s %-20s %-8s %9s\n", NAME[p], tw[n], tr[n], "failed"
            csv_row("throughput", n, xref, xcpu, idlecol)
        }
    }
    print "x ref: MiB/s against the reference (Raw: CUPS socket; LPR: CUPS lpd; IPP: the fastest of ipptool -c, ipptool -L, CUPS ipp);"
    print "x cpu: CPU of the sender and the wineserver against the reference's (IPP: the least of them); idle MiB: the spooler host"
    print "with the monitor loaded and no job (peak RSS of spoolhost ports). Roles: ours, variant (ours in another setting), ref, ceiling,"
    print "floor (wine_send: the least a Win32 sender does under Wine). MiB/s of a Wine sender: over the job's own time (first"
    print "StartDocPort to last EndDocPort, or wine_send's spool and send); host ms: what its process took beyond that (Wine's start"
    print "and exit, which a spooler that has the monitor loaded does not pay per job). CPU and memory: the whole process."
}

function csv_row(part, n, xref, xcpu, idlecol,    line) {
    if (csv == "") return
    if (part == "throughput")
        line = sprintf("throughput,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,,,", tp[n], tw[n], tr[n], tok[n] ? "ok" : "failed",
            tbytes[n], truns[n], tok[n] ? twall[n] : "", tok[n] ? sprintf("%.1f", rate[n]) : "", xref == "-" ? "" : xref,
            tok[n] ? tcpu[n] : "", (tok[n] && tsrv[n] >= 0) ? tsrv[n] : "", xcpu == "-" ? "" : xcpu, tok[n] ? trss[n] : "",
            idlecol == "-" ? "" : idle) "," (tok[n] ? tproc[n] : "")
    else
        line = sprintf("jobs,%s,%s,%s,%s,1,,,,%s,,,,,,%s,%s,%s,", jp[n], jw[n], jr[n], jok[n] ? "ok" : "failed", xref == "-" ? "" : xref,
            jjobs[n], jok[n] ? jtotal[n] : "", jok[n] ? jper[n] : "")
    print line >> csv
}

function jobs_table(    i, p, n, xref) {
    if (!jn) return
    printf "\nPer job: %d one-byte jobs per way (ours: one spooler host, first StartDocPort to last EndDocPort; CUPS: one backend process per job)\n", jjobs[1]
    printf "%-6s %-12s %-5s %6s %10s %9s %7s\n", "proto", "way", "role", "jobs", "total ms", "ms/job", "x ref"
    for (i = 1; i <= 4; i++) {
        p = ORDER[i]
        for (n = 1; n <= jn; n++) {
            if (jp[n] != p) continue
            xref = (p in jref) && jok[n] ? ratio(jper[jref[p]], jper[n]) : "-"
            if (jok[n])
                printf "%-6s %-12s %-5s %6d %10.1f %9.3f %7s\n", NAME[p], jw[n], jr[n], jjobs[n], jtotal[n], jper[n], xref
            else
                printf "%-6s %-12s %-5s %6s\n", NAME[p], jw[n], jr[n], "failed"
            csv_row("jobs", n, xref)
        }
    }
    print "x ref: the CUPS backend's time per job against this way's (above 1: faster than CUPS); e-mail has no CUPS counterpart."
}

function goal(text, value, result) {
    goals++
    printf "  %-58s %-48s %s\n", text, value, result
    if (goals_csv != "") printf "\"%s\",\"%s\",%s\n", text, value, result >> goals_csv
}

function throughput_goals(    n, p, x, text, met) {
    for (n = 1; n <= tn; n++) {
        if (tr[n] != "ours") continue
        p = tp[n]
        text = sprintf("%s %s >= %.2f x %s", NAME[p], tw[n], GOAL[p], REFNAME[p])
        if (p == "ipp") text = text ", cpu <= least"
        if (!tok[n] || !(p in best)) { goal(text, tok[n] ? "no reference measured" : "failed", "missed"); continue }
        x = rate[n] / rate[best[p]]
        met = x >= GOAL[p]
        if (p == "ipp") {
            met = met && cost[n] <= cost[least[p]]
            goal(text, sprintf("%.2f x %s; cpu %d vs %d ms (%s)", x, tw[best[p]], cost[n], cost[least[p]], tw[least[p]]), met ? "met" : "missed")
        } else {
            goal(text, sprintf("%.2f x (%.1f vs %.1f MiB/s)", x, rate[n], rate[best[p]]), met ? "met" : "missed")
        }
    }
}

function memory_goals(    i, p, n, worst, text) {
    for (i = 1; i <= 3; i++) {
        p = ORDER[i]
        worst = 0
        for (n = 1; n <= tn; n++)
            if (tp[n] == p && tok[n] && (tr[n] == "ours" || tr[n] == "variant") && (!worst || trss[n] > trss[worst])) worst = n
        if (!worst) continue
        text = sprintf("Memory %s: peak <= idle + 16 MiB", NAME[p])
        if (idle == "") { goal(text, "idle not measured", "missed"); continue }
        goal(text, sprintf("%s MiB (%s) vs %s + 16 = %s MiB", mib(trss[worst]), tw[worst], mib(idle), mib(idle + MEMORY_MARGIN_KB)),
             trss[worst] <= idle + MEMORY_MARGIN_KB ? "met" : "missed")
    }
}

function jobs_goals(    n, p, r, text) {
    for (n = 1; n <= jn; n++) {
        if (jr[n] != "ours") continue
        p = jp[n]
        if (p == "mail") { goal("Per job e-mail (no CUPS counterpart)", jok[n] ? sprintf("%.3f ms", jper[n]) : "failed", "-"); continue }
        text = sprintf("Per job %s < its CUPS backend", NAME[p])
        if (!jok[n] || !(p in jref)) { goal(text, jok[n] ? "no reference measured" : "failed", "missed"); continue }
        r = jref[p]
        goal(text, sprintf("%.3f vs %.3f ms per job (%s)", jper[n], jper[r], jw[r]), jper[n] < jper[r] ? "met" : "missed")
    }
}

END {
    if (csv != "") print "part,protocol,way,role,status,bytes,runs,wall_ms,mib_per_s,x_ref,cpu_ms,server_cpu_ms,x_cpu,peak_rss_kib,idle_rss_kib,jobs,total_ms,ms_per_job,process_ms" > csv
    if (goals_csv != "") print "goal,value,result" > goals_csv
    throughput_table()
    jobs_table()
    if (tn || jn) print "\nGoals:"
    throughput_goals()
    memory_goals()
    jobs_goals()
    if ((tn || jn) && !goals) print "  (none: no way of ours was measured)"
    write_plot()
}

# The chart's data: x position (a gap between protocols), way, MiB/s, the
# protocol's number (1 Raw, 2 LPR, 3 IPP) and role (1 ours or variant, 2 ref, 3 ceiling).
function write_plot(    i, p, n, x, role) {
    if (plot == "") return
    printf "" > plot
    x = 0
    for (i = 1; i <= 3; i++) {
        p = ORDER[i]
        for (n = 1; n <= tn; n++) {
            if (tp[n] != p || !tok[n]) continue
            role = tr[n] == "ref" ? 2 : (tr[n] == "ceiling" || tr[n] == "floor") ? 3 : 1
            printf "%.1f \"%s\" %.1f %d %d\n", x++, tw[n], rate[n], i, role >> plot
        }
        x += 0.6
    }
}
