"""Every class, property, method, shared method, event and constant that
zrk-dnssd classes prints is declared in docs/reference.md, in the section of
its class (a heading "## `ClassName`"), as a code span holding the
declaration (runs of spaces count as one).

usage: python3 reference_covers_classes.py TOOL REFERENCE
"""
import re
import subprocess
import sys


def squeeze(text):
    return re.sub(r"\s+", " ", text.strip())


def main(tool, reference):
    printed = subprocess.run([tool, "classes"], check=True, capture_output=True, text=True).stdout
    sections = {}
    current = None
    for line in open(reference, encoding="utf-8"):
        heading = re.match(r"^## `(\w+)`", line)
        if heading:
            current = sections.setdefault(heading.group(1), set())
        elif line.startswith("## "):
            current = None
        elif current is not None:
            current.update(squeeze(span) for span in re.findall(r"`([^`]+)`", line))

    missing = []
    cls = None
    for line in printed.splitlines():
        words = line.split()
        if words[0] == "class":
            cls = words[1]
            if cls not in sections:
                missing.append(f"class {cls}: no section \"## `{cls}`\"")
            continue
        kind = words[0]
        if kind == "property":
            # "property Handle as Integer offset 0 readonly"
            declaration = " ".join(words[1:4])
        else:
            declaration = squeeze(line.strip()[len(kind):])
        if declaration not in sections.get(cls, set()):
            missing.append(f"{cls}: {kind} `{declaration}`")
    for item in missing:
        print("not in the reference:", item)
    if missing:
        return 1
    print(f"reference: all {len(printed.splitlines())} printed items declared")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
