#!/usr/bin/env python3
"""Checks a scrolling capture made through the real program against the truth: the same page
rendered whole by the same browser (headless, at the same layout width, every photo loaded).

  realapp-check.py check PAGE RESULT.png TRUTH.png [--label TEXT] [--view VIEW.png]
      PAGE is lazy, table or spinner. Prints one line: WHOLE or BROKEN, the page's height in
      the result and in the truth, where the result starts in the page, rows dropped and
      repeated (as page row ranges), rows that match no page row (for lazy: grey placeholder
      or torn/blurred, per photo), and for the table the number of header bands. VIEW: the
      page area as it stood when a capture scrolled by hand ended; the page is then expected
      down to the bottom of that view only.
  realapp-check.py selftest PAGE TRUTH.png
      Cuts a result-like image out of the truth, breaks copies of it (a band of rows removed,
      a band repeated, a grey band over a photo, a blurred band) and checks that the checker
      calls the intact one whole and every broken one broken, with the right reason.
  realapp-check.py grab X Y W H OUT.rgb    (helpers for the probe, reading the screen)
  realapp-check.py content WINX WINY WINW WINH
      The browser's page area inside its window: prints "X Y W H SCROLLBAR".
  realapp-check.py blue X Y W H
      Centre of the HUD's blue (prominent) button in that screen area: prints "X Y".
  realapp-check.py dark X Y W H    centre of the dark pixels there (an infobar's close button)
  realapp-check.py same A.rgb B.rgb    exit 0 when the two grabs are equal

Rows are compared as RGB bytes; a row equal to a page row within 2 levels per channel counts
as that row (headless and on-screen rendering of the photos differ by 1 level at most).
Standard library and ImageMagick's convert/import only.
"""
import subprocess
import sys

TOL = 2
WHITE = 255


class Img:
    def __init__(self, w, h, data):
        self.w, self.h, self.data = w, h, data

    def row(self, y, x0=0, x1=None):
        x1 = self.w if x1 is None else x1
        b = (y * self.w) * 3
        return self.data[b + x0 * 3:b + x1 * 3]

    def px(self, x, y):
        i = (y * self.w + x) * 3
        return self.data[i:i + 3]


def load(path):
    w, h = map(int, subprocess.run(['identify', '-format', '%w %h\n', path], capture_output=True,
                                   text=True, check=True).stdout.split()[:2])
    data = subprocess.run(['convert', path, '-depth', '8', 'rgb:-'], capture_output=True,
                          check=True).stdout
    assert len(data) == w * h * 3, (path, len(data), w, h)
    return Img(w, h, data)


def grab(x, y, w, h):
    data = subprocess.run(['import', '-silent', '-window', 'root', '-crop', f'{w}x{h}+{x}+{y}',
                           '+repage', '-depth', '8', 'rgb:-'], capture_output=True, check=True).stdout
    return Img(w, h, data)


def save(img, path):
    subprocess.run(['convert', '-size', f'{img.w}x{img.h}', '-depth', '8', 'rgb:-', path],
                   input=bytes(img.data), check=True)


def uniform(row):
    return row.count(row[:3]) * 3 == len(row)


def close(a, b):
    if a == b:
        return True
    if len(a) != len(b):
        return False
    return max(map(lambda p, q: abs(p - q), a, b)) <= TOL


def content_height(img):
    """Rows down to the last that is not all white."""
    white = b'\xff' * (img.w * 3)
    y = img.h - 1
    while y > 0 and img.row(y) == white:
        y -= 1
    return y + 1


def ranges(rows):
    """[3,4,5,9] -> '3-5,9'"""
    out, start, prev = [], None, None
    for r in sorted(rows):
        if start is None:
            start = prev = r
        elif r == prev + 1:
            prev = r
        else:
            out.append((start, prev))
            start = prev = r
    if start is not None:
        out.append((start, prev))
    return ','.join(f'{a}-{b}' if a != b else f'{a}' for a, b in out)


def spans(rows):
    out, start, prev = [], None, None
    for r in sorted(rows):
        if start is None:
            start = prev = r
        elif r == prev + 1:
            prev = r
        else:
            out.append((start, prev))
            start = prev = r
    if start is not None:
        out.append((start, prev))
    return out


# ---------------------------------------------------------------------------------------------
# Parts of the page that change by themselves, or on purpose between views (the table header's
# text), are masked in the truth: their rows are not compared, only counted.

