"""The man page says what the tool's help says: every command has its section, holding each line
of that command's --help, so an option added to the tool and missing from the page fails here.

KAVVIX_CLI names the kavvix tool, KAVVIX_MAN_PAGE its gzipped man page.
"""
import gzip
import os
import re
import subprocess

KAVVIX = os.environ.get('KAVVIX_CLI', 'kavvix')


def help_text(*command):
    return subprocess.run([KAVVIX, *command, '--help'], check=True, capture_output=True,
                          text=True, env=dict(os.environ, QT_QPA_PLATFORM='offscreen')).stdout


def test_every_command_and_option_is_on_the_page():
    with gzip.open(os.environ['KAVVIX_MAN_PAGE'], 'rt') as page:
        text = page.read()
    commands = re.findall(r'^  ([a-z-]+) ', help_text(), re.MULTILINE)
    assert 'serve' in commands and 'upload' in commands
    for command in commands:
        section = text.split(f'.SS "kavvix {command}"\n', 1)
        assert len(section) == 2, f'no section for {command}'
        body = section[1].split('.fi\n', 1)[0]
        for line in help_text(command).splitlines():
            line = line.replace('\\', '\\e')
            assert re.sub(r"^([.'])", r'\\&\1', line) in body, f'{command}: {line!r}'
