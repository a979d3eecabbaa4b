#!/usr/bin/python3
"""Reads an exported workbook with openpyxl, a reader this project did not write, and checks it
against table LOG of the database it came from.

    workbook_check.py DATABASE WORKBOOK [ROWID ...]

With rowids, the workbook must hold exactly those rows of LOG (a filtered export), in order;
without, every row. Exits 1 with the first difference, 0 with "ok N rows".
"""
import datetime
import re
import sqlite3
import sys

import openpyxl

STAMP_FORMAT = "dd/mm/yyyy hh:mm:ss"
STAMP_HEADER = "Data e Hora"


def fail(text):
    print("workbook_check: " + text, file=sys.stderr)
    sys.exit(1)


def stamp(data, hora):
    """The relay's stamp as a date-time, or None: d/m/yy (20yy) and h:m:s, a real date and time."""
    if not isinstance(data, str) or not isinstance(hora, str):
        return None
    d = re.fullmatch(r"(\d{1,2})/(\d{1,2})/(\d{1,2})", data)
    t = re.fullmatch(r"(\d{1,2}):(\d{1,2}):(\d{1,2})", hora)
    if not d or not t:
        return None
    day, month, year = (int(x) for x in d.groups())
    hour, minute, second = (int(x) for x in t.groups())
    try:
        return datetime.datetime(2000 + year, month, day, hour, minute, second)
    except ValueError:
        return None


def expected_cell(value):
    # A sheet has no empty text: NULL and "" are both an empty cell.
    return None if value in (None, "") else value


def main():
    if len(sys.argv) < 3:
        fail("usage: workbook_check.py DATABASE WORKBOOK [ROWID ...]")
    database, workbook = sys.argv[1], sys.argv[2]
    wanted = [int(x) for x in sys.argv[3:]]

    db = sqlite3.connect(database)
    fields = [row[1] for row in db.execute("PRAGMA table_info(LOG)")]
    quoted = ", ".join('"%s"' % f for f in fields)
    rows = {r[0]: r[1:] for r in db.execute("SELECT rowid, %s FROM LOG ORDER BY rowid" % quoted)}
    order = wanted if sys.argv[3:] else list(rows)

    book = openpyxl.load_workbook(workbook)
    if book.sheetnames != ["LOG"]:
        fail("sheets %r, not ['LOG']" % book.sheetnames)
    sheet = book["LOG"]
    header = [c.value for c in sheet[1]]
    if header != [STAMP_HEADER] + fields:
        fail("header %r" % header)
    if not all(c.font.b for c in sheet[1]):
        fail("the header row is not bold")
    if sheet.freeze_panes != "A2":
        fail("frozen at %r, not below the header" % sheet.freeze_panes)
    last_column = openpyxl.utils.get_column_letter(len(header))
    if sheet.auto_filter.ref != "A1:%s%d" % (last_column, len(order) + 1):
        fail("autofilter over %r" % sheet.auto_filter.ref)
    for index, name in enumerate(header, start=1):
        width = sheet.column_dimensions[openpyxl.utils.get_column_letter(index)].width
        if width is None or width < len(name):
            fail("column %r is %r wide, narrower than its name" % (name, width))
    if sheet.max_row != len(order) + 1:
        fail("%d rows of data, not %d" % (sheet.max_row - 1, len(order)))

    for line, rowid in enumerate(order, start=2):
        values = rows[rowid]
        cells = [c for c in sheet[line]] + [None] * (len(header) - len(sheet[line]))
        when = stamp(values[0], values[1])
        first = cells[0]
        got = first.value if first is not None else None
        if got != when:
            fail("row %d (rowid %d): stamp %r, not %r" % (line, rowid, got, when))
        if when is not None and first.number_format != STAMP_FORMAT:
            fail("row %d: stamp formatted %r" % (line, first.number_format))
        for column, value in enumerate(values, start=1):
            cell = cells[column]
            got = cell.value if cell is not None else None
            want = expected_cell(value)
            # Numbers must be numbers, texts texts: "25" for 25 would pass an equality of texts.
            if got != want or (type(got) is str) != isinstance(want, str):
                fail("row %d (rowid %d) %s: %r, not %r" % (line, rowid, fields[column - 1],
                                                            got, want))
    print("ok %d rows" % len(order))


if __name__ == "__main__":
    main()
