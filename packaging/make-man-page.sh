#!/bin/sh
# Writes the man page kavvix(1) from the tool's own help: the overview from "kavvix --help",
# then one section per command with its "kavvix COMMAND --help". Run by the build, so the page
# says what the built tool says.
#   make-man-page.sh KAVVIX OUTPUT.1
set -eu
kavvix=$1
output=$2
include=$output.include
export QT_QPA_PLATFORM=offscreen

{
    printf '[COMMANDS]\n'
    "$kavvix" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p' | while read -r command; do
        printf '.SS "kavvix %s"\n.nf\n' "$command"
        # Lines that start with a dot or a quote would be read as requests.
        "$kavvix" "$command" --help | sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"
        printf '.fi\n'
    done
    cat <<'TEXT'
[FILES]
.TP
.I /etc/kavvix/kavvix.conf
The configuration of \fBkavvix serve\fR: database, meet, port or device, listen, event,
token-file, record, journal, log, no-console, mirror and name, one "key = value" a line. Options on the command line
override it; \fB\-\-config\fR names another file.
.TP
.I /var/lib/kavvix
The service's state: an SQLite meet database put there, and the journal of dives the
database could not take yet.
.TP
.I /usr/lib/systemd/system/kavvix.service
Runs \fBkavvix serve\fR as the user kavvix (group dialout) at boot once enabled:
\fBsystemctl enable \-\-now kavvix\fR. Its lines are in the system journal
(\fBjournalctl \-u kavvix\fR); \fBsystemctl reload kavvix\fR reads the token file again and
reopens the log.
[EXIT STATUS]
0 success, 1 failure (one line on standard error says why), 2 a mistake in the command line,
130 or 143 when Ctrl-C or SIGTERM stopped an upload or a connection test.
TEXT
} >"$include"

# help2man reads the tool's overview through this, so that every command name stands two
# blanks from its summary, as it needs to tell the two apart.
wrapper=$(mktemp -d)
trap 'rm -rf "$wrapper" "$include"' EXIT
cat >"$wrapper/kavvix" <<WRAPPER
#!/bin/sh
"$kavvix" "\$@" | sed -E 's/^  ([a-z-]+) +/  \1  /'
WRAPPER
chmod +x "$wrapper/kavvix"

help2man --no-info --no-discard-stderr --section=1 \
    --name="talk to diving judging consoles and the timing console; serve live results" \
    --include="$include" --output="$output" "$wrapper/kavvix"
