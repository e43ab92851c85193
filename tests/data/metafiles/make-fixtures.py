#!/usr/bin/env python3
"""Writes the sources of the metafile fixtures: a drawing in the flat
OpenDocument format with shapes, Japanese and Latin text and two embedded
bitmaps, a drawing of one Japanese line in an installed face (whose WMF
font records state a character width), and a gnuplot script.
make-fixtures.sh turns them into .wmf/.emf."""
import base64
import struct
import sys
import zlib


def png(width, height, colour_type, rows, palette=None, trns=None, depth=8):
    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)
    raw = b''.join(b'\0' + r for r in rows)
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour_type, 0, 0, 0))
    if palette:
        out += chunk(b'PLTE', b''.join(bytes(c) for c in palette))
    if trns:
        out += chunk(b'tRNS', trns)
    return out + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')


def disc_png():
    """24x24 RGBA: a red disc with a blue square inside, transparent around."""
    rows = []
    for y in range(24):
        row = b''
        for x in range(24):
            dx, dy = x - 11.5, y - 11.5
            if dx * dx + dy * dy <= 121:
                row += bytes([0, 0, 255, 255]) if 6 <= x < 18 and 6 <= y < 18 else bytes([255, 0, 0, 255])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(row)
    return png(24, 24, 6, rows)


