// The window's side of the editor page: one Ace EditSession per module, each with its own
// undo history, cursor, selection and scroll position, switched into the one editor when
// its module is shown. The program owns the text; this page reports every edit to it as
// deltas and takes the program's own edits as whole texts.
//
// Keeping both sides equal without waiting: the page numbers the deltas it sends. When the
// program sends a text it says how many of this session's deltas it had applied by then;
// the page puts the text in and applies again, the same way the program will, the deltas
// the program had not yet seen. Both sides then hold the same lines.
(function () {
    "use strict";
    var EditSession = ace.require("ace/edit_session").EditSession;
    var UndoManager = ace.require("ace/undomanager").UndoManager;
    var sessions = {};
    var host = null;
    var blank = editor.session;  // shown while no module is
    blank.setUndoManager(new UndoManager());

    function copyDelta(d) {
        return {
            action: d.action,
            start: { row: d.start.row, column: d.start.column },
            end: { row: d.end.row, column: d.end.column },
            lines: d.lines.slice()
        };
    }

    // A delta put in again on a text that may have changed: positions are clipped.
    function applyClipped(doc, d) {
        if (d.action === "insert") {
            doc.insertMergedLines(doc.clippedPos(d.start.row, d.start.column), d.lines);
            return;
        }
        var start = doc.clippedPos(d.start.row, d.start.column);
        var end = doc.clippedPos(d.end.row, d.end.column);
        if (start.row > end.row || (start.row === end.row && start.column > end.column)) {
            var t = start; start = end; end = t;
        }
        doc.remove({ start: start, end: end });
    }

    // Puts `lines` into the session, changing only the part that differs, so that the undo
    // history holds the program's edit as one step and the cursor stays where it can.
    function putLines(session, lines) {
        var doc = session.getDocument();
        var old = doc.getAllLines();
        var n = old.length, m = lines.length, top = 0, bottom = 0;
        while (top < n && top < m && old[top] === lines[top]) top++;
        if (top === n && top === m) return;
        while (bottom < n - top && bottom < m - top && old[n - 1 - bottom] === lines[m - 1 - bottom]) bottom++;
        // Rows top .. n-1-bottom of the old text become rows top .. m-1-bottom of the new.
        var start, end, text;
        var middle = lines.slice(top, m - bottom);
        if (top > 0) {
            start = { row: top - 1, column: old[top - 1].length };
            end = { row: n - 1 - bottom, column: (n - 1 - bottom >= top) ? old[n - 1 - bottom].length : old[top - 1].length };
            text = middle.length ? "\n" + middle.join("\n") : "";
        } else if (bottom > 0) {
            start = { row: 0, column: 0 };
            end = { row: n - bottom, column: 0 };
            text = middle.length ? middle.join("\n") + "\n" : "";
        } else {
            start = { row: 0, column: 0 };
            end = { row: n - 1, column: old[n - 1].length };
            text = middle.join("\n");
        }
        session.replace({ start: start, end: end }, text);
    }

    function schedule(state) {
        if (state.scheduled) return;
        state.scheduled = true;
        Promise.resolve().then(function () { flush(state); });
    }

    function flush(state) {
        state.scheduled = false;
        if (!sessions[state.id]) return;
        if (state.out.length) {
            var first = state.sent - state.out.length + 1;
            var batch = JSON.stringify(state.out);
            state.out = [];
            host.edited(state.id, first, batch, function (applied) {
                while (state.log.length && state.log[0].seq <= applied) state.log.shift();
            });
        }
        if (state.selectionMoved) {
            state.selectionMoved = false;
            var sel = state.session.selection;
            var a = sel.getSelectionAnchor(), c = sel.getCursor();
            host.selected(state.id, state.seenPush, a.row, a.column, c.row, c.column);
        }
        if (state.scrolled) {
            state.scrolled = false;
            host.scrolled(state.id, state.session.getScrollTop(), state.session.getScrollLeft());
        }
    }

    function setSelection(session, ar, ac, cr, cc) {
        var sel = session.selection;
        if (ar === cr && ac === cc) {
            sel.clearSelection();
            sel.moveCursorTo(cr, cc);
        } else {
            sel.setSelectionAnchor(ar, ac);
            sel.selectTo(cr, cc);
        }
    }

    window.quillboxView = {
        open: function (id, lines, ar, ac, cr, cc, scrollTop, scrollLeft) {
            var session = new EditSession(lines.join("\n"), "ace/mode/javascript");
            session.setUseWorker(false);
            session.setUndoManager(new UndoManager());
            session.setOption("wrap", "free");
            var state = {
                id: id, session: session, sent: 0, log: [], out: [], seenPush: 0,
                applying: false, scheduled: false, selectionMoved: false, scrolled: false, fresh: true
            };
            setSelection(session, ar, ac, cr, cc);
            session.setScrollTop(scrollTop);
            session.setScrollLeft(scrollLeft);
            session.on("change", function (d) {
                if (state.applying) return;
                var copy = copyDelta(d);
                state.sent++;
                state.log.push({ seq: state.sent, delta: copy });
                state.out.push(copy);
                schedule(state);
            });
            var moved = function () { state.selectionMoved = true; schedule(state); };
            session.selection.on("changeCursor", moved);
            session.selection.on("changeSelection", moved);
            var scrolled = function () { state.scrolled = true; schedule(state); };
            session.on("changeScrollTop", scrolled);
            session.on("changeScrollLeft", scrolled);
            sessions[id] = state;
        },
        show: function (id) {
            var state = sessions[id];
            editor.setSession(state ? state.session : blank);
            editor.setReadOnly(!state);
            // A module shown for the first time opens where its cursor is (a line a load
            // error or a find chose), unless it remembers a place it was scrolled to.
            if (state && state.fresh) {
                state.fresh = false;
                if (!state.session.getScrollTop())
                    editor.renderer.scrollCursorIntoView(null, 0.5);
            }
            host.shown(state ? id : 0);
        },
        text: function (id, lines, applied, push) {
            var state = sessions[id];
            if (!state) return;
            state.applying = true;
            try {
                putLines(state.session, lines);
                var doc = state.session.getDocument();
                for (var i = 0; i < state.log.length; i++)
                    if (state.log[i].seq > applied) applyClipped(doc, state.log[i].delta);
            } finally {
                state.applying = false;
            }
            state.seenPush = push;
        },
        select: function (id, ar, ac, cr, cc, push, reveal) {
            var state = sessions[id];
            if (!state) return;
            state.seenPush = push;
            setSelection(state.session, ar, ac, cr, cc);
            if (reveal && editor.session === state.session)
                editor.renderer.scrollCursorIntoView(null, 0.5);
        },
        drop: function (id) {
            var state = sessions[id];
            if (!state) return;
            if (editor.session === state.session) {
                editor.setSession(blank);
                editor.setReadOnly(true);
            }
            delete sessions[id];
            state.session.destroy();
        },
        count: function () { return Object.keys(sessions).length; }
    };

    editor.setReadOnly(true);
    new QWebChannel(qt.webChannelTransport, function (channel) {
        host = channel.objects.quillbox;
        host.ready(navigator.userAgent);
    });
})();

