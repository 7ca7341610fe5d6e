"""Stand-ins of the three web bug trackers (loaded by scripts/net-peers.py), on 127.0.0.1:
Mantis on 8181 (/mantis/), Bugzilla on 8182 (/bugzilla/), FogBugz on 8183 (/fogbugz/). Their
HTML forms carry the values the crash component scrapes; logging in sets a session cookie that
every later page requires (without it: a redirect to the login page). The account is "kolvane"
with password "secret". The issue a search finds depends on the BugID in the search text:
  OPEN41  an open issue whose title carries the count 41 (number 41)
  CLOSED  a closed issue (number 80)
  other   nothing found
Every request is recorded into the peers' folder as lines of trackers-<port>.log:
  == <METHOD> <path and query> cookie=<0|1>
  field <name>=<value>      (query and body fields; CR and LF written as \\r and \\n)
  file <name>=<file name> <size> upload-<port>-<n>.bin   (the part's bytes saved in that file)
"""
import html
import itertools
import os
import re
import secrets
import threading
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

HOST = "127.0.0.1"
USER = "kolvane"
PASSWORD = "secret"

_lock = threading.Lock()
_uploads = itertools.count(1)
_sessions = {}  # cookie value -> dict of session state


def _escape(text):
    return text.replace("\r", "\\r").replace("\n", "\\n")


def _parse_multipart(body, content_type):
    """(fields, files) of a multipart/form-data body; files as (name, filename, bytes)."""
    m = re.search(r"boundary=(\S+)", content_type)
    fields, files = [], []
    if not m:
        return fields, files
    delimiter = b"--" + m.group(1).encode("latin-1")
    for part in body.split(delimiter)[1:]:
        if part.startswith(b"--"):
            break
        part = part[2:] if part.startswith(b"\r\n") else part
        head, _, content = part.partition(b"\r\n\r\n")
        if content.endswith(b"\r\n"):
            content = content[:-2]
        head = head.decode("latin-1")
        name = re.search(r'name="([^"]*)"', head)
        filename = re.search(r'filename="([^"]*)"', head)
        if not name:
            continue
        if filename:
            files.append((name.group(1), filename.group(1), content))
        else:
            fields.append((name.group(1), content.decode("latin-1")))
    return fields, files


class TrackerHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "KolvaneTracker/1.0"
    folder = None
    port = 0

    def log_message(self, format, *args):
        pass

    # ---- plumbing ----

    def _receive(self):
        url = urllib.parse.urlsplit(self.path)
        self.document = url.path.rsplit("/", 1)[-1]
        self.folder_path = url.path[: len(url.path) - len(self.document)]
        fields = urllib.parse.parse_qsl(url.query, keep_blank_values=True, encoding="latin-1")
        files = []
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        content_type = self.headers.get("Content-Type", "")
        if content_type.startswith("multipart/form-data"):
            more, files = _parse_multipart(body, content_type)
            fields += more
        elif body:
            fields += urllib.parse.parse_qsl(body.decode("latin-1"), keep_blank_values=True,
                                             encoding="latin-1")
        self.fields = fields
        self.values = {}
        for k, v in fields:
            self.values.setdefault(k, v)
        cookie = re.search(r"session=(\w+)", self.headers.get("Cookie", ""))
        self.session = _sessions.get(cookie.group(1)) if cookie else None
        lines = [f"== {self.command} {self.path} cookie={1 if self.session is not None else 0}"]
        lines += [f"field {k}={_escape(v)}" for k, v in fields]
        with _lock:
            for name, filename, content in files:
                saved = f"upload-{self.port}-{next(_uploads)}.bin"
                with open(os.path.join(self.folder, saved), "wb") as f:
                    f.write(content)
                lines.append(f"file {name}={filename} {len(content)} {saved}")
            with open(os.path.join(self.folder, f"trackers-{self.port}.log"), "a",
                      encoding="latin-1", newline="\n") as f:
                f.write("\n".join(lines) + "\n")

    def _send(self, status, page="", headers=()):
        data = page.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(data)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def _redirect(self, location, status=302, headers=()):
        self._send(status, "", [("Location", location), *headers])

    def _login(self):
        token = secrets.token_hex(8)
        _sessions[token] = {}
        return [("Set-Cookie", f"session={token}; path=/")]

    def _found(self, text):
        """The number of the issue a search text finds, or None."""
        if "(OPEN41)" in text:
            return 41
        if "(CLOSED)" in text:
            return 80
        return None

    def do_GET(self):
        self._receive()
        self.dispatch()

    do_POST = do_GET


# ---- Mantis ----

MANTIS_PROJECTS = ('<select name="project_id"><option value="1">Other</option>'
                   '<option value="5">Kolvane</option></select>')


