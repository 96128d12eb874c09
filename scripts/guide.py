#!/usr/bin/env python3
"""The users' guide in the release zip, made from README.md, and its check.

README.md is written for two readers. The parts a user of the download needs
lie between the lines <!-- guide:start --> and <!-- guide:end -->; the rest
(setting up a machine, building, developing) is for those with the sources.

  guide.py make README.md GUIDE.html VERSION
      writes GUIDE.html, one page a browser opens from the unpacked folder,
      with QZ_Lasso-<version>-win64 in README.md's text naming VERSION's zip,
      and prints the local files it links or shows (beside GUIDE.html), one a
      line, for the release to copy
  guide.py check FOLDER
      fails unless every link and picture of FOLDER/Guide.html resolves inside
      FOLDER (an anchor to a heading, a file beside it; an address on the web
      may stand) and the guide names no step of building from source
"""
import html
import html.parser
import os
import re
import subprocess
import sys
import urllib.parse

START, END = "<!-- guide:start -->", "<!-- guide:end -->"

# What only someone with the sources can do: a user of the zip has no use for
# it, and would be sent looking for files the zip does not hold.
BUILD_STEPS = re.compile(r"scripts/|\bcmake\b|\bapt-get\b|\bbuild(s|ing)?\b", re.IGNORECASE)

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>QZ_Lasso {version}: guide</title>
<style>
body {{ font: 16px/1.5 system-ui, sans-serif; max-width: 62em; margin: 0 auto; padding: 1em 1.5em; color: #1b1b1b; }}
h1, h2, h3 {{ line-height: 1.2; }}
h2 {{ border-bottom: 1px solid #ccc; padding-bottom: .2em; margin-top: 2em; }}
code, pre {{ font-family: ui-monospace, Consolas, monospace; font-size: .92em; background: #f3f3f3; }}
code {{ padding: .05em .25em; border-radius: 3px; }}
pre {{ padding: .8em 1em; overflow-x: auto; }}
pre code {{ padding: 0; background: none; }}
table {{ border-collapse: collapse; margin: 1em 0; }}
th, td {{ border: 1px solid #ccc; padding: .3em .6em; vertical-align: top; text-align: left; }}
img {{ max-width: 100%; height: auto; }}
</style>
</head>
<body>
<main>
{body}</main>
</body>
</html>
"""


def user_sections(readme):
    """The text between the guide's markers, each marker on a line of its own."""
    parts, inside, lines = [], False, readme.splitlines(keepends=True)
    for number, line in enumerate(lines, 1):
        marker = line.strip()
        if marker == START:
            if inside:
                sys.exit(f"guide: README.md:{number}: a second {START} before {END}")
            inside = True
        elif marker == END:
            if not inside:
                sys.exit(f"guide: README.md:{number}: {END} without {START}")
            inside = False
            parts.append("\n")
        elif inside:
            parts.append(line)
    if inside:
        sys.exit(f"guide: README.md: {START} is never closed")
    if not parts:
        sys.exit(f"guide: README.md marks no section for users ({START} ... {END})")
    return "".join(parts)


def slug(text):
    """A heading's anchor as the repository's web view makes it, so that the
    README's links to its own headings work in the guide too."""
    text = re.sub(r"<[^>]*>", "", text)
    text = html.unescape(text).strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def with_anchors(body):
    seen = {}

    def anchor(match):
        level, inner = match.group(1), match.group(2)
        base = slug(inner)
        count = seen.get(base, 0)
        seen[base] = count + 1
        name = base if count == 0 else f"{base}-{count}"
        return f'<h{level} id="{html.escape(name)}">{inner}</h{level}>'

    return re.sub(r"<h([1-6])>(.*?)</h\1>", anchor, body)


class Targets(html.parser.HTMLParser):
    """The links, pictures and anchors of a page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.targets, self.ids, self.text = [], set(), []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if attrs.get("id"):
            self.ids.add(attrs["id"])
        for name in ("href", "src"):
            if name in attrs and attrs[name] is not None:
                self.targets.append((tag, attrs[name]))

    def handle_data(self, data):
        self.text.append(data)


def parse(page):
    targets = Targets()
    targets.feed(page)
    targets.close()
    return targets


def local_path(target):
    """The file a relative link names, or None for a web address or anchor."""
    parts = urllib.parse.urlsplit(target)
    if parts.scheme in ("http", "https", "mailto") or target.startswith("#"):
        return None
    return urllib.parse.unquote(parts.path)


def make(readme_path, out_path, version):
    with open(readme_path, encoding="utf-8") as readme:
        markdown = user_sections(readme.read())
    # The README names the download for any version; the guide, its own zip.
    markdown = markdown.replace("QZ_Lasso-<version>-win64", f"QZ_Lasso-{version}-win64")
    body = subprocess.run(["cmark", "--to", "html"], input=markdown, capture_output=True, text=True, check=True).stdout
    page = PAGE.format(version=html.escape(version), body=with_anchors(body))
    with open(out_path, "w", encoding="utf-8", newline="\n") as out:
        out.write(page)
    files = sorted({path for _, target in parse(page).targets if (path := local_path(target))})
    for path in files:
        print(path)


def check(folder):
    guide = os.path.join(folder, "Guide.html")
    with open(guide, encoding="utf-8") as page_file:
        page = page_file.read()
    found = parse(page)
    problems = []
    root = os.path.realpath(folder)
    for tag, target in found.targets:
        parts = urllib.parse.urlsplit(target)
        if target.startswith("#"):
            if target[1:] not in found.ids:
                problems.append(f"<{tag}> {target}: no heading or element has that id")
        elif parts.scheme in ("http", "https", "mailto"):
            continue
        elif parts.scheme or parts.netloc or target.startswith("/"):
            problems.append(f"<{tag}> {target}: not a file beside the guide")
        else:
            path = os.path.realpath(os.path.join(folder, urllib.parse.unquote(parts.path)))
            if os.path.commonpath([root, path]) != root:
                problems.append(f"<{tag}> {target}: outside the unpacked folder")
            elif not os.path.isfile(path):
                problems.append(f"<{tag}> {target}: not in the unpacked folder")
    for number, line in enumerate(page.splitlines(), 1):
        for match in BUILD_STEPS.finditer(line):
            problems.append(f"Guide.html:{number}: names a build step ('{match.group(0)}'): {line.strip()[:120]}")
    if not found.targets:
        problems.append("the guide links and shows nothing")
    for problem in problems:
        print(problem)
    print(f"{len(found.targets)} links and pictures, {len(problems)} problems")
    return 1 if problems else 0


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3], sys.argv[4])
        return 0
    if len(sys.argv) == 3 and sys.argv[1] == "check":
        return check(sys.argv[2])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
