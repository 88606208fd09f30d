#!/usr/bin/env python3
"""Tidies a page help2man made from a program's --help, in place.

- An option alone on its line with its text below (".HP" then ".IP") becomes a tagged paragraph,
  so man shows no blank line between the option and its text.
- The help's closing "Exit status:" list becomes the page's EXIT STATUS section.

Usage: tidy_manual_page.py PAGE
"""
import re
import sys

path = sys.argv[1]
with open(path, encoding="utf-8") as page:
    text = page.read()
text = re.sub(r"^\.HP\n(.*)\n\.IP\n", r".TP\n\1\n", text, flags=re.MULTILINE)
text = re.sub(r'^\.SS "Exit status:"$', '.SH "EXIT STATUS"', text, flags=re.MULTILINE)
with open(path, "w", encoding="utf-8") as page:
    page.write(text)