class MantisHandler(TrackerHandler):
    def dispatch(self):
        d, v, base = self.document, self.values, self.folder_path
        if d == "login.php":
            if v.get("username") == USER and v.get("password") == PASSWORD:
                return self._redirect(base + v.get("return", "my_view_page.php"),
                                      headers=self._login())
            return self._redirect(base + "login_page.php?error=1")
        if d == "login_page.php":
            return self._send(200, '<form action="login.php"><input name="username"></form>')
        if self.session is None:
            return self._redirect(base + "login_page.php")
        s = self.session
        if d == "login_select_proj_page.php":
            return self._send(200, f'<form action="set_project.php">{MANTIS_PROJECTS}</form>')
        if d == "set_project.php":
            s["project"] = v.get("project_id")
            return self._redirect(base + "my_view_page.php")
        if d == "my_view_page.php":
            selected = MANTIS_PROJECTS.replace(f'value="{s.get("project")}"',
                                               f'value="{s.get("project")}" selected="selected"')
            return self._send(200, f'{selected}<a href="bug_report_page.php">Report</a>')
        if d == "view_all_set.php":
            s["search"] = v.get("search", "")
            return self._redirect(base + "view_all_bug_page.php")
        if d == "view_all_bug_page.php":
            page = '<input type="submit" name="reset_query_button" value="Reset">'
            bug = self._found(s.get("search", ""))
            if bug:
                page += f'<a href="bug_update_page.php?bug_id={bug}">{bug:07d}</a>'
            return self._send(200, page)
        if d == "bug_report_advanced_page.php":
            return self._send(200, (
                '<form method="post" enctype="multipart/form-data" action="bug_report.php">'
                '<input type="hidden" name="bug_report_token" value="20240101abc"/>'
                '<input type="hidden" name="m_id" value="0" />'
                '<input type="hidden" name="project_id" value="5" />'
                '<select name="category_id"><option value="0">(select)</option>'
                '<option value="2">Crash</option></select>'
                '<select name="reproducibility"><option value="70" selected="selected">'
                'have not tried</option><option value="10">always</option></select>'
                '<select name="severity"><option value="10">feature</option>'
                '<option value="50" selected="selected">minor</option></select>'
                '<select name="priority"><option value="30" selected="selected">normal'
                '</option></select>'
                '<input type="text" name="platform" value="PC" />'
                '<select name="handler_id"><option value="0" selected="selected"></option>'
                '<option value="3">Dev One</option></select>'
                '<input type="checkbox" name="report_stay" value="1" />'
                '<input name="file" type="file" size="60" /></form>'))
        if d == "bug_report.php":
            return self._send(200, 'Operation successful. <a href="view.php?id=18">View</a>')
        if d == "bug_update_page.php":
            bug = int(v.get("bug_id", "0") or 0)
            status = "80" if bug == 80 else "50"
            bug_id = "OPEN41" if bug == 41 else "CLOSED"
            return self._send(200, (
                '<form method="post" action="bug_update.php">'
                '<input type="hidden" name="bug_update_token" value="upd77"/>'
                f'<input type="hidden" name="bug_id" value="{bug}" />'
                '<input type="hidden" name="update_mode" value="1" />'
                '<select name="severity"><option value="50" selected="selected">minor</option>'
                '</select><select name="status"><option value="10">new</option>'
                f'<option value="{status}" selected="selected">current</option></select>'
                '<select name="category_id"><option value="2" selected="selected">Crash'
                '</option></select>'
                f'<input type="text" name="summary" value="[v1.0 - 41]: EAccessViolation '
                f'({bug_id})" />'
                '<textarea name="description" cols="80">Old &amp; text</textarea>'
                '<textarea name="additional_information"></textarea></form>'))
        if d == "bug_update.php":
            return self._redirect(base + f"view.php?id={v.get('bug_id', '')}", status=303)
        if d == "view.php":
            return self._send(200, f'<a href="view.php?id={v.get("id", "")}">issue</a>')
        return self._send(404, "not found")


# ---- Bugzilla ----