def is_yellow(p):
    r, g, b = p[0], p[1], p[2]
    return r > 200 and g > 140 and b < 200 and r - b > 50


def masks(page, t):
    masked = set()
    if page == 'spinner':
        ys = []
        for y in range(t.h):
            row = t.row(y)
            for x in range(0, t.w, 2):
                if is_yellow(row[x * 3:x * 3 + 3]):
                    ys.append(y)
                    break
        for y in ys:
            masked.update(range(max(0, y - 3), min(t.h, y + 4)))
        # the spinner, under the title: rows with a run of its ring's grey (#ddd) or of its
        # turning arc's blue (#1d3557), 4 pixels or more (text edges are never that long)
        ring = []
        for y in range(min(t.h, 600)):
            row = t.row(y)
            if any(p * 4 in row for p in (b'\xdd\xdd\xdd', b'\x1d\x35\x57')):
                ring.append(y)
        if ring:
            masked.update(range(max(0, min(ring) - 6), min(t.h, max(ring) + 7)))
    if page == 'table':
        for y in header_rows(t):
            masked.update(range(max(0, y - 1), min(t.h, y + 2)))
    return masked


HEADER = bytes((0x37, 0x47, 0x4f))


def header_rows(img):
    out = []
    for y in range(img.h):
        if img.row(y).count(HEADER) * 2 >= img.w:
            out.append(y)
    return out


def photo_slots(t):
    """The photos' rows and columns in the truth: runs of rows where a 600-px block has no white."""
    white = b'\xff\xff\xff'
    counts = [0] * t.w
    for y in range(0, t.h, 3):
        row = t.row(y)
        for x in range(t.w):
            if row[x * 3:x * 3 + 3] != white:
                counts[x] += 1
    top = max(counts)
    cols = [x for x in range(t.w) if counts[x] >= top * 0.8]
    if not cols:
        return None, []
    x0 = cols[0]
    x1 = x0 + 600
    rows = [y for y in range(t.h) if t.row(y, x0, x1).count(white) < 5]
    slots = [(a, b) for a, b in spans(rows) if b - a + 1 >= 200]
    return (x0, x1), slots


# ---------------------------------------------------------------------------------------------

class Result:
    pass


