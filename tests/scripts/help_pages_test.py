#!/usr/bin/env python3
"""Checks the help pages as the compiled help and a browser use them.

    help_pages_test.py HELP_DIR

Every link and image a page names is in the help (its anchor too); every
page has a title; the contents, the index and the project list every page;
and every text HTML Help reads as code page 932 bytes has a form there.
"""

import html.parser
import os
import re
import sys

SCHEMES = ('http:', 'https:', 'mailto:', 'ms-its:', 'mk:')


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.title = ''
        self.in_title = False
        self.targets = []  # (tag, url)
        self.anchors = set()
        self.locals = []   # the contents' and the index's <param name="Local">
        self.names = []    # their <param name="Name">

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ('id', 'name'):
            if a.get(key) and tag != 'param':
                self.anchors.add(a[key])
        if tag == 'title':
            self.in_title = True
        elif tag in ('a', 'link') and a.get('href'):
            self.targets.append((tag, a['href']))
        elif tag in ('img', 'script') and a.get('src'):
            self.targets.append((tag, a['src']))
        elif tag == 'param' and (a.get('name') or '').lower() == 'local':
            self.locals.append(a.get('value') or '')
        elif tag == 'param' and (a.get('name') or '').lower() == 'name':
            self.names.append(a.get('value') or '')

    def handle_endtag(self, tag):
        if tag == 'title':
            self.in_title = False

    def handle_data(self, data):
        if self.in_title:
            self.title += data


def parse(folder, name):
    with open(os.path.join(folder, name), encoding='utf-8') as f:
        text = f.read()
    page = Page()
    page.feed(text)
    return text, page


def main():
    folder = sys.argv[1]
    faults = []
    names = sorted(os.listdir(folder))
    pages = [n for n in names if n.endswith('.html')]
    parsed = {n: parse(folder, n) for n in names if n.endswith(('.html', '.hhc', '.hhk', '.hhp', '.css'))}

    def check_target(where, url):
        if url.lower().startswith(SCHEMES):
            return
        path, _, anchor = url.partition('#')
        target = path or where
        if target not in names:
            faults.append('%s: %s is not in the help' % (where, url))
        elif anchor and target.endswith('.html') and anchor not in parsed[target][1].anchors:
            faults.append('%s: %s has no anchor %s' % (where, target, anchor))

    for name, (text, page) in parsed.items():
        # What HTML Help reads as bytes: the pages, contents, index and project.
        try:
            text.encode('cp932')
            (page.title + ''.join(page.names)).encode('cp932')
        except UnicodeEncodeError as error:
            faults.append('%s: %r has no code page 932 form' % (name, error.object[error.start:error.end]))
        for _, url in page.targets:
            check_target(name, url)
    for name in pages:
        if not parsed[name][1].title.strip():
            faults.append('%s: no title' % name)
    for listing in ('toc.hhc', 'index.hhk'):
        page = parsed[listing][1]
        for url in page.locals:
            check_target(listing, url)
        listed = {url.partition('#')[0] for url in page.locals}
        for name in pages:
            if name not in listed:
                faults.append('%s does not list %s' % (listing, name))
    project = parsed['KORVEL.hhp'][0]
    files = re.search(r'^\[FILES\]\n(.*?)(^\[|\Z)', project, re.M | re.S)
    listed = set(files.group(1).split()) if files else set()
    for name in pages + [n for n in names if n.endswith(('.css', '.png'))]:
        if name not in listed:
            faults.append('KORVEL.hhp does not list %s' % name)

    for fault in faults:
        print(fault)
    print('%d pages checked, %d faults' % (len(pages), len(faults)))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
