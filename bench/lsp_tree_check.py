#!/usr/bin/env python3
# stylo-lsp on real source files: opens each file in one session, inserts a
# line holding non-ASCII text and three findings, and holds every
# diagnostic, turned back into byte positions here, to stylo-report's json
# findings on the same bytes.
#
#   find TREE -name "*.c" | python3 bench/lsp_tree_check.py build/stylo-lsp build/stylo-report utf-16
import json, os, re, subprocess, sys, tempfile
lsp, report, encoding = sys.argv[1], sys.argv[2], sys.argv[3]
files = [l.rstrip("\n") for l in sys.stdin]
p = subprocess.Popen([lsp], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
def send(m):
    b = json.dumps(m).encode(); p.stdin.write(b"Content-Length: %d\r\n\r\n" % len(b) + b); p.stdin.flush()
def recv():
    n = None
    while True:
        line = p.stdout.readline()
        if line in (b"\r\n", b"\n"): break
        m = re.match(rb"Content-Length: *(\d+)", line, re.I)
        if m: n = int(m.group(1))
    return json.loads(p.stdout.read(n))
send({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"processId":None,"rootUri":None,"capabilities":{"general":{"positionEncodings":[encoding]}}}})
r = recv(); assert r["result"]["capabilities"].get("positionEncoding","utf-16") == encoding, r
send({"jsonrpc":"2.0","method":"initialized","params":{}})
def expected(text):
    with tempfile.NamedTemporaryFile(suffix=".c", delete=False) as f: f.write(text); name = f.name
    out = subprocess.run([report, "--format=json", name], capture_output=True).stdout
    os.unlink(name)
    return [(o["line"], o["column"], o["end_column"], o["rule"]) for o in map(json.loads, out.splitlines())]
def byte_col(line_bytes, ch):
    if encoding == "utf-8": return ch
    units = 0; i = 0
    while i < len(line_bytes) and units < ch:
        b = line_bytes[i]; n = 1 if b < 0x80 else 2 if b >> 5 == 6 else 3 if b >> 4 == 14 else 4 if b >> 3 == 30 else 1
        seq = line_bytes[i:i+n]
        try: seq.decode("utf-8"); units += 2 if n == 4 else 1; i += n
        except UnicodeDecodeError: units += 1; i += 1
    return i
def got(text, diags):
    # protocol lines end at CR LF, LF or a lone CR; stylo's only at LF
    starts = [0]; i = 0
    while i < len(text):
        if text[i:i+2] == b"\r\n": i += 2; starts.append(i); continue
        if text[i:i+1] in (b"\n", b"\r"): starts.append(i + 1)
        i += 1
    lf_starts = [0] + [m.end() for m in re.finditer(b"\n", text)]
    import bisect
    out = []
    for d in diags:
        s, e = d["range"]["start"], d["range"]["end"]
        def off(pos):
            ls = starts[pos["line"]]; le = starts[pos["line"]+1] if pos["line"]+1 < len(starts) else len(text)
            return ls + byte_col(text[ls:le], pos["character"])
        a, b = off(s), off(e)
        ln = bisect.bisect_right(lf_starts, a)
        out.append((ln, a - lf_starts[ln-1] + 1, b - lf_starts[ln-1] + 1, d["code"]))
    return out
def diagnostics_for(uri):
    while True:
        m = recv()
        if m.get("method") == "textDocument/publishDiagnostics" and m["params"]["uri"] == uri: return m["params"]["diagnostics"]
checked = findings = 0
for n, path in enumerate(files):
    text = open(path, "rb").read()
    if b"\x1a" in text: continue
    uri = "file:///doc%d.c" % n
    try: s = text.decode("utf-8")
    except UnicodeDecodeError: continue  # the protocol carries text, not bytes
    send({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":{"uri":uri,"languageId":"c","version":1,"text":s}}})
    d = diagnostics_for(uri); e = expected(text)
    if got(text, d) != e: print("MISMATCH open", path, got(text, d)[:3], e[:3]); sys.exit(1)
    findings += len(e)
    # an edit: insert a line with a finding before line 2, then remove line 1
    ins = "if(x) y=-1; /* \u00e9\U0001F600 */ while(z)\n"
    send({"jsonrpc":"2.0","method":"textDocument/didChange","params":{"textDocument":{"uri":uri,"version":2},"contentChanges":[{"range":{"start":{"line":1,"character":0},"end":{"line":1,"character":0}},"text":ins}]}})
    d = diagnostics_for(uri)
    # protocol line 1 starts after the first CR LF, LF or lone CR
    m = re.search(r"\r\n|\n|\r", s); cut = m.end() if m else len(s)
    s2 = s[:cut] + ins + s[cut:]
    t2 = s2.encode()
    e = expected(t2)
    if got(t2, d) != e: print("MISMATCH edit", path, got(t2, d)[:3], e[:3]); sys.exit(1)
    findings += len(e)
    send({"jsonrpc":"2.0","method":"textDocument/didClose","params":{"textDocument":{"uri":uri}}})
    diagnostics_for(uri)
    checked += 1
send({"jsonrpc":"2.0","id":2,"method":"shutdown"}); 
while recv().get("id") != 2: pass
send({"jsonrpc":"2.0","method":"exit"}); p.stdin.close(); print("%s: %d files opened and edited, %d findings, all equal to stylo-report's, exit %d" % (encoding, checked, findings, p.wait()))
