"""Makes a Python 3 copy of Duktape's configuration tools.

Duktape 2.7's tools/configure.py and the scripts it runs are Python 2 programs, and Debian 12
has no Python 2. This copies tools/ into OUT_DIR and translates the copy with the standard
library's 2to3 (lib2to3) plus the one change 2to3 leaves out: integer division. What 2to3
cannot see, the text-versus-bytes behaviour of the scripts, is supplied at run time by
sitecustomize.py beside this file. Duktape's own files are never changed; a run of the copy
with no options reproduces the code of the prepared sources in Debian's package.

    python3 python3-tools.py DUKTAPE_SOURCE_DIR OUT_DIR
"""
import os
import re
import shutil
import sys
import warnings

warnings.simplefilter('ignore')
from lib2to3.main import main as lib2to3_main  # noqa: E402

source, out = sys.argv[1], sys.argv[2]
tools = os.path.join(out, 'tools')
shutil.rmtree(tools, ignore_errors=True)
shutil.copytree(os.path.join(source, 'tools'), tools)
if lib2to3_main('lib2to3.fixes', ['-w', '-n', '--no-diffs', '-j', '1', tools]) != 0:
    sys.exit('lib2to3 could not translate ' + tools)

# Python 2's "/" on integers floors; the scripts divide integers only, except where they
# convert to float first.
division = re.compile(r'([\w)\]]) / ([\w(])')
for name in os.listdir(tools):
    if not name.endswith('.py'):
        continue
    path = os.path.join(tools, name)
    with open(path, encoding='utf-8') as f:
        lines = f.read().split('\n')
    for i, line in enumerate(lines):
        if 'float(' not in line and not line.lstrip().startswith('#'):
            lines[i] = division.sub(r'\1 // \2', line)
    with open(path, 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines))
