#!/usr/bin/env python3
# help_pages_test.py HELP_DIR: every link and image a page names is in the help
# (its anchor too), every page has a title, the contents, the index and the
# project list every page, and what HTML Help reads as code page 932 has a form there.

import html.parser
import os
import re
import sys


class Page(html.parser.HTMLParser):
    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.title, self.in_title = '', False
        self.targets, self.anchors, self.params = [], set(), {'local': [], 'name': []}
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == 'param':
            self.params.get((a.get('name') or '').lower(), []).append(a.get('value') or '')
            return
        self.anchors.update(a[k] for k in ('id', 'name') if a.get(k))
        self.in_title = self.in_title or tag == 'title'
        url = a.get('href') if tag in ('a', 'link') else a.get('src') if tag == 'img' else None
        if url:
            self.targets.append(url)

    def handle_endtag(self, tag):
        self.in_title = self.in_title and tag != 'title'

    def handle_data(self, data):
        self.title += data if self.in_title else ''


def main(folder):
    names = sorted(os.listdir(folder))
    pages = [n for n in names if n.endswith('.html')]
    texts = {n: open(os.path.join(folder, n), encoding='utf-8').read()
             for n in names if n.endswith(('.html', '.hhc', '.hhk', '.hhp', '.css'))}
    parsed = {n: Page(t) for n, t in texts.items()}
    faults = []

    def check_target(where, url):
        if re.match(r'[a-z-]+:', url, re.I):
            return  # another scheme: not the help's
        path, _, anchor = url.partition('#')
        target = path or where
        if target not in names:
            faults.append('%s: %s is not in the help' % (where, url))
        elif anchor and anchor not in parsed[target].anchors:
            faults.append('%s: %s has no anchor %s' % (where, target, anchor))

    for name, page in parsed.items():
        try:
            (texts[name] + page.title + ''.join(page.params['name'])).encode('cp932')
        except UnicodeEncodeError as error:
            faults.append('%s: %r has no code page 932 form' % (name, error.object[error.start:error.end]))
        for url in page.targets + page.params['local']:
            check_target(name, url)
        if name in pages and not page.title.strip():
            faults.append('%s: no title' % name)
    for listing in ('toc.hhc', 'index.hhk'):
        listed = {url.partition('#')[0] for url in parsed[listing].params['local']}
        faults += ['%s does not list %s' % (listing, n) for n in pages if n not in listed]
    files = re.search(r'^\[FILES\]\n(.*?)(^\[|\Z)', texts['KORVEL.hhp'], re.M | re.S)
    listed = set(files.group(1).split()) if files else set()
    faults += ['KORVEL.hhp does not list %s' % n for n in names
               if n.endswith(('.html', '.css', '.png')) and n not in listed]

    print('\n'.join(faults + ['%d pages checked, %d faults' % (len(pages), len(faults))]))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
