#!/usr/bin/env python3
"""Makes legacy-extra.mdb from legacy-small.mdb: the table `data` gains a text column
"备用" that the program does not know. Each sale holds the day of the month of its
sale date as text in it, except sales without a goods code, where it is null, so a
test can tell that every value went to its own row.

The file format (Jet 4) is edited in place: a 25-byte column entry and the column's
name are added to the table definition page, and every row on the table's one data
page is rebuilt with the new variable-length column (row: column count, fixed part,
variable part, end offset, offsets in reverse order, variable column count, null mask).

usage: add_extra_column.py legacy-small.mdb legacy-extra.mdb [COLUMN]

COLUMN names the new column instead of "备用" (e.g. rowid, a name an engine reserves).
"""
import datetime
import struct
import sys

PAGE = 4096
TDEF_PAGE = 24  # table definition of `data` in legacy-small.mdb
src, dst = sys.argv[1], sys.argv[2]
NAME = sys.argv[3] if len(sys.argv) > 3 else '备用'
data = bytearray(open(src, 'rb').read())


def page(number):
    return bytearray(data[number * PAGE:(number + 1) * PAGE])


def put_page(number, content):
    assert len(content) == PAGE
    data[number * PAGE:(number + 1) * PAGE] = content


# --- table definition: one more variable-length text column
tdef = page(TDEF_PAGE)
max_cols, var_cols, num_cols = struct.unpack_from('<HHH', tdef, 0x29)
assert (max_cols, var_cols, num_cols) == (16, 9, 16)
assert struct.unpack_from('<II', tdef, 0x2f) == (0, 0)  # no indexes follow the names
entries = 63
text_entry = entries + 0 * 25  # column a, a text column
assert tdef[text_entry] == 0x0a
entry = bytearray(tdef[text_entry:text_entry + 25])
struct.pack_into('<H', entry, 5, num_cols)  # column number
struct.pack_into('<H', entry, 7, var_cols)  # index among the variable-length columns
struct.pack_into('<H', entry, 9, num_cols)  # column number in the row
names = entries + num_cols * 25
offset = names
for _ in range(num_cols):
    offset += 2 + struct.unpack_from('<H', tdef, offset)[0]
assert tdef[offset:offset + 2] == b'\xff\xff'
name = NAME.encode('utf-16le')
name_entry = struct.pack('<H', len(name)) + name
tdef_len = struct.unpack_from('<I', tdef, 8)[0]
grown = tdef[:names] + entry + tdef[names:offset] + name_entry + tdef[offset:tdef_len]
added = len(entry) + len(name_entry)
struct.pack_into('<I', grown, 8, tdef_len + added)
struct.pack_into('<H', grown, 2, struct.unpack_from('<H', tdef, 2)[0] - added)
struct.pack_into('<HHH', grown, 0x29, max_cols + 1, var_cols + 1, num_cols + 1)
put_page(TDEF_PAGE, grown + bytes(PAGE - len(grown)))

# --- the data page: every row gets the new column
data_pages = [n for n in range(len(data) // PAGE)
              if data[n * PAGE] == 0x01 and struct.unpack_from('<I', data, n * PAGE + 4)[0] == TDEF_PAGE]
assert len(data_pages) == 1
number = data_pages[0]
old = page(number)
count = struct.unpack_from('<H', old, 12)[0]
offsets = [struct.unpack_from('<H', old, 14 + 2 * i)[0] for i in range(count)]
assert all(o & 0xe000 == 0 for o in offsets)  # no deleted or moved rows
rows = []
end = PAGE
for o in offsets:
    rows.append(bytes(old[o:end]))
    end = o

FIXED_START = 2
DAY1 = FIXED_START + 48  # day1 is the last of the fixed columns


def rebuild(row):
    assert struct.unpack_from('<H', row, 0)[0] == 16
    mask = row[-2:]
    var_len = struct.unpack_from('<H', row, len(row) - 4)[0]
    assert var_len == 9
    table_end = len(row) - 4
    var_offsets = [struct.unpack_from('<H', row, table_end - 2 * (i + 1))[0] for i in range(var_len + 1)]
    starts, eod = var_offsets[:var_len], var_offsets[var_len]
    code_size = starts[3] - starts[2]
    has_code = bool(mask[0] & (1 << 2)) and code_size > 0
    if has_code:
        day = datetime.date(1899, 12, 30) + datetime.timedelta(days=int(struct.unpack_from('<d', row, DAY1)[0]))
        value = str(day.day).encode('utf-16le')
    else:
        value = b''
    body = row[:eod] + value
    new_starts = starts + [eod]
    table = struct.pack('<H', eod + len(value)) + b''.join(struct.pack('<H', s) for s in reversed(new_starts))
    new_mask = bytes([mask[0], mask[1], 0x01 if has_code else 0x00])
    out = bytearray(body + table + struct.pack('<H', var_len + 1) + new_mask)
    struct.pack_into('<H', out, 0, 17)
    return bytes(out)


new = bytearray(old[:14])
position = PAGE
new_offsets = []
for row in rows:
    row = rebuild(row)
    position -= len(row)
    new_offsets.append(position)
header_end = 14 + 2 * count
assert position >= header_end, 'the rows no longer fit on the page'
content = bytearray(PAGE)
content[:14] = new[:14]
for i, (o, row) in enumerate(zip(new_offsets, (rebuild(r) for r in rows))):
    struct.pack_into('<H', content, 14 + 2 * i, o)
    content[o:o + len(row)] = row
struct.pack_into('<H', content, 2, position - header_end)
put_page(number, content)
open(dst, 'wb').write(data)
