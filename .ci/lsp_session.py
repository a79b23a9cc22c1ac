#!/usr/bin/env python3
"""One whole language-server session against a built stylo-lsp, for the
release checks: initialize, open a C file, shutdown, exit, all written at
once on standard input. Passes when the server answers initialize, publishes
for the file exactly the findings of stylo's output (line and text, in
order), answers shutdown, and exits with status 0.

usage: lsp_session.py <file.c> <stylo's output for it> <command...>
(the command may be a runner, qemu or wine, followed by the program)
"""
import json
import re
import subprocess
import sys


def frame(message):
    body = json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n%s" % (len(body), body)


def messages(data):
    while data:
        header, separator, rest = data.partition(b"\r\n\r\n")
        if not separator:
            raise ValueError("output ends inside a header: %r" % data[:200])
        length = re.search(rb"Content-Length: *(\d+)", header, re.I)
        if not length:
            raise ValueError("a header without Content-Length: %r" % header)
        size = int(length.group(1))
        yield json.loads(rest[:size])
        data = rest[size:]


def main():
    source, expected_file, command = sys.argv[1], sys.argv[2], sys.argv[3:]
    with open(source, encoding="utf-8") as f:
        text = f.read()
    expected = []
    with open(expected_file, encoding="utf-8") as f:
        for line in f:
            found = re.match(r"^.*\((\d+)\): warning: (.*)$", line.rstrip("\r\n"))
            if not found:
                sys.exit("not a warning line of stylo: %r" % line)
            expected.append((int(found.group(1)), found.group(2)))
    if not expected:
        sys.exit("stylo finds nothing in %s: nothing to compare" % source)
    uri = "file:///work/demo.c"
    session = b"".join(frame(m) for m in [
        {"jsonrpc": "2.0", "id": 1, "method": "initialize",
         "params": {"processId": None, "rootUri": None, "capabilities": {}}},
        {"jsonrpc": "2.0", "method": "initialized", "params": {}},
        {"jsonrpc": "2.0", "method": "textDocument/didOpen",
         "params": {"textDocument": {"uri": uri, "languageId": "c", "version": 1, "text": text}}},
        {"jsonrpc": "2.0", "id": 2, "method": "shutdown"},
        {"jsonrpc": "2.0", "method": "exit"},
    ])
    run = subprocess.run(command, input=session, capture_output=True, timeout=120)
    if run.returncode != 0:
        sys.exit("%s exited with status %d: %s" % (command[-1], run.returncode, run.stderr.decode(errors="replace")))
    replies = {}
    published = None
    for message in messages(run.stdout):
        if "id" in message and "method" not in message:
            replies[message["id"]] = message
        elif message.get("method") == "textDocument/publishDiagnostics" and message["params"]["uri"] == uri:
            published = message["params"]["diagnostics"]
    if "capabilities" not in replies.get(1, {}).get("result", {}):
        sys.exit("no initialize result with capabilities: %r" % replies.get(1))
    if 2 not in replies or "error" in replies[2]:
        sys.exit("shutdown was not answered: %r" % replies.get(2))
    if published is None:
        sys.exit("no diagnostics published for the file")
    got = [(d["range"]["start"]["line"] + 1, d["message"]) for d in published]
    if got != expected:
        sys.exit("the diagnostics are not stylo's findings:\n got %r\n expected %r" % (got, expected))
    print("%s: %d diagnostics, those of stylo" % (command[-1], len(got)))


main()
