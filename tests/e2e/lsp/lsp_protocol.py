#!/usr/bin/env python3
"""Drives `tolvane-cli lsp` over pipes as an editor would, then feeds it bad
input; the server must answer every request and keep running.
Usage: lsp_protocol.py TOLVANE_CLI"""
import json
import os
import select
import subprocess
import sys
import tempfile

cli = sys.argv[1]
fails = 0


def check(name, ok, detail=""):
    global fails
    print(("ok   " if ok else "FAIL ") + name + ("" if ok else "  " + str(detail)[:400]))
    if not ok:
        fails += 1


class Client:
    def __init__(self):
        self.p = subprocess.Popen([cli, "lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.next_id = 0
        self.notes = []  # notifications received while waiting for answers
        self.buf = b""

    def raw(self, data):
        self.p.stdin.write(data)
        self.p.stdin.flush()

    def send(self, obj):
        body = json.dumps(obj).encode()
        self.raw(b"Content-Length: %d\r\n\r\n" % len(body) + body)

    def fill(self, timeout):
        r, _, _ = select.select([self.p.stdout], [], [], timeout)
        if not r:
            raise TimeoutError("no answer")
        data = os.read(self.p.stdout.fileno(), 1 << 16)
        if not data:
            raise EOFError("server closed its output")
        self.buf += data

    def read(self, timeout=60):
        while b"\r\n\r\n" not in self.buf:
            self.fill(timeout)
        head, _, self.buf = self.buf.partition(b"\r\n\r\n")
        length = int(head.split(b"Content-Length: ")[1].split(b"\r\n")[0])
        while len(self.buf) < length:
            self.fill(timeout)
        body, self.buf = self.buf[:length], self.buf[length:]
        return json.loads(body)

    def answer(self, id_):
        while True:
            m = self.read()
            if m.get("id") == id_ and "method" not in m:
                return m
            self.notes.append(m)

    def request(self, method, params):
        self.next_id += 1
        self.send({"jsonrpc": "2.0", "id": self.next_id, "method": method, "params": params})
        return self.answer(self.next_id)

    def notify(self, method, params):
        self.send({"jsonrpc": "2.0", "method": method, "params": params})

    def diagnostics(self, uri):
        """The next diagnostics published for uri."""
        for i, m in enumerate(self.notes):
            if m.get("method") == "textDocument/publishDiagnostics" and m["params"]["uri"] == uri:
                del self.notes[i]
                return m["params"]["diagnostics"]
        while True:
            m = self.read()
            if m.get("method") == "textDocument/publishDiagnostics" and m["params"]["uri"] == uri:
                return m["params"]["diagnostics"]
            self.notes.append(m)


tmp = tempfile.mkdtemp()
# A file on disk in CP932, never opened: its START label is found all the same.
with open(os.path.join(tmp, "sub.cas"), "wb") as f:
    f.write("SUB\tSTART\t\t; 副プログラム\n\tRET\n\tEND\n".encode("cp932"))
a_uri = "file://" + tmp + "/main.cas"
A = ("MAIN\tSTART\n"              # 0
     "\tLD\tGR1,DATA\t; 読む\n"    # 1
     "\tCALL\tSUB\n"               # 2
     "\tRET\n"                     # 3
     "MSG\tDC\t'日本',DATA\n"      # 4: DATA at UTF-16 column 12 (byte 14)
     "DATA\tDC\t5\n"               # 5
     "\tEND\n")                    # 6

c = Client()
m = c.request("textDocument/hover", {"textDocument": {"uri": a_uri}, "position": {"line": 0, "character": 0}})
check("a request before initialize is refused", m.get("error", {}).get("code") == -32002, m)
m = c.request("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
caps = m["result"]["capabilities"]
for cap in ["definitionProvider", "referencesProvider", "hoverProvider", "documentSymbolProvider",
            "completionProvider", "signatureHelpProvider", "renameProvider", "documentFormattingProvider",
            "codeActionProvider", "textDocumentSync"]:
    check("capability " + cap, cap in caps, caps)
c.notify("initialized", {})

c.notify("textDocument/didOpen", {"textDocument": {"uri": a_uri, "languageId": "casl2", "version": 1, "text": A}})
check("a clean source publishes no diagnostics", c.diagnostics(a_uri) == [])

pos = lambda line, ch: {"textDocument": {"uri": a_uri}, "position": {"line": line, "character": ch}}
m = c.request("textDocument/definition", pos(4, 13))
check("definition after a double-byte string", m["result"] and m["result"]["range"]["start"]["line"] == 5, m)
m = c.request("textDocument/definition", pos(2, 6))
check("definition in a CP932 file on disk", m["result"] and m["result"]["uri"].endswith("/sub.cas"), m)
sub_uri = m["result"]["uri"]
c.notify("textDocument/didOpen", {"textDocument": {"uri": sub_uri, "languageId": "casl2", "version": 1,
                                                   "text": "; edited\nSUB\tSTART\n\tRET\n\tEND\n"}})
c.diagnostics(sub_uri)
m = c.request("textDocument/definition", pos(2, 6))
check("the open text wins over the file", m["result"]["range"]["start"]["line"] == 1, m)
c.notify("textDocument/didClose", {"textDocument": {"uri": sub_uri}})
c.diagnostics(sub_uri)
m = c.request("textDocument/definition", pos(2, 6))
check("a closed file is read again from disk", m["result"] and m["result"]["range"]["start"]["line"] == 0, m)
m = c.request("textDocument/references", dict(pos(5, 1), context={"includeDeclaration": True}))
got = sorted((r["range"]["start"]["line"], r["range"]["start"]["character"], r["range"]["end"]["character"])
             for r in m["result"])
check("references in UTF-16 columns", got == [(1, 8, 12), (4, 12, 16), (5, 0, 4)], got)
m = c.request("textDocument/hover", pos(1, 1))
check("hover explains LD", "LD（ロード）" in m["result"]["contents"]["value"], m)
m = c.request("textDocument/hover", pos(1, 9))
check("hover on a label shows its value", "0005" in m["result"]["contents"]["value"], m)
m = c.request("textDocument/completion", pos(3, 1))
items = {i["label"]: i for i in m["result"]["items"]}
check("completion of instructions with snippets",
      items.get("LD", {}).get("insertText") == "LD\t${1:r},${2:adr}" and items["LD"]["insertTextFormat"] == 2,
      items.get("LD"))
m = c.request("textDocument/completion", pos(1, 8))
labels = {i["label"] for i in m["result"]["items"]}
check("completion of registers and labels", {"GR0", "GR7", "DATA", "MSG", "SUB"} <= labels, labels)
m = c.request("textDocument/signatureHelp", pos(1, 8))
check("signature help", m["result"]["signatures"][0]["label"] == "LD r,adr[,x]" and
      m["result"]["activeParameter"] == 1, m)
m = c.request("textDocument/documentSymbol", {"textDocument": {"uri": a_uri}})
check("symbols", [s["name"] for s in m["result"]] == ["MAIN"] and
      [s["name"] for s in m["result"][0]["children"]] == ["MSG", "DATA"], m)
m = c.request("textDocument/rename", dict(pos(5, 0), newName="VALUE"))
check("rename", len(m["result"]["changes"][a_uri]) == 3, m)
m = c.request("textDocument/rename", dict(pos(5, 0), newName="gr1"))
check("rename to a bad name is refused", m.get("error", {}).get("code") == -32803, m)
m = c.request("textDocument/formatting", {"textDocument": {"uri": a_uri}, "options": {"tabSize": 8, "insertSpaces": True}})
check("formatting keeps the string", any("'日本',DATA" in e["newText"] for e in m["result"]), m)

# Changes: incremental and full.
c.notify("textDocument/didChange", {"textDocument": {"uri": a_uri, "version": 2}, "contentChanges": [
    {"range": {"start": {"line": 3, "character": 0}, "end": {"line": 3, "character": 0}}, "text": "\tld\tGR1,DATA\n"}]})
d = c.diagnostics(a_uri)
check("an incremental change is analysed", len(d) == 1 and d[0]["range"]["start"]["line"] == 3 and
      d[0]["message"] == "CASLIIにない命令があります。", d)
check("a diagnostic marks its field and names its code",
      d[0]["range"]["start"]["character"] == 1 and d[0]["range"]["end"]["character"] == 3 and
      d[0]["code"] == "A014" and d[0]["severity"] == 1, d)
c.notify("textDocument/didChange", {"textDocument": {"uri": a_uri, "version": 3}, "contentChanges": [
    {"text": "MAIN\tSTART\n\tRET\n"}]})
d = c.diagnostics(a_uri)
check("a full change is analysed", "END文で終了していません。" in [x["message"] for x in d], d)
m = c.request("textDocument/codeAction", {"textDocument": {"uri": a_uri}, "range": {
    "start": {"line": 0, "character": 0}, "end": {"line": 2, "character": 0}}, "context": {"diagnostics": d}})
check("a quick fix adds END", any(a["title"] == "END を追加" for a in m["result"]), m)

# Bad input: each gets its error answer and the server goes on.
c.raw(b"Content-Length: 9\r\n\r\n{not json")
check("malformed JSON", c.answer(None)["error"]["code"] == -32700)
c.raw(b"X-Junk: 1\r\n\r\n")
check("a header without its length", c.answer(None)["error"]["code"] == -32700)
c.raw(b"Content-Length: -1\r\n\r\n")
check("a negative length is refused, not waited on", c.answer(None)["error"]["code"] == -32700)
c.raw(b"Content-Length : 2\r\n\r\n{}")
check("a blank before the colon is refused", c.answer(None)["error"]["code"] == -32700)
c.send([1, 2])
check("an array is an invalid request", c.answer(None)["error"]["code"] == -32600)
m = c.request("textDocument/frobnicate", {})
check("unknown method", m.get("error", {}).get("code") == -32601, m)
c.notify("$/unknownNotification", {})
m = c.request("textDocument/definition", pos(9999, 0))
check("position out of range", m.get("error", {}).get("code") == -32602, m)
m = c.request("textDocument/definition", {"textDocument": {"uri": a_uri}})
check("missing parameters", m.get("error", {}).get("code") == -32602, m)
m = c.request("textDocument/hover", {"textDocument": {"uri": "file:///nowhere.cas"}, "position": {"line": 0, "character": 0}})
check("unknown document", "error" in m, m)
huge = "\tNOP\n" * (100 * 1024 * 1024 // 5)
c.notify("textDocument/didOpen", {"textDocument": {"uri": "file:///huge.cas", "languageId": "casl2", "version": 1,
                                                   "text": huge}})
check("a 100 MB message is answered with an error", c.answer(None)["error"]["code"] == -32600)
m = c.request("textDocument/hover", pos(0, 1))
check("still serving after all that", "START" in m["result"]["contents"]["value"], m)

m = c.request("shutdown", None)
check("shutdown", "result" in m and m["result"] is None, m)
c.notify("exit", None)
check("exit status 0 after shutdown", c.p.wait(timeout=10) == 0)
sys.exit(1 if fails else 0)
