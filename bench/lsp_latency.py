#!/usr/bin/env python3
"""stylo-lsp's time from a one-character edit to its diagnostics, and its memory.

Opens a generated C document of about 1 MB (one finding per 30 lines)
in the server, then sends one-character edits, each an insertion or the
removal of the character inserted before, somewhere in the middle of the
document, and times each from the moment the change is written to the pipe
until the server's publishDiagnostics for that version has been read whole.
Prints the median, the 90th percentile and the worst, and the server's peak
resident memory (VmHWM) against the budget of twice the documents' size plus
16 MiB. Exits 1 when the median is over 10 ms or the memory over budget.

Usage: lsp_latency.py path/to/stylo-lsp [edits] [megabytes]
"""
import json
import os
import statistics
import subprocess
import sys
import time


def make_document(size):
    block = (
        "static int count_{n}(const char *s, int limit)\n"
        "{{\n"
        "    int n = 0;\n"
        "    /* walk the text: if( here is in a comment */\n"
        "    while (*s != '\\0' && n < limit) {{\n"
        "        if (*s == '(' || *s == ')')\n"
        "            n += 1;\n"
        "        s++;\n"
        "    }}\n"
        "    for (int i = 0; i < 3; i++)\n"
        "        n = n * 2 + i;\n"
        "    printf(\"%d if(x) =-\\n\", n);\n"
        "    return n == -1 ? 0 : n;\n"
        "}}\n\n"
    )
    parts, total, n = [], 0, 0
    while total < size:
        text = block.format(n=n)
        if n % 4 == 1:
            text = text.replace("n = n * 2 + i", "n =-n * 2 + i")
        if n % 4 == 3:
            text = text.replace("for (int", "for(int")
        parts.append(text)
        total += len(text)
        n += 1
    return "".join(parts)


class client:
    def __init__(self, program):
        self.p = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
        self.held = b""

    def send(self, message):
        body = json.dumps(message).encode()
        self.p.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def more(self):
        chunk = os.read(self.p.stdout.fileno(), 1 << 20)
        if not chunk:
            raise EOFError("the server closed its output")
        self.held += chunk

    def receive_body(self):
        while b"\r\n\r\n" not in self.held:
            self.more()
        header, _, self.held = self.held.partition(b"\r\n\r\n")
        length = int(header.split(b":")[1])
        while len(self.held) < length:
            self.more()
        body, self.held = self.held[:length], self.held[length:]
        return body

    def receive(self):
        return json.loads(self.receive_body())

    def wait_for(self, method):
        """The body of the next message of `method`, unparsed: the clock
        stops once it has been read whole."""
        marker = b'"method":"' + method.encode() + b'"'
        while True:
            body = self.receive_body()
            if marker in body[:120]:
                return body


def peak_memory_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def main():
    program = sys.argv[1]
    edits = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    megabytes = float(sys.argv[3]) if len(sys.argv) > 3 else 1.0
    text = make_document(int(megabytes * 1024 * 1024))
    lines = text.split("\n")
    c = client(program)
    c.send({"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {}}})
    c.receive()
    c.send({"jsonrpc": "2.0", "method": "initialized", "params": {}})
    uri = "file:///bench.c"
    c.send({"jsonrpc": "2.0", "method": "textDocument/didOpen",
            "params": {"textDocument": {"uri": uri, "languageId": "c", "version": 1, "text": text}}})
    first = json.loads(c.wait_for("textDocument/publishDiagnostics"))
    findings = len(first["params"]["diagnostics"])
    times = []
    version = 1
    for i in range(edits):
        line = len(lines) // 2 + (i // 2) % 1000
        at = {"line": line, "character": 0}
        if i % 2 == 0:
            change = {"range": {"start": at, "end": at}, "text": "x"}
        else:
            change = {"range": {"start": at, "end": {"line": line, "character": 1}}, "text": ""}
        version += 1
        message = {"jsonrpc": "2.0", "method": "textDocument/didChange",
                   "params": {"textDocument": {"uri": uri, "version": version}, "contentChanges": [change]}}
        body = json.dumps(message).encode()
        framed = b"Content-Length: %d\r\n\r\n" % len(body) + body
        start = time.perf_counter()
        c.p.stdin.write(framed)
        published = c.wait_for("textDocument/publishDiagnostics")
        times.append((time.perf_counter() - start) * 1000)
        published = json.loads(published)
        assert published["params"]["version"] == version
        assert len(published["params"]["diagnostics"]) == findings
    peak = peak_memory_kib(c.p.pid)
    c.send({"jsonrpc": "2.0", "id": 2, "method": "shutdown"})
    c.receive()
    c.send({"jsonrpc": "2.0", "method": "exit"})
    status = c.p.wait()
    times.sort()
    size_kib = len(text.encode()) / 1024
    budget = 2 * size_kib + 16 * 1024
    median = statistics.median(times)
    print(f"document: {size_kib / 1024:.2f} MiB, {len(lines)} lines, {findings} findings")
    print(f"one-character edit to diagnostics published, over {edits} edits: median {median:.2f} ms, "
          f"90th percentile {times[int(len(times) * 0.9)]:.2f} ms, worst {times[-1]:.2f} ms")
    print(f"peak memory (VmHWM): {peak / 1024:.1f} MiB; budget 2 x document + 16 MiB = {budget / 1024:.1f} MiB")
    print(f"exit status after shutdown and exit: {status}")
    ok = median <= 10 and peak <= budget and status == 0
    print("within budget" if ok else "OVER BUDGET")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
