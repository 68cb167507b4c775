"""Python 2 behaviour for Duktape's translated configuration tools (see python3-tools.py).

Loaded by every Python process of a configuration run (the directory is on PYTHONPATH).
Only code whose file lies under $DUK_TOOLS_DIR sees the changes: files opened in binary mode
read and write text, str.encode and struct.pack give text, dict.keys() and its siblings,
map, filter and zip give lists, and list.sort takes cmp. Everything else keeps Python 3's
behaviour.
"""
import builtins
import ctypes
import functools
import gc
import io
import os
import struct
import subprocess
import sys

_tools = os.path.realpath(os.environ.get('DUK_TOOLS_DIR', '')) if os.environ.get('DUK_TOOLS_DIR') else ''
_known = {}


def _from_tools(depth=2):
    name = sys._getframe(depth).f_code.co_filename
    found = _known.get(name)
    if found is None:
        _known[name] = False  # while it is being worked out
        found = _known[name] = bool(_tools) and os.path.realpath(name).startswith(_tools + os.sep)
    return found


def _add(type_, name, value):
    gc.get_referents(type_.__dict__)[0][name] = value
    ctypes.pythonapi.PyType_Modified(ctypes.py_object(type_))


_encode = str.encode


def _str_encode(self, *args, **kwargs):
    return self if _from_tools() else _encode(self, *args, **kwargs)


def _str_decode(self, encoding='utf-8', *args, **kwargs):
    return bytes.fromhex(self).decode('latin-1') if encoding == 'hex' else self


_add(dict, 'has_key', lambda self, key: key in self)
_add(str, 'decode', _str_decode)
_add(str, 'encode', _str_encode)
for _name in ('keys', 'values', 'items'):
    def _listing(self, _method=getattr(dict, _name)):
        return list(_method(self)) if _from_tools() else _method(self)
    _add(dict, _name, _listing)

_sort = list.sort


def _list_sort(self, cmp=None, key=None, reverse=False):
    if cmp is not None:
        key = functools.cmp_to_key(cmp)
    _sort(self, key=key, reverse=reverse)


_add(list, 'sort', _list_sort)

_ord, _map, _filter, _zip = ord, map, filter, zip
builtins.ord = lambda c: c if isinstance(c, int) else _ord(c)
builtins.map = lambda *args: list(_map(*args)) if _from_tools() else _map(*args)
builtins.filter = lambda *args: list(_filter(*args)) if _from_tools() else _filter(*args)
builtins.zip = lambda *args: list(_zip(*args)) if _from_tools() else _zip(*args)
builtins.cmp = lambda a, b: (a > b) - (a < b)
builtins.xrange = range
builtins.unicode = str
builtins.basestring = str
builtins.long = int
sys.modules['StringIO'] = io

_open = builtins.open


def _text_open(file, mode='r', *args, **kwargs):
    if 'b' in mode and _from_tools():
        return _open(file, mode.replace('b', ''), encoding='utf-8', newline='')
    return _open(file, mode, *args, **kwargs)


builtins.open = _text_open

_Popen = subprocess.Popen


class _TextPopen(_Popen):
    def __init__(self, *args, **kwargs):
        if _from_tools():
            kwargs.setdefault('text', True)
        super().__init__(*args, **kwargs)


subprocess.Popen = _TextPopen

_pack, _unpack = struct.pack, struct.unpack
struct.pack = lambda *args: _pack(*args).decode('latin-1') if _from_tools() else _pack(*args)
struct.unpack = lambda fmt, data: _unpack(fmt, data.encode('latin-1') if isinstance(data, str) else data)

try:
    import yaml
    _load = yaml.load
    yaml.load = lambda stream, Loader=yaml.SafeLoader: _load(stream, Loader)
except ImportError:
    pass