def find_dx(r, t):
    """Horizontal place of the result in the truth: result column c is truth column c + dx.
    Pieces of result rows with plenty of ink are looked for in every truth row; the place most
    of them agree on wins."""
    votes = {}
    white = b'\xff\xff\xff'
    trows = [t.row(ty) for ty in range(t.h)]
    tried = 0
    for y in range(0, r.h, 5):
        row = r.row(y)
        if uniform(row):
            continue
        a = next(x for x in range(r.w) if row[x * 3:x * 3 + 3] != white)
        a = max(0, min(a, r.w - 300))
        piece = row[a * 3:(a + 300) * 3]
        if sum(1 for x in range(300) if piece[x * 3:x * 3 + 3] != white) < 40:
            continue
        tried += 1
        found = set()
        for tr in trows:
            pos = tr.find(piece)
            while pos >= 0:
                if pos % 3 == 0:
                    found.add(pos // 3 - a)
                pos = tr.find(piece, pos + 1)
        for dx in found:
            votes[dx] = votes.get(dx, 0) + 1
        if tried >= 12 and votes and max(votes.values()) >= 8:
            break
        if tried >= 60:
            break
    if not votes:
        return None
    return max(votes, key=votes.get)


def align(r, t, dx, masked):
    """Maps every result row to a truth row, or marks it as matching none. Returns the map
    (result row -> (truth row, ok)), the offset changes, and the start."""
    c0, c1 = max(0, -dx), min(r.w, t.w - dx)
    rrows = [r.row(y, c0, c1) for y in range(r.h)]
    trows = [t.row(y, c0 + dx, c1 + dx) for y in range(t.h)]
    index = {}
    for ty, row in enumerate(trows):
        index.setdefault(row, []).append(ty)

    def distinct(y):
        row = rrows[y]
        return not uniform(row) and len(index.get(row, ())) <= 40

    def eq(y, ty):
        return 0 <= ty < t.h and (ty in masked or close(rrows[y], trows[ty]))

    def find_offset(y, prefer):
        """An offset that the next rows from y agree on: at least 4 distinctive rows of the next
        24 found at it, and 90 % of the compared rows equal."""
        cands = set()
        for yy in range(y, min(r.h, y + 24)):
            if not uniform(rrows[yy]):
                for ty in index.get(rrows[yy], ())[:40]:
                    cands.add(ty - yy)
        best = None
        for d in sorted(cands, key=lambda d: abs(d - prefer) if prefer is not None else d):
            good = n = dist = 0
            for yy in range(y, min(r.h, y + 24)):
                if not 0 <= yy + d < t.h:
                    continue
                n += 1
                if eq(yy, yy + d):
                    good += 1
                    if not uniform(rrows[yy]) and (yy + d) not in masked:
                        dist += 1
            if dist >= 4 and good >= 0.9 * n and (best is None or good > best[1]):
                best = (d, good)
        return best[0] if best else None

    mapping = [None] * r.h
    events = []
    off = None
    y = 0
    start = None
    while y < r.h:
        if off is not None and eq(y, y + off):
            mapping[y] = (y + off, True)
            y += 1
            continue
        d = find_offset(y, off)
        if d is not None and d != off:
            if off is None:
                # the first offset found holds for the (white) rows above too
                start = d
                off = d
                y = 0
                continue
            events.append((y, off, d))
            off = d
            continue
        mapping[y] = (y + off if off is not None else None, False)
        y += 1
    return mapping, events, start


def check(page, rpath, tpath, label='', vpath=None):
    r, t = load(rpath), load(tpath)
    end = None
    if vpath:
        # scrolled by hand: the page is expected down to the bottom of the last view
        v = load(vpath)
        vdx = find_dx(v, t)
        if vdx is not None:
            _, _, vstart = align(v, t, vdx, masks(page, t))
            if vstart is not None:
                end = vstart + v.h
    return check_images(page, r, t, label, end)


def check_images(page, r, t, label='', end=None):
    rh, th = content_height(r), content_height(t)
    r = Img(r.w, rh, r.data[:rh * r.w * 3])
    t = Img(t.w, th, t.data[:th * t.w * 3])
    dx = find_dx(r, t)
    head = [label] if label else []
    words = []
    if dx is None:
        return ' '.join(head + ['BROKEN', f'H={rh}/{th}', 'no row of the result found in the page']), False
    masked = masks(page, t)
    mapping, events, start = align(r, t, dx, masked)
    seen = [0] * th
    bad = []
    extra = []
    for y, m in enumerate(mapping):
        if m is None:
            continue
        ty, ok = m
        if ok:
            seen[ty] += 1
        elif ty is None or ty >= th:
            extra.append(y)
        else:
            bad.append(y)
    first = start if start is not None else 0
    until = th if end is None else min(th, end)
    dropped = [ty for ty in range(until) if seen[ty] == 0 and ty not in masked]
    # rows a bad result row stands for are not "dropped": they are reported as bad
    standing = {mapping[y][0] for y in bad}
    dropped = [ty for ty in dropped if ty not in standing]
    repeated = [ty for ty in range(th) if seen[ty] > 1 and ty not in masked]
    problems = []
    if first != 0:
        problems.append(f'starts at page row {first}')
    for y, a, b in events:
        if b > a:
            problems.append(f'result row {y}: {b - a} page rows dropped ({y + a}-{y + b - 1})')
        else:
            problems.append(f'result row {y}: {a - b} page rows repeated ({y + b}-{y + a - 1})')
    head_drop = [ty for ty in dropped if ty < first]
    tail = [ty for ty in dropped if ty >= first and not any(
        seen[u] for u in range(ty, th))]
    if head_drop:
        problems.append(f'page rows {ranges(head_drop)} missing at the top')
    if tail:
        problems.append(f'the page missing from row {tail[0]} to {tail[-1]} ({len(tail)} rows '
                        'outside the masked parts)' if masked else
                        f'the last {len(tail)} page rows missing ({tail[0]}-{tail[-1]})')
    other_drop = [ty for ty in dropped if ty not in head_drop and ty not in tail]
    if other_drop and not events:
        problems.append(f'page rows dropped: {ranges(other_drop)}')
    if repeated and not any(b < a for _, a, b in events):
        problems.append(f'page rows repeated: {ranges(repeated)}')
    if extra:
        problems.append(f'{len(extra)} result rows beyond the page (rows {ranges(extra)})')
    detail = []
    if page in ('lazy', 'late', 'blur'):
        cols, slots = photo_slots(t)
        grey_total = torn_total = 0
        for i, (a, b) in enumerate(slots):
            rows = [y for y in bad if a <= mapping[y][0] <= b]
            grey = [y for y in rows if r.row(y, cols[0] - dx, cols[1] - dx).count(b'\xdd\xdd\xdd') >= 500]
            torn = [y for y in rows if y not in grey]
            miss = [ty for ty in range(a, b + 1) if seen[ty] == 0 and ty not in standing]
            rep = [ty for ty in range(a, b + 1) if seen[ty] > 1]
            notes = []
            if grey:
                notes.append(f'{len(grey)} grey placeholder rows (result rows {ranges(grey)})')
            if torn:
                notes.append(f'{len(torn)} torn/blurred rows (result rows {ranges(torn)})')
            if miss:
                notes.append(f'{len(miss)} rows missing')
            if rep:
                notes.append(f'{len(rep)} rows repeated')
            grey_total += len(grey)
            torn_total += len(torn)
            if notes:
                detail.append(f'photo {i + 1}: ' + ', '.join(notes))
        whole_photos = len(slots) - len(detail)
        words.append(f'photos={whole_photos}/{len(slots)}')
        other_bad = [y for y in bad if not any(a <= mapping[y][0] <= b for a, b in slots)]
        if other_bad:
            problems.append(f'{len(other_bad)} rows outside the photos match no page row '
                            f'(result rows {ranges(other_bad)})')
    else:
        if bad:
            problems.append(f'{len(bad)} result rows match no page row (result rows {ranges(bad)})')
    if page == 'table':
        bands = spans(header_rows(r))
        words.append(f'header_bands={len(bands)}')
        # whether the header band shows the page's own first text ("Rows 1-20 of 400", before
        # any scroll event) or one the page's script wrote: told, not judged (the text changes
        # on purpose as the page scrolls; on screen the first view already says "Rows 1-31")
        tb = spans(header_rows(t))
        if len(bands) == 1 and tb:
            (ra, rb), (ta, tb_) = bands[0], tb[0]
            same = rb - ra == tb_ - ta and all(
                close(r.row(ra + k, max(0, -dx), min(r.w, t.w - dx)),
                      t.row(ta + k, max(0, -dx) + dx, min(r.w, t.w - dx) + dx)) for k in range(rb - ra + 1))
            words.append('header_text=' + ('as-loaded' if same else 'rewritten'))
        if len(bands) != 1:
            problems.append(f'{len(bands)} header bands (result rows ' +
                            ','.join(f'{a}-{b}' for a, b in bands) + ')')
    if page == 'spinner':
        # the title: the rows of the page's first 60 rows that hold text, in the result
        title = [ty for ty in range(min(th, 120)) if not uniform(t.row(ty))]
        got = all(seen[ty] == 1 for ty in title)
        words.append('title=' + ('yes' if got else 'NO'))
        if not got:
            problems.append('the title "Loading article" is not at the top')
    whole = not problems and not detail
    words.append(f'start={first} dx={dx} masked_rows={len(masked)}')
    line = ' '.join(head + ['WHOLE' if whole else 'BROKEN', f'H={rh}/{until}'] + words)
    if end is not None:
        line += f' (page scrolled down to row {end} of {th})'
    if problems or detail:
        line += ' | ' + '; '.join(problems + detail)
    return line, whole


# ---------------------------------------------------------------------------------------------

def selftest(page, tpath):
    t = load(tpath)
    th = content_height(t)
    # a result-like image: the page's columns 0..w-20 (the scroll bar left out), cut below the end
    w = t.w - 20
    rows = [t.row(y, 0, w) for y in range(th)] + [b'\xff' * (w * 3)] * 16

    def img(rs):
        return Img(w, len(rs), b''.join(rs))

    cases = [('intact', rows, True, '')]
    a, b = th // 3, th // 3 + 180
    cases.append(('band removed', rows[:a] + rows[b:], False, 'dropped'))
    c = th // 2
    cases.append(('band repeated', rows[:c] + rows[c - 150:], False, 'repeated'))
    if page in ('lazy', 'late', 'blur'):
        cols, slots = photo_slots(t)
        sa, sb = slots[len(slots) // 2]
        grey = list(rows)
        for y in range(sa + 100, sb + 1):
            r = bytearray(grey[y])
            r[cols[0] * 3:cols[1] * 3] = b'\xdd' * 1800
            grey[y] = bytes(r)
        cases.append(('grey band over a photo', grey, False, 'grey placeholder'))
        sa, sb = slots[3]
        blur = list(rows)
        for y in range(sa + 50, sa + 250):
            r0, r1, r2 = rows[y - 2], rows[y], rows[y + 2]
            blur[y] = bytes((p + q + s) // 3 for p, q, s in zip(r0, r1, r2))
        cases.append(('blurred band in a photo', blur, False, 'torn/blurred'))
    else:
        blur = list(rows)
        m = th // 4
        for y in range(m, m + 120):
            blur[y] = bytes((p + q + s) // 3 for p, q, s in zip(rows[y - 2], rows[y], rows[y + 2]))
        cases.append(('blurred band', blur, False, 'match no page row'))
    cases.append(('top cut off', rows[200:], False, 'starts at page row'))
    cases.append(('end cut off', rows[:th - 700], False, 'missing'))
    if page == 'table':
        hr = header_rows(t)
        ha, hb = hr[0], hr[-1]
        twice = rows[:th // 2] + rows[ha:hb + 1] + rows[th // 2 + (hb - ha + 1):]
        cases.append(('header pasted a second time', twice, False, 'header bands'))
    ok = True
    for name, rs, want, why in cases:
        line, whole = check_images(page, img(rs), t, f'[{name}]')
        good = whole == want and (want or why in line)
        ok &= good
        print(('ok   ' if good else 'FAIL ') + line)
    print('selftest', 'passed' if ok else 'FAILED')
    return 0 if ok else 1


def content(wx, wy, ww, wh):
    """The page area of a browser window: below the toolbars, which are not white at the
    window's left edge; the scroll bar: non-white columns at the right edge of the page area."""
    s = grab(wx, wy, ww, wh)
    white = b'\xff\xff\xff'
    x = 4
    y = wh // 2
    if s.px(x, y) != white:
        return None
    while y > 0 and s.px(x, y - 1) == white:
        y -= 1
    top = y
    y = wh // 2
    while y < wh - 1 and s.px(x, y + 1) == white:
        y += 1
    bottom = y
    mid = (top + bottom) // 2
    sb = 0
    xr = ww - 1
    while xr > ww // 2 and s.px(xr, mid) != white:
        xr -= 1
        sb += 1
    border = 0
    if sb < 4:  # a window border, not a scroll bar
        border, sb = sb, 0
    left = 0
    while left < 20 and s.px(left, mid) != white:
        left += 1
    return wx + left, wy + top, ww - left - border, bottom - top + 1, sb


def blue(x, y, w, h):
    s = grab(x, y, w, h)
    xs, ys = [], []
    for yy in range(h):
        for xx in range(w):
            p = s.px(xx, yy)
            if p[2] > 150 and p[2] - p[0] > 90:
                xs.append(xx)
                ys.append(yy)
    if len(xs) < 40:
        return None
    return x + (min(xs) + max(xs)) // 2, y + (min(ys) + max(ys)) // 2


def dark(x, y, w, h):
    """Centre of the dark pixels in that screen area (an infobar's close button)."""
    s = grab(x, y, w, h)
    pts = [(xx, yy) for yy in range(h) for xx in range(w) if max(s.px(xx, yy)) < 110]
    if len(pts) < 10:
        return None
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    return x + (min(xs) + max(xs)) // 2, y + (min(ys) + max(ys)) // 2


def main(argv):
    cmd = argv[1]
    if cmd == 'check':
        label = ''
        if '--label' in argv:
            label = argv[argv.index('--label') + 1]
        view = argv[argv.index('--view') + 1] if '--view' in argv else None
        line, whole = check(argv[2], argv[3], argv[4], label, view)
        print(line)
        return 0 if whole else 1
    if cmd == 'selftest':
        return selftest(argv[2], argv[3])
    if cmd == 'grab':
        x, y, w, h = map(int, argv[2:6])
        open(argv[6], 'wb').write(grab(x, y, w, h).data)
        return 0
    if cmd == 'same':
        return 0 if open(argv[2], 'rb').read() == open(argv[3], 'rb').read() else 1
    if cmd == 'content':
        c = content(*map(int, argv[2:6]))
        if not c:
            return 1
        print(*c)
        return 0
    if cmd == 'dark':
        b = dark(*map(int, argv[2:6]))
        if not b:
            return 1
        print(*b)
        return 0
    if cmd == 'blue':
        b = blue(*map(int, argv[2:6]))
        if not b:
            return 1
        print(*b)
        return 0
    print(__doc__)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv))
