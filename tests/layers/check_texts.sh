#!/usr/bin/env bash
# Only the two text tables and the two sets of menus and dialogs carry a language. Prints
# what is wrong and fails when a literal of the program holds Japanese outside the Japanese
# table (the INI section name is a key, not a text), when anything English holds non-ASCII,
# when a text takes other printf conversions in one language than in the other (the
# message would read its numbers wrongly), or when the .rc files' menus and dialogs differ
# in their controls (kind and id, in order).
set -euo pipefail
exec python3 - "${1:-$(cd "$(dirname "$0")/../.." && pwd)}" <<'PY'
import os, re, sys
root, problems = sys.argv[1], []
read = lambda path: open(os.path.join(root, path), encoding='utf-8').read()
japanese = lambda s: any(ord(c) > 127 for c in s)
token = re.compile(r'//[^\n]*|/\*.*?\*/|"((?:\\.|[^"\\\n])*)"|\'((?:\\.|[^\'\\\n])*)\'', re.S)

def literals(text):  # (line, body) of the string and character literals outside comments
    for m in token.finditer(text):
        if not m.group(0).startswith('/'):
            yield text.count('\n', 0, m.start()) + 1, m.group(1) if m.group(1) is not None else m.group(2)

for folder in ('app', 'ui', 'output', 'core', 'capture', 'composite', 'hook'):
    for directory, _, files in os.walk(os.path.join(root, folder)):
        for path in sorted(os.path.relpath(os.path.join(directory, f), root) for f in files if f.endswith(('.cpp', '.h'))):
            for line, body in literals(read(path)) if not path.startswith('core/texts_') else ():
                if japanese(body) and (path, body) != ('core/settings.cpp', 'メインウィンドウ'):
                    problems.append(f'{path}:{line}: non-ASCII "{body}" (texts belong in core/texts_*.h)')

def table(path):  # {name: text} of a table's rows, in order
    rows = re.findall(r'\{\s*Text::(\w+)\s*,((?:\s*"(?:\\.|[^"\\])*")+)\s*\}', read(path))
    return {name: ''.join(body for _, body in literals(text)) for name, text in rows}

def conversions(text):  # each as its stars, size and type: flags and widths may differ
    found = re.findall(r'%[-+ #0]*(\*?)\d*(?:\.(\*?)\d*)?(hh|h|ll|l|L|z|j|t|I64|I)?([diouxXeEfFgGaAcspn])',
                       text.replace('%%', ''))
    return [''.join(parts) for parts in found]
ja, en = table('core/texts_japanese.h'), table('core/texts_english.h')
if list(ja) != list(en) or not ja:
    problems.append('core/texts_japanese.h and core/texts_english.h hold other rows')
for name in [n for n in ja if n in en]:
    a, b = conversions(ja[name]), conversions(en[name])
    if a != b:
        problems.append(f'Text::{name}: Japanese takes {a}, English {b}')

def controls(path):  # {resource: [(kind, id...)]}: the statements inside each BEGIN ... END
    found, current, depth = {}, None, 0
    text = re.sub(r',\s*\n\s*', ', ', re.sub(r'//[^\n]*', '', read(path)))
    for line in text.splitlines():
        words = re.sub(r'"(?:\\.|[^"\\])*"', '""', line).split()
        if not words:
            continue
        if depth == 0 and len(words) > 1 and words[1] in ('MENU', 'DIALOGEX', 'DIALOG'):
            current = found.setdefault(f'{words[1]} {words[0]}', [])
        elif words[0] in ('BEGIN', 'END'):
            depth += 1 if words[0] == 'BEGIN' else -1
        elif depth and current is not None and re.match(r'[A-Z]+$', words[0]):
            args = [a.strip() for a in ' '.join(words[1:]).split(',') if a.strip() != '""']
            current.append((words[0], *args[:2 if words[0] == 'CONTROL' else 1]))
    return found
ui_ja, ui_en = controls('resources/ui_japanese.rc'), controls('resources/ui_english.rc')
if list(ui_ja) != list(ui_en):
    problems.append(f'the .rc files hold other menus or dialogs: {list(ui_ja)} and {list(ui_en)}')
for name in [n for n in ui_ja if n in ui_en]:
    differ = [(i + 1, a, b) for i, (a, b) in enumerate(zip(ui_ja[name], ui_en[name])) if a != b][:1]
    if differ or len(ui_ja[name]) != len(ui_en[name]):
        problems.append(f'{name}: line {differ[0][0]} is {differ[0][1]} in Japanese, {differ[0][2]} in English'
                        if differ else f'{name}: {len(ui_ja[name])} lines in Japanese, {len(ui_en[name])} in English')
for path in ('core/texts_english.h', 'resources/ui_english.rc'):
    problems += [f'{path}:{line}: non-ASCII "{body}"' for line, body in literals(read(path)) if japanese(body)]

print('\n'.join(problems) or f'{len(ja)} texts and {sum(map(len, ui_ja.values()))} menu and dialog lines agree')
sys.exit(1 if problems else 0)
PY