class BugzillaHandler(TrackerHandler):
    def dispatch(self):
        d, v, base = self.document, self.values, self.folder_path
        if d == "enter_bug.cgi" and "Bugzilla_login" in v:
            if v.get("Bugzilla_login") == USER and v.get("Bugzilla_password") == PASSWORD:
                return self._send(200, 'Choose a product <a href="index.cgi?logout=1">Log out</a>',
                                  self._login())
            return self._send(200, "Invalid Username Or Password")
        if self.session is None:
            return self._redirect(base + "index.cgi?GoAheadAndLogIn=1")
        if d == "buglist.cgi":
            page = '<a href="query.cgi?format=advanced">Edit search</a>'
            bug = self._found(v.get("content", ""))
            if bug:
                page += f'<a href="show_bug.cgi?id={bug}">{bug}</a>'
            return self._send(200, page)
        if d == "enter_bug.cgi":
            return self._send(200, (
                '<form name="Create" method="post" action="post_bug.cgi">'
                '<input type="hidden" name="product" value="Kolvane">'
                '<select name="component" id="component"><option value="Crash">Crash</option>'
                '</select><select name="version"><option value="0.9" selected>0.9</option>'
                '<option value="2.0">2.0</option></select>'
                '<select name="rep_platform"><option value="PC" selected>PC</option></select>'
                '<select name="op_sys"><option value="Windows" selected>Windows</option>'
                '</select><select name="priority"><option value="P3" selected>P3</option>'
                '</select><select name="bug_severity"><option value="normal" selected>normal'
                '</option></select><input type="hidden" name="bug_status" value="NEW">'
                '<script>components[0] = "Crash";</script></form>'))
        if d == "post_bug.cgi":
            return self._send(200, ('<input type="hidden" name="id" value="24">'
                                    'Bug <a href="show_bug.cgi?id=24">24</a> has been added'))
        if d == "attachment.cgi":
            return self._send(200, '<a href="attachment.cgi?id=9">Attachment 9</a> added')
        if d == "show_bug.cgi":
            bug = int(v.get("id", "0") or 0)
            bug_id = "OPEN41" if bug == 41 else "CLOSED"
            status = ('<span id="static_bug_status">RESOLVED FIXED</span>' if bug == 80
                      else '<span id="static_bug_status">NEW</span>')
            return self._send(200, (
                '<form name="changeform" method="post" action="process_bug.cgi">'
                '<input type="hidden" name="delta_ts" value="2024-01-01 10:00:00">'
                '<input type="hidden" name="longdesclength" value="1">'
                f'<input type="hidden" name="id" value="{bug}">'
                '<input type="hidden" name="token" value="bz-token">'
                '<input type="hidden" name="form_name" value="process_bug">'
                f'<input name="short_desc" value="[v1.0 - 41]: EAccessViolation ({bug_id})">'
                '<select name="product"><option value="Kolvane" selected>Kolvane</option>'
                '</select><select name="version"><option value="0.9" selected>0.9</option>'
                f'</select>{status}<textarea name="comment"></textarea>'
                '<input name="assigned_to" value="dev@example.test"></form>'))
        if d == "process_bug.cgi":
            return self._send(200, f'Changes submitted for <a href="show_bug.cgi?id='
                                   f'{v.get("id", "")}">bug</a>')
        return self._send(404, "not found")


# ---- FogBugz ----

class FogBugzHandler(TrackerHandler):
    def dispatch(self):
        v, base = self.values, self.folder_path
        if self.document != "default.asp":
            return self._send(404, "not found")
        if v.get("pre") == "preLogon":
            if v.get("sPerson") == USER and v.get("sPassword") == PASSWORD:
                return self._redirect(base + "default.asp?pg=pgList", headers=self._login())
            return self._send(200, '<form><input name="sPerson"></form>Incorrect password')
        if self.session is None:
            return self._redirect(base + "default.asp?pg=pgLogon")
        if v.get("pre") == "preSearch":
            page = '<a href="default.asp?pg=pgList&amp;searchFor=crash">Search</a>'
            bug = self._found(v.get("searchFor", ""))
            if bug:
                page += f'<a href="default.asp?pgx=EV&amp;ixBug={bug}">Case {bug}</a>'
            return self._send(200, page)
        if v.get("pre") == "preSubmitBug":
            return self._send(200, '<a href="default.asp?command=resolve&amp;ixBug=52">Resolve</a>')
        if v.get("pg") == "pgList":
            return self._send(200, '<a href="default.asp?pre=preLogOff">Log Off</a>')
        if v.get("pg") == "pgEditBug" and v.get("command") == "new":
            return self._send(200, (
                '<form action="default.asp?pre=preSubmitBug&sActionToken=tk5" method="post">'
                '<input type="hidden" name="command" value="new">'
                '<input type="hidden" name="ixBug" value="0">'
                '<input type="hidden" name="sComputer" value="PC1">'
                '<select name="ixProject"><option value="1">Inbox</option>'
                '<option value="2">Kolvane</option></select>'
                '<select name="ixArea"><option value="7">Kolvane: Crash</option></select>'
                '<select name="ixPersonAssignedTo"><option value="4" selected>Nobody</option>'
                '<option value="5">Dev One</option></select>'
                '<select name="ixCategory"><option value="1" selected>Bug</option></select>'
                '</form>'))
        if v.get("pg") == "pgEditBug" and v.get("command") == "edit":
            bug = int(v.get("ixBug", "0") or 0)
            bug_id = "OPEN41" if bug == 41 else "CLOSED"
            closed = '<a href="default.asp?pg=pgEditReleaseNotes&amp;ixBug=80">Notes</a>'
            return self._send(200, (
                '<form action="default.asp?pre=preSubmitBug&sActionToken=tk6" method="post">'
                '<input type="hidden" name="command" value="edit">'
                f'<input name="sTitle" value="[v1.0 - 41]: EAccessViolation ({bug_id})">'
                '<select name="ixPriority"><option value="3" selected>3</option></select>'
                f'<textarea name="sEvent"></textarea><input type="submit" name="OK" value="OK">'
                f'{closed if bug == 80 else ""}</form>'))
        return self._send(404, "not found")


PEERS = ((8181, MantisHandler), (8182, BugzillaHandler), (8183, FogBugzHandler))


def start(folder):
    """Starts the three trackers; they listen when this returns."""
    for port, handler in PEERS:
        cls = type(handler.__name__, (handler,), {"folder": folder, "port": port})
        server = ThreadingHTTPServer((HOST, port), cls)
        server.daemon_threads = True
        threading.Thread(target=server.serve_forever, daemon=True).start()