def checker_png():
    """16x12 with a 4-entry palette at 4 bits: stripes and a checker."""
    palette = [(0, 0, 0), (255, 255, 255), (0, 160, 0), (255, 128, 0)]
    rows = []
    for y in range(12):
        idx = [((x // 4 + y // 4) % 2) if y < 8 else (2 if x < 8 else 3) for x in range(16)]
        rows.append(bytes((idx[i] << 4) | idx[i + 1] for i in range(0, 16, 2)))
    return png(16, 12, 3, rows, palette=palette, depth=4)


def drawing(path):
    disc = base64.b64encode(disc_png()).decode()
    checker = base64.b64encode(checker_png()).decode()
    doc = f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.graphics">
 <office:font-face-decls>
  <style:font-face style:name="ＭＳ Ｐゴシック" svg:font-family="'ＭＳ Ｐゴシック'"/>
  <style:font-face style:name="Arial" svg:font-family="Arial"/>
 </office:font-face-decls>
 <office:styles>
  <draw:hatch draw:name="h1" draw:style="single" draw:color="#008000" draw:distance="0.15cm" draw:rotation="450"/>
  <draw:stroke-dash draw:name="d1" draw:style="rect" draw:dots1="1" draw:dots1-length="0.2cm" draw:distance="0.1cm"/>
 </office:styles>
 <office:automatic-styles>
  <style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="8cm" fo:page-height="6cm"/></style:page-layout>
  <style:style style:name="box" style:family="graphic"><style:graphic-properties draw:stroke="solid" svg:stroke-color="#204080" svg:stroke-width="0cm" draw:fill="solid" draw:fill-color="#ffe080"/></style:style>
  <style:style style:name="plain" style:family="graphic"><style:graphic-properties draw:stroke="none" draw:fill="none"/></style:style>
  <style:style style:name="oval" style:family="graphic"><style:graphic-properties draw:stroke="solid" svg:stroke-color="#000000" svg:stroke-width="0cm" draw:fill="solid" draw:fill-color="#80c0ff"/></style:style>
  <style:style style:name="hatched" style:family="graphic"><style:graphic-properties draw:stroke="dash" draw:stroke-dash="d1" svg:stroke-color="#c00000" svg:stroke-width="0cm" draw:fill="hatch" draw:fill-hatch-name="h1" draw:fill-hatch-solid="false"/></style:style>
  <style:style style:name="thick" style:family="graphic"><style:graphic-properties draw:stroke="solid" svg:stroke-color="#a000a0" svg:stroke-width="0.08cm" draw:fill="none"/></style:style>
  <style:style style:name="jp" style:family="paragraph"><style:text-properties fo:font-size="16pt" fo:color="#000080" style:font-name="ＭＳ Ｐゴシック" style:font-name-asian="ＭＳ Ｐゴシック" style:font-size-asian="16pt" style:language-asian="ja" style:country-asian="JP"/></style:style>
  <style:style style:name="latin" style:family="paragraph"><style:text-properties fo:font-size="12pt" fo:color="#800000" style:font-name="Arial" fo:font-weight="bold" style:font-weight-asian="bold"/></style:style>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/></office:master-styles>
 <office:body><office:drawing><draw:page draw:name="p1" draw:master-page-name="Default">
  <draw:rect draw:style-name="box" svg:x="0.2cm" svg:y="0.2cm" svg:width="3cm" svg:height="1.6cm"/>
  <draw:ellipse draw:style-name="oval" svg:x="3.8cm" svg:y="0.3cm" svg:width="3.6cm" svg:height="1.6cm"/>
  <draw:ellipse draw:style-name="oval" draw:kind="section" draw:start-angle="30" draw:end-angle="300" svg:x="0.4cm" svg:y="3.4cm" svg:width="2.2cm" svg:height="2.2cm"/>
  <draw:rect draw:style-name="hatched" svg:x="2.9cm" svg:y="3.4cm" svg:width="1.5cm" svg:height="2.2cm"/>
  <draw:line draw:style-name="thick" svg:x1="0.2cm" svg:y1="5.85cm" svg:x2="7.8cm" svg:y2="5.85cm"/>
  <draw:frame draw:style-name="plain" svg:x="0.3cm" svg:y="2.0cm" svg:width="7.5cm" svg:height="0.9cm"><draw:text-box><text:p text:style-name="jp">ひらがなと漢字「表示」①</text:p></draw:text-box></draw:frame>
  <draw:frame draw:style-name="plain" svg:x="4.9cm" svg:y="2.9cm" svg:width="3cm" svg:height="0.7cm"><draw:text-box><text:p text:style-name="latin">Latin Ab</text:p></draw:text-box></draw:frame>
  <draw:frame draw:style-name="plain" svg:x="4.7cm" svg:y="3.6cm" svg:width="1.6cm" svg:height="1.6cm"><draw:image><office:binary-data>{disc}</office:binary-data></draw:image></draw:frame>
  <draw:frame draw:style-name="plain" svg:x="6.5cm" svg:y="3.8cm" svg:width="1.2cm" svg:height="0.9cm"><draw:image><office:binary-data>{checker}</office:binary-data></draw:image></draw:frame>
 </draw:page></office:drawing></office:body>
</office:document>
'''
    with open(path, 'w', encoding='utf-8') as f:
        f.write(doc)


def font_width_drawing(path):
    """One Japanese line in IPAPGothic, a face the suite finds installed: its
    WMF export then states the font's width beside its height."""
    doc = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.graphics">
 <office:font-face-decls>
  <style:font-face style:name="IPAPGothic" svg:font-family="IPAPGothic"/>
 </office:font-face-decls>
 <office:styles/>
 <office:automatic-styles>
  <style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="10cm" fo:page-height="2cm"/></style:page-layout>
  <style:style style:name="plain" style:family="graphic"><style:graphic-properties draw:stroke="none" draw:fill="none"/></style:style>
  <style:style style:name="jp" style:family="paragraph"><style:text-properties fo:font-size="21pt" fo:color="#000000" style:font-name="IPAPGothic" style:font-name-asian="IPAPGothic" style:font-size-asian="21pt" style:text-scale="101%" style:language-asian="ja" style:country-asian="JP"/></style:style>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/></office:master-styles>
 <office:body><office:drawing><draw:page draw:name="p1" draw:master-page-name="Default">
  <draw:frame draw:style-name="plain" svg:x="0.3cm" svg:y="0.3cm" svg:width="9.4cm" svg:height="1.4cm"><draw:text-box><text:p text:style-name="jp">文字の幅を測る行</text:p></draw:text-box></draw:frame>
 </draw:page></office:drawing></office:body>
</office:document>
'''
    with open(path, 'w', encoding='utf-8') as f:
        f.write(doc)


def plot(path, output):
    script = f'''set terminal emf color solid enhanced size 320,240 font "Arial,10"
set encoding utf8
set output '{output}'
set samples 40
set title "sin と cos（日本語）"
set key box opaque
set style fill pattern 2 border
plot [-pi:pi] sin(x) with lines lw 2 title "sin", cos(x)*0.8 with filledcurves y1=0 title "cos", sin(x)/2 with points pt 7 title "点"
'''
    with open(path, 'w', encoding='utf-8') as f:
        f.write(script)


def metafile_size_cm(data):
    """The nominal size of a WMF (placeable box in its units per inch) or an
    EMF (frame in 0.01 mm), in centimetres: what our player draws at 96 dpi."""
    if struct.unpack('<I', data[:4])[0] == 0x9AC6CDD7:
        left, top, right, bottom, inch = struct.unpack('<hhhhH', data[6:16])
        return abs(right - left) / inch * 2.54, abs(bottom - top) / inch * 2.54
    left, top, right, bottom = struct.unpack('<iiii', data[24:40])
    return (right - left) / 1000, (bottom - top) / 1000


def reference_drawing(metafile, path):
    """A page of exactly the metafile's nominal size, the metafile as an
    image filling it: the suite's PNG export of it is the suite's own
    rendering of the file at the size our player draws it."""
    data = open(metafile, 'rb').read()
    width, height = metafile_size_cm(data)
    picture = base64.b64encode(data).decode()
    doc = f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.graphics">
 <office:styles/>
 <office:automatic-styles>
  <style:page-layout style:name="PM1"><style:page-layout-properties fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm" fo:page-width="{width:.4f}cm" fo:page-height="{height:.4f}cm"/></style:page-layout>
  <style:style style:name="plain" style:family="graphic"><style:graphic-properties draw:stroke="none" draw:fill="none"/></style:style>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM1"/></office:master-styles>
 <office:body><office:drawing><draw:page draw:name="p1" draw:master-page-name="Default">
  <draw:frame draw:style-name="plain" svg:x="0cm" svg:y="0cm" svg:width="{width:.4f}cm" svg:height="{height:.4f}cm"><draw:image><office:binary-data>{picture}</office:binary-data></draw:image></draw:frame>
 </draw:page></office:drawing></office:body>
</office:document>
'''
    with open(path, 'w', encoding='utf-8') as f:
        f.write(doc)


if __name__ == '__main__':
    if sys.argv[1] == 'reference':
        reference_drawing(sys.argv[2], sys.argv[3])
        sys.exit(0)
    work = sys.argv[1]
    drawing(f'{work}/drawing.fodg')
    font_width_drawing(f'{work}/font-width.fodg')
    plot(f'{work}/plot.gp', f'{work}/gnuplot-plot.emf')