// Completion that stays out of the way: nothing is offered inside comments and strings, and
// Enter in a popup that opened by itself (live completion) is a line break; only a popup
// the user asked for (Ctrl+Space) takes Enter to insert its choice.
(function () {
    "use strict";
    var Autocomplete = ace.require("ace/autocomplete").Autocomplete;
    var langTools = ace.require("ace/ext/language_tools");
    if (!Autocomplete || !langTools)
        return;
    var insertChoice = Autocomplete.prototype.commands.Return;
    function enter(ed) {
        if (ed.completer && ed.completer.autoShown) {
            ed.completer.detach();
            ed.insert("\n");
            return true;
        }
        return insertChoice(ed);
    }
    // Completers made from now on bind their keys from the prototype; one the page made
    // already has its keys bound and takes the new Enter too.
    Autocomplete.prototype.commands.Return = enter;
    if (editor.completer && editor.completer.keyboardHandler)
        editor.completer.keyboardHandler.bindKeys({ "Return": enter });
    function inCommentOrString(ed, pos) {
        var token = ed.session.getTokenAt(pos.row, pos.column);
        return !!token && /comment|string|regex/.test(token.type);
    }
    function quiet(completer) {
        if (!completer || completer.__quiet || typeof completer.getCompletions !== "function")
            return completer;
        var getCompletions = completer.getCompletions;
        completer.getCompletions = function (ed, session, pos, prefix, callback) {
            if (inCommentOrString(ed, pos))
                return callback(null, []);
            return getCompletions.apply(this, arguments);
        };
        completer.__quiet = true;
        return completer;
    }
    function quietAll() {
        (editor.completers || []).forEach(quiet);
    }
    quietAll();
    // The list is set again when an option changes; its members are made quiet each time.
    editor.on("changeSession", quietAll);
    editor.commands.on("beforeExec", quietAll);
    window.quillboxCompletion = { inCommentOrString: function (row, column) {
        return inCommentOrString(editor, { row: row, column: column });
    } };
})();
