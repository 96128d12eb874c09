#!/usr/bin/env python3
"""The user guide's pictures as other programs see them.

Every docs/commands/*.svg, and a picture hostsim draws of a scene with hostile
names, must pass xmllint, hold only the plain SVG 1.1 elements and attributes
listed below (no scripts, no links, no fonts but the generic families), and
render with rsvg-convert to a PNG that is not blank.

Usage: svg_pictures_check.py HOSTSIM DOCS_FOLDER WORK_FOLDER
Exit status 77 (skipped) when xmllint or rsvg-convert is not installed
(Debian: libxml2-utils, librsvg2-bin; scripts/test.sh installs them).
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zlib

SVG = "{http://www.w3.org/2000/svg}"
XML = "{http://www.w3.org/XML/1998/namespace}"
ALLOWED = {
    "svg": {"width", "height", "viewBox", "version", "font-family", "font-size", XML + "space"},
    "title": set(),
    "rect": {"x", "y", "width", "height", "rx", "fill", "stroke"},
    "text": {"x", "y", "fill", "font-size", "font-weight", "font-family", "text-anchor"},
    "tspan": {"fill", "font-weight"},
    "g": {"opacity"},
}
INTEGERS = {"x", "y", "width", "height", "rx", "font-size"}
FONT_FAMILIES = {"sans-serif", "monospace"}
COLOUR = re.compile(r"#[0-9a-f]{6}")

HOSTILE_SCENE = (b"LWSC\n5\n\n"
                 b"AddNullObject 10000000 a&b<c>\"d'e ]]> &amp; <script>x</script>\n"
                 b"AddNullObject 10000001 bad\xff\xfe\xc3 \xed\xa0\x80 \xf4\x90\x80\x80\ttab\n"
                 b"ParentItem 10000000\n"
                 b"AddNullObject 10000002 \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e long enough to be cut somewhere\n"
                 b"ParentItem 10000000\n"
                 b"CurrentObject 0\n")


def problems_of(path):
    found = []
    result = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
    if result.returncode != 0:
        return ["xmllint: " + result.stderr.strip()]
    root = ElementTree.parse(path).getroot()
    if root.tag != SVG + "svg" or root.get("version") != "1.1":
        found.append("the root is not an SVG 1.1 <svg> element")
    with open(path, "rb") as file:
        head = file.read(300)
    if b'xmlns="http://www.w3.org/2000/svg"' not in head:
        found.append("the root does not declare the SVG namespace")
    elements = list(root.iter())
    background = elements[2] if len(elements) > 2 else None
    if (background is None or background.tag != SVG + "rect" or
            [background.get(name) for name in ("x", "y", "width", "height")] !=
            ["0", "0", root.get("width"), root.get("height")] or not COLOUR.fullmatch(background.get("fill", ""))):
        found.append("the picture does not start on an opaque background of its own")
    for element in elements:
        if not element.tag.startswith(SVG):
            found.append("element %s is not SVG" % element.tag)
            continue
        name = element.tag[len(SVG):]
        if name not in ALLOWED:
            found.append("element <%s> is not allowed" % name)
            continue
        for attribute, value in element.attrib.items():
            if attribute not in ALLOWED[name]:
                found.append("attribute %s of <%s> is not allowed" % (attribute, name))
            elif attribute in INTEGERS and not re.fullmatch(r"-?[0-9]+", value):
                found.append("<%s %s=\"%s\"> is not an integer" % (name, attribute, value))
            elif attribute in ("fill", "stroke") and not COLOUR.fullmatch(value):
                found.append("<%s %s=\"%s\"> is not a plain colour" % (name, attribute, value))
            elif attribute == "font-family" and value not in FONT_FAMILIES:
                found.append("font family %s is not a generic one" % value)
            elif attribute == "viewBox" and not re.fullmatch(r"0 0 [0-9]+ [0-9]+", value):
                found.append("viewBox \"%s\" is not in integers" % value)
    png = path + ".png"
    result = subprocess.run(["rsvg-convert", path, "-o", png], capture_output=True, text=True)
    if result.returncode != 0:
        return found + ["rsvg-convert: " + result.stderr.strip()]
    colours = colour_count(png, enough=2)
    os.remove(png)
    if colours < 2:
        found.append("it renders blank")
    return found


def colour_count(path, enough=None):
    """The distinct colours of an 8-bit RGB or RGBA PNG, as rsvg-convert writes them;
    the rows are read only until `enough` colours are found."""
    with open(path, "rb") as file:
        data = file.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + " is not a PNG")
    at, compressed = 8, b""
    width = height = depth = kind = None
    while at < len(data):
        length, tag = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if tag == b"IHDR":
            width, height, depth, kind = struct.unpack(">IIBB", body[:10])
        elif tag == b"IDAT":
            compressed += body
        at += 12 + length
    if depth != 8 or kind not in (2, 6):
        raise ValueError("%s: bit depth %s, colour type %s not read here" % (path, depth, kind))
    step = 3 if kind == 2 else 4
    raw = zlib.decompress(compressed)
    stride = width * step
    previous = bytearray(stride)
    colours = set()
    for row in range(height):
        start = row * (stride + 1)
        method, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for index in range(stride):
            left = line[index - step] if index >= step else 0
            up = previous[index]
            corner = previous[index - step] if index >= step else 0
            if method == 1:
                line[index] = (line[index] + left) & 0xFF
            elif method == 2:
                line[index] = (line[index] + up) & 0xFF
            elif method == 3:
                line[index] = (line[index] + (left + up) // 2) & 0xFF
            elif method == 4:
                guess = left + up - corner
                near = min((abs(guess - left), 0, left), (abs(guess - up), 1, up), (abs(guess - corner), 2, corner))
                line[index] = (line[index] + near[2]) & 0xFF
        colours.update(bytes(line[index:index + step]) for index in range(0, stride, step))
        if enough is not None and len(colours) >= enough:
            break
        previous = line
    return len(colours)


def main():
    hostsim, docs, work = sys.argv[1:4]
    for tool in ("xmllint", "rsvg-convert"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed (Debian: libxml2-utils, librsvg2-bin)" % tool)
            return 77
    os.makedirs(work, exist_ok=True)
    pictures = sorted(os.path.join(docs, name) for name in os.listdir(docs) if name.endswith(".svg"))
    if not pictures:
        print("no pictures in " + docs)
        return 1
    scene = os.path.join(work, "hostile.lws")
    with open(scene, "wb") as file:
        file.write(HOSTILE_SCENE)
    hostile = os.path.join(work, "hostile.svg")
    result = subprocess.run([hostsim, "run", "QZ_Sel_Child", "--scene", scene, "--select", "10000000",
                             "--svg", hostile], capture_output=True)
    if result.returncode != 0:
        print("hostsim could not draw the hostile scene: " + result.stderr.decode(errors="replace"))
        return 1
    failed = False
    for path in pictures + [hostile]:
        for problem in problems_of(path):
            print("%s: %s" % (path, problem))
            failed = True
    print("%d pictures checked" % (len(pictures) + 1))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
