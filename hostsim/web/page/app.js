"use strict";
// The playground page. Every selection the page shows after a command comes from the module itself, run
// through hostsim's host by QzHost (qz_host.js); this file only draws, collects clicks and keys, and hands the
// panel's events over. Names are always set as text: scene files are the user's, and names hold anything.
(function () {
  const ROW_HEIGHT = 24; // px; the same as --row in style.css, so rows can be placed without measuring
  const OVERSCAN = 8; // rows drawn beyond the view, so a quick scroll shows no gap
  const MAX_INDENT = 40; // levels; a deep chain of 10^5 items would push its names out of reach
  const LINES_BATCH = 200; // lines added to the list at a time: ten boxes full, a few milliseconds to lay out

  const KINDS = {
    // In the order hostsim list counts them.
    object: ["O", "loaded object"],
    null: ["N", "null"],
    bone: ["B", "bone"],
    light: ["L", "light"],
    camera: ["C", "camera"],
  };
  // The README's table: whether the selection is replaced or added to, and what the command selects.
  const DESCRIPTIONS = {
    QZ_Sel_Child: ["replaces", "the children of the selected items"],
    QZ_Add_Child: ["adds", "the children of the selected items"],
    QZ_Sel_Sibling: ["adds", "the other children of each selected item's parent"],
    QZ_Sel_Throwback: ["adds", "every ancestor of each selected item, up to the first of another kind"],
    QZ_Sel_Parent: ["replaces", "the parents of the selected items"],
    QZ_Add_Parent: ["adds", "the parents of the selected items"],
    QZ_Sel_Descendant: ["adds", "every descendant of the selected items"],
    QZ_Sel_Hierarchy: ["replaces", "the whole hierarchy each selected item belongs to"],
    QZ_Sel_AllNulls: ["replaces", "every null object of the scene"],
    QZ_Sel_AllObjects: ["replaces", "every object loaded from a file"],
    QZ_Sel_ByName: ["replaces", "items whose names match a wildcard pattern"],
  };

  const $ = (id) => document.getElementById(id);
  const el = (tag, className, text) => {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  };

  const state = {
    // One module instance per update mode, made when first used: the module remembers the by-name pattern
    // and kind for the life of its instance, and comparing modes must not mix what each one remembers.
    hosts: new Map(), // mode -> Promise<{host, source}>
    modes: [],
    mode: "deferred",
    source: { demo: true }, // what every instance should have open
    scene: null,
    index: new Map(), // id -> row index
    history: [{ selection: [], run: null }],
    at: 0,
    showBefore: false,
    active: 0, // the keyboard's row
    busy: false,
    // The outliner's scroll and height as its own events last told them, so that drawing rows never has to
    // wait for the browser to lay out what the drawing before it changed.
    view: { top: 0, height: 0 },
    rows: new Map(), // row index -> its element, kept while the row stays in view
  };
  const current = () => state.history[state.at];

  // ---- Module instances ---------------------------------------------------------------------------------

  function instance(mode) {
    if (!state.hosts.has(mode)) {
      state.hosts.set(mode, QzHost.create().then((host) => ({ host, source: null })));
    }
    return state.hosts.get(mode);
  }

  function open(entry, source) {
    const scene = source.demo ? entry.host.openDemo() : entry.host.openScene(source.name, source.bytes);
    entry.source = source;
    return scene;
  }

  // The instance for a mode, with the page's scene open in it.
  async function hostFor(mode) {
    const entry = await instance(mode);
    if (entry.source !== state.source) open(entry, state.source);
    return entry.host;
  }

  function setBusy(busy) {
    state.busy = busy;
    // Tests and scripts wait for this to go away to know that a run, and its drawing, are done.
    if (busy) document.body.dataset.busy = "true";
    else delete document.body.dataset.busy;
    for (const button of document.querySelectorAll(".commands button, #open-demo")) button.disabled = busy;
    $("open-scene").disabled = busy;
    $("compare").disabled = busy || !current().run;
  }

  // ---- Scenes -----------------------------------------------------------------------------------------

  // The source is a promise when the file is still being read: the page is busy from the drop on.
  async function openSource(source) {
    if (state.busy) return;
    setBusy(true);
    const entry = await instance(state.mode);
    try {
      source = await source;
      showScene(open(entry, source), source);
      hideError();
    } catch (error) {
      // The instance may hold a half-read scene now: it reopens the page's scene before its next run.
      entry.source = null;
      showError(error, source);
    } finally {
      setBusy(false);
    }
  }

  function showScene(scene, source) {
    state.source = source;
    state.scene = scene;
    state.index = new Map(scene.items.map((item, i) => [item.id, i]));
    state.history = [{ selection: [], run: null }];
    state.at = 0;
    state.showBefore = false;
    state.active = 0;
    $("compare-result").replaceChildren();
    $("scene-name").textContent = source.demo ? scene.name + " (bundled demo rig)" : scene.name;
    $("scene-counts").textContent = kindCounts(scene.items);
    $("outliner").scrollTop = 0;
    state.view.top = 0;
    state.rows.clear();
    $("outliner-rows").replaceChildren();
    $("outliner-rows").style.height = scene.items.length * ROW_HEIGHT + "px";
    render();
  }

  function kindCounts(items) {
    const counts = new Map();
    for (const item of items) counts.set(item.kind, (counts.get(item.kind) || 0) + 1);
    const parts = Object.keys(KINDS)
      .filter((kind) => counts.has(kind))
      .map((kind) => counts.get(kind) + " " + KINDS[kind][1] + (counts.get(kind) === 1 ? "" : "s"));
    return items.length + " items" + (parts.length ? ": " + parts.join(", ") : "");
  }

  function showError(error, source) {
    const box = $("scene-error");
    box.replaceChildren(el("strong", "", "The scene could not be opened. "));
    if (error && error.name === "QzSceneError") {
      box.append(el("code", "", error.message));
      const text = error.line && source.bytes ? lineOf(source.bytes, error.line) : "";
      if (text && text.trim()) box.append(el("pre", "", "line " + error.line + ": " + text));
    } else {
      box.append(el("span", "", String((error && error.message) || error)));
    }
    box.append(el("span", "muted", " The scene shown is still the one before."));
    box.hidden = false;
  }

  function hideError() {
    $("scene-error").hidden = true;
  }

  function lineOf(bytes, number) {
    const lines = new TextDecoder().decode(bytes).split(/\r\n|\r|\n/);
    return number >= 1 && number <= lines.length ? lines[number - 1] : "";
  }

  async function openFile(file) {
    if (!file) return;
    await openSource(file.arrayBuffer().then((buffer) => ({ name: file.name, bytes: new Uint8Array(buffer) })));
  }

  // ---- Selection history ------------------------------------------------------------------------------

  function push(entry) {
    state.history.splice(state.at + 1);
    state.history.push(entry);
    state.at = state.history.length - 1;
    state.showBefore = false;
    render();
  }

  function select(id, append) {
    const selection = current().selection;
    let next;
    if (!append) next = [id];
    else if (selection.includes(id)) next = selection.filter((other) => other !== id);
    else next = selection.concat(id);
    if (next.join() === selection.join() && !current().run) return false;
    push({ selection: next, run: null });
    return true;
  }

  function step(delta) {
    const at = state.at + delta;
    if (state.busy || at < 0 || at >= state.history.length) return;
    state.at = at;
    state.showBefore = false;
    render();
  }

  // ---- Drawing ----------------------------------------------------------------------------------------

  function render() {
    const entry = current();
    const run = entry.run;
    const shown = state.showBefore && run ? run.before : entry.selection;
    $("undo").disabled = state.at === 0;
    $("redo").disabled = state.at === state.history.length - 1;
    const toggle = $("before-after");
    toggle.disabled = !run;
    $("clear").disabled = !entry.selection.length;
    toggle.setAttribute("aria-pressed", String(state.showBefore && !!run));
    $("selection-count").textContent =
      (state.showBefore && run ? "before: " : "") + shown.length + " selected";
    renderReference(shown);
    renderRows();
    renderOutcome(run, entry.selection);
  }

  function renderReference(shown) {
    const first = shown.length ? state.scene.items[state.index.get(shown[0])] : null;
    $("reference").textContent = first
      ? "reference kind: " + first.kind + ", from entry 1 (" + first.name + "); other kinds are faded"
      : "nothing selected";
  }

  // What the rows show of the selection on screen, worked out once for each step of the history and each side
  // of the before/after toggle: a selection of 10^5 items is not looked through again at every scroll.
  function marks() {
    const entry = current();
    const run = entry.run;
    const after = !state.showBefore || !run;
    const side = after ? "after" : "before";
    if (!entry.marks) entry.marks = {};
    if (!entry.marks[side]) {
      const shown = after ? entry.selection : run.before;
      entry.marks[side] = {
        places: new Map(shown.map((id, i) => [id, i + 1])),
        before: run && after ? new Set(run.before) : null,
        reference: shown.length ? state.scene.items[state.index.get(shown[0])].kind : null,
        // One width for every place badge, so the kind badges and names stay in their columns.
        placeWidth: String(shown.length).length * 7 + 12 + "px",
      };
    }
    return entry.marks[side];
  }

  // Only the rows in view are in the document: a scene of 10^5 items scrolls as one of ten. A row that stays in
  // view keeps its element, and only what changed in it is written, so a click between two frames still lands
  // on the row it was aimed at.
  function renderRows() {
    const scene = state.scene;
    if (!scene) return;
    const tree = $("outliner");
    const container = $("outliner-rows");
    const { places, before, reference, placeWidth } = marks();
    if (tree.style.getPropertyValue("--place-width") !== placeWidth) tree.style.setProperty("--place-width", placeWidth);
    const { top, height } = state.view;
    const first = Math.max(0, Math.floor(top / ROW_HEIGHT) - OVERSCAN);
    const last = Math.min(scene.items.length, Math.ceil((top + height) / ROW_HEIGHT) + OVERSCAN);
    for (const [i, row] of state.rows) {
      if (i < first || i >= last) {
        row.remove();
        state.rows.delete(i);
      }
    }
    // The rows that stay are in order already; new ones go before or after them.
    let next = container.firstChild;
    for (let i = first; i < last; i++) {
      let row = state.rows.get(i);
      if (!row) {
        row = newRow(scene.items[i], i);
        state.rows.set(i, row);
      }
      if (row === next) next = next.nextSibling;
      else container.insertBefore(row, next);
      const item = scene.items[i];
      const place = places.get(item.id) || 0;
      const added = before !== null && place > 0 && !before.has(item.id);
      const dropped = before !== null && place === 0 && before.has(item.id);
      const faded = reference !== null && item.kind !== reference;
      const look = [place, faded, i === state.active, added, dropped].join();
      if (row.look !== look) {
        row.look = look;
        drawRow(row, i, place, faded, added, dropped);
      }
    }
    const active = scene.items.length ? "row-" + state.active : null;
    if (tree.getAttribute("aria-activedescendant") !== active) {
      if (active) tree.setAttribute("aria-activedescendant", active);
      else tree.removeAttribute("aria-activedescendant");
    }
  }

  // What a row shows of its item, which stays while the scene is open.
  function newRow(item, i) {
    const row = el("div", "row");
    row.id = "row-" + i;
    row.setAttribute("role", "treeitem");
    row.setAttribute("aria-label", item.name);
    row.setAttribute("aria-level", String(item.depth + 1));
    row.dataset.id = item.id;
    row.style.top = i * ROW_HEIGHT + "px";
    row.append(el("span", "badge place none", ""));
    const badge = el("span", "badge kind-" + item.kind, (KINDS[item.kind] || ["?"])[0]);
    badge.title = (KINDS[item.kind] || [item.kind, item.kind])[1];
    row.append(badge);
    const name = el("span", "name", item.name);
    name.style.paddingLeft = Math.min(item.depth, MAX_INDENT) * 12 + "px";
    if (item.depth > MAX_INDENT) name.title = "level " + (item.depth + 1);
    row.append(name);
    if (item.file) row.append(el("span", "file", item.file));
    return row;
  }

  // What a row shows of the selection.
  function drawRow(row, i, place, faded, added, dropped) {
    row.className =
      "row" +
      (i % 2 === 1 ? " stripe" : "") +
      (place ? " selected" : "") +
      (faded ? " faded" : "") +
      (i === state.active ? " active" : "") +
      (added ? " added" : "") +
      (dropped ? " dropped" : "");
    row.setAttribute("aria-selected", place ? "true" : "false");
    if (added) row.setAttribute("aria-description", "newly selected");
    else if (dropped) row.setAttribute("aria-description", "deselected");
    else row.removeAttribute("aria-description");
    const badge = row.firstChild;
    badge.className = "badge place" + (place === 1 ? " first" : "") + (place ? "" : " none");
    badge.textContent = place || "";
  }

  function renderOutcome(run, after) {
    const lines = $("lines");
    const messages = $("messages");
    lines.replaceChildren();
    messages.replaceChildren();
    $("panel-summary").textContent = "";
    $("replay-line").textContent = "";
    $("copy").disabled = !run;
    $("compare").disabled = !run || state.busy;
    $("copy-status").textContent = "";
    if (!run) {
      $("more-lines").hidden = true;
      $("outcome-summary").textContent = "Select items in the scene, then press a command.";
      return;
    }
    const outcome = run.outcome;
    const before = new Set(run.before);
    const now = new Set(after);
    const added = after.filter((id) => !before.has(id)).length;
    const dropped = run.before.filter((id) => !now.has(id)).length;
    $("outcome-summary").textContent =
      run.command + " (" + run.mode + " updates): result " + outcome.result + " " + outcome.resultText + "; " +
      run.before.length + " selected before, " + after.length + " after (" + added + " newly selected, " +
      dropped + " deselected); " + outcome.lines.length + (outcome.lines.length === 1 ? " line" : " lines") +
      " sent.";
    // A long list scrolls in its box, which keyboard users then need to reach.
    lines.tabIndex = outcome.lines.length ? 0 : -1;
    showMoreLines();
    for (const message of outcome.messages) {
      messages.append(el("li", "", "Message: " + message.text + (message.secondText ? " — " + message.secondText : "")));
    }
    for (const error of outcome.protocolErrors) messages.append(el("li", "error", "Protocol error: " + error));
    const panel = outcome.panel;
    if (panel) {
      $("panel-summary").textContent =
        "Panel \u201c" + panel.title + "\u201d: " +
        (panel.confirmed ? "confirmed kind " + panel.kind + ", pattern \u201c" + panel.pattern + "\u201d" : "cancelled");
    }
    $("replay-line").textContent = outcome.command;
  }

  // A command on a large scene sends tens of thousands of lines, and laying out that many list items takes
  // the browser seconds: they are added a batch at a time, as the list is scrolled or asked for.
  function showMoreLines() {
    const run = current().run;
    const list = $("lines");
    const all = run ? run.outcome.lines : [];
    const end = Math.min(all.length, list.children.length + LINES_BATCH);
    const batch = document.createDocumentFragment();
    for (let i = list.children.length; i < end; i++) {
      const li = el("li", "", all[i]);
      // Drawn by the style sheet beside the line, so the item's text stays exactly the line sent.
      const item = lineItem(run.outcome, i);
      if (item) li.dataset.name = item.name;
      batch.append(li);
    }
    list.append(batch);
    const more = $("more-lines");
    more.hidden = end >= all.length;
    more.textContent = "Show more lines (" + end + " of " + all.length + " shown)";
  }

  function lineItem(outcome, i) {
    const id = outcome.lineItems && outcome.lineItems[i];
    return id && state.index.has(id) ? state.scene.items[state.index.get(id)] : null;
  }

  // ---- Outliner input ---------------------------------------------------------------------------------

  function rowIndex(target) {
    const row = target.closest && target.closest("[role=treeitem]");
    return row ? state.index.get(row.dataset.id) : undefined;
  }

  function onTreeClick(event) {
    const i = rowIndex(event.target);
    if (i === undefined || state.busy) return;
    state.active = i;
    if (!select(state.scene.items[i].id, event.ctrlKey || event.metaKey)) renderRows();
  }

  function moveActive(i) {
    const count = state.scene.items.length;
    if (!count) return;
    state.active = Math.max(0, Math.min(count - 1, i));
    const view = state.view;
    const top = state.active * ROW_HEIGHT;
    if (top < view.top) scrollTo(top);
    else if (top + ROW_HEIGHT > view.top + view.height) scrollTo(top + ROW_HEIGHT - view.height);
    renderRows();
  }

  function scrollTo(top) {
    $("outliner").scrollTop = top;
    state.view.top = top;
  }

  function onTreeKey(event) {
    if (!state.scene || state.busy) return;
    const page = Math.max(1, Math.floor(state.view.height / ROW_HEIGHT) - 1);
    const item = state.scene.items[state.active];
    const moves = {
      ArrowDown: state.active + 1,
      ArrowUp: state.active - 1,
      PageDown: state.active + page,
      PageUp: state.active - page,
      Home: 0,
      End: state.scene.items.length - 1,
      ArrowLeft: item && item.parent && state.index.has(item.parent) ? state.index.get(item.parent) : state.active,
    };
    if (event.key in moves) {
      moveActive(moves[event.key]);
    } else if ((event.key === " " || event.key === "Enter") && item) {
      select(item.id, event.ctrlKey || event.metaKey);
    } else {
      return;
    }
    event.preventDefault();
  }

  // ---- Commands ---------------------------------------------------------------------------------------

  function buildCommands(commands) {
    const list = $("commands");
    for (const { name } of commands) {
      const [effect, text] = DESCRIPTIONS[name] || ["", ""];
      const li = el("li");
      const button = el("button", "command", name);
      button.type = "button";
      button.setAttribute("aria-describedby", "effect-" + name + " text-" + name);
      button.addEventListener("click", () => runCommand(name));
      const tag = el("span", "effect " + effect, effect);
      tag.id = "effect-" + name;
      const description = el("span", "description", text && "selects " + text);
      description.id = "text-" + name;
      li.append(button, tag, description);
      list.append(li);
    }
  }

  async function runCommand(command) {
    if (state.busy || !state.scene) return;
    const before = current().selection;
    const mode = state.mode;
    setBusy(true);
    try {
      const host = await hostFor(mode);
      const outcome = await host.run({ command, selection: before, updates: mode, panel: askUser });
      $("compare-result").replaceChildren();
      push({ selection: outcome.selection, run: { command, mode, before, outcome } });
    } catch (error) {
      $("outcome-summary").textContent = command + " could not run: " + ((error && error.message) || error);
    } finally {
      closePanel();
      setBusy(false);
    }
  }

  async function copyCommand() {
    const line = $("replay-line");
    try {
      await navigator.clipboard.writeText(line.textContent);
      $("copy-status").textContent = "Copied.";
    } catch (error) {
      // file:// pages may be refused the clipboard: select the line so Ctrl+C takes it.
      getSelection().selectAllChildren(line);
      $("copy-status").textContent = "Selected: press Ctrl+C (⌘C) to copy.";
    }
  }

  // ---- The module's panel ----------------------------------------------------------------------------
  // The module opens its panel from inside a run and waits for the user: QzHost calls askUser with what the
  // panel shows now and waits for the next event. Events the user makes before the module has taken the last
  // one wait in a queue, so fast typing loses nothing.

  const panel = { waiting: null, queue: [], box: null, radios: [] };

  function askUser(view) {
    const dialog = $("panel");
    if (!dialog.open) buildPanel(view);
    else updatePanel(view);
    return new Promise((resolve) => {
      if (panel.queue.length) resolve(panel.queue.shift());
      else panel.waiting = resolve;
    });
  }

  function send(event) {
    if (!$("panel").open) return;
    const waiting = panel.waiting;
    panel.waiting = null;
    if (waiting) waiting(event);
    else panel.queue.push(event);
  }

  // The dialog is made from the controls the module created, each drawn as the host draws its type: a choice
  // as radio buttons named by its item texts, an edit field as the text box. A border only frames the others.
  const isChoice = (control) => control.type === "ChoiceControl";
  const isEdit = (control) => control.type === "EditControl";

  function buildPanel(view) {
    const controls = $("panel-controls");
    controls.replaceChildren();
    panel.box = null;
    panel.radios = [];
    panel.queue = [];
    $("panel-title").textContent = view.title;
    view.controls.forEach((control, c) => {
      if (isChoice(control)) {
        const group = el("fieldset", "choice");
        group.append(el("legend", "", control.label.trim() || "Kind"));
        control.items.forEach((text, i) => {
          const label = el("label");
          const radio = el("input");
          radio.type = "radio";
          radio.name = "panel-choice-" + c;
          radio.checked = i === control.choice;
          radio.addEventListener("change", () => radio.checked && send({ type: "choose", item: i }));
          label.append(radio, document.createTextNode(text.trim()));
          group.append(label);
          panel.radios.push(radio);
        });
        controls.append(group);
      } else if (isEdit(control) && !panel.box) {
        const label = el("label", "pattern", control.label.trim() || "Pattern");
        const box = el("input");
        box.type = "text";
        box.value = control.text;
        box.autocomplete = "off";
        box.spellcheck = false;
        box.addEventListener("input", () => send({ type: "text", text: box.value }));
        label.append(box);
        controls.append(label);
        panel.box = box;
      }
    });
    $("panel").showModal();
    // The module keeps its field active while the panel is drawn, so typing starts in the box; the pattern
    // it remembers is selected, so that typing replaces it and an arrow key keeps it.
    if (panel.box) panel.box.select();
  }

  function updatePanel(view) {
    const choice = view.controls.find(isChoice);
    if (choice) panel.radios.forEach((radio, i) => (radio.checked = i === choice.choice));
    const edit = view.controls.find(isEdit);
    // The field may refuse what was typed (it holds 127 bytes); while more typing waits, the box is ahead.
    if (edit && panel.box && !panel.queue.length && panel.box.value !== edit.text) panel.box.value = edit.text;
  }

  function closePanel() {
    panel.queue = [];
    panel.waiting = null;
    if ($("panel").open) $("panel").close();
  }

  // Text typed in the box goes to the field as text; only Tab, Enter and Esc there, and keys pressed
  // anywhere else in the panel, reach the module's key handler, as they would in the host.
  function onPanelKey(event) {
    if (event.ctrlKey || event.metaKey || event.altKey) return;
    const inBox = event.target === panel.box;
    const onButton = event.target.tagName === "BUTTON";
    let handled = true;
    if (event.key === "Escape") send({ type: "cancel" });
    else if (event.key === "Tab" && !event.shiftKey) {
      send({ type: "key", key: 9 });
      if (panel.box) panel.box.focus();
    } else if (event.key === "Enter" && inBox) send({ type: "ok" });
    else if (inBox || onButton || event.key === "Tab") handled = false;
    else if (event.key === "Enter") send({ type: "key", key: 13 });
    else if (event.key.length === 1 || (event.key.length === 2 && event.key.codePointAt(0) > 0xffff)) {
      send({ type: "key", key: event.key.codePointAt(0) });
    } else handled = false;
    if (handled) event.preventDefault();
  }

  // ---- Comparing update modes -------------------------------------------------------------------------

  // Repeats in another instance what the user did in the panel: the kind and pattern confirmed, or a cancel.
  function replayPanel(answer) {
    let stage = 0;
    return async (view) => {
      if (!answer || !answer.confirmed) return { type: "cancel" };
      const choice = view.controls.find(isChoice);
      const want = choice ? choice.items.findIndex((text) => text.trim().toLowerCase() === answer.kind) : -1;
      stage++;
      if (stage === 1 && want >= 0 && choice.choice !== want) return { type: "choose", item: want };
      if (stage <= 2) {
        stage = 2;
        return { type: "text", text: answer.pattern };
      }
      return { type: "ok" };
    };
  }

  async function compareModes() {
    const run = current().run;
    if (!run || state.busy) return;
    setBusy(true);
    const results = [];
    try {
      for (const { name } of state.modes) {
        const outcome =
          name === run.mode
            ? run.outcome
            : await (await hostFor(name)).run({
                command: run.command,
                selection: run.before,
                updates: name,
                panel: replayPanel(run.outcome.panel),
              });
        results.push({ mode: name, outcome });
      }
      showComparison(run, results);
    } catch (error) {
      $("compare-result").replaceChildren(el("p", "error", "The comparison failed: " + ((error && error.message) || error)));
    } finally {
      setBusy(false);
      render();
    }
  }

  function showComparison(run, results) {
    const base = results[0].outcome;
    const key = (outcome) => [outcome.result, outcome.lines.join("\n"), outcome.selection.join()].join("|");
    const agree = results.every((r) => key(r.outcome) === key(base));
    const box = $("compare-result");
    box.replaceChildren(
      el("p", "", run.command + " from the same selection in each mode: " +
        (agree ? "the modes agree." : "the modes differ (marked \u2605).")),
    );
    const table = el("table", "compare");
    const head = el("tr");
    for (const title of ["host updates", "result", "lines sent", "selected after"]) head.append(el("th", "", title));
    table.append(head);
    for (const { mode, outcome } of results) {
      const tr = el("tr");
      const names = outcome.selection.map((id) => (state.index.has(id) ? state.scene.items[state.index.get(id)].name : id));
      const star = (differs) => (differs ? " \u2605" : "");
      tr.append(
        el("th", "", mode),
        el("td", "", outcome.result + " " + outcome.resultText + star(outcome.result !== base.result)),
        el("td", "", outcome.lines.length + star(outcome.lines.join("\n") !== base.lines.join("\n"))),
        el("td", "", outcome.selection.length + ": " + abbreviate(names) + star(outcome.selection.join() !== base.selection.join())),
      );
      table.append(tr);
    }
    box.append(table);
    for (const { mode, outcome } of results) {
      const details = el("details");
      details.append(el("summary", "", mode + ": the lines sent"));
      const list = el("ol", "lines");
      list.setAttribute("aria-label", mode + " updates: lines");
      for (const line of outcome.lines) list.append(el("li", "", line));
      details.append(list);
      box.append(details);
    }
  }

  function abbreviate(names) {
    return names.length > 8 ? names.slice(0, 8).join(", ") + ", … (" + (names.length - 8) + " more)" : names.join(", ");
  }

  // ---- Start ------------------------------------------------------------------------------------------

  function wire() {
    const tree = $("outliner");
    let drawing = false;
    tree.addEventListener("scroll", () => {
      state.view.top = tree.scrollTop;
      if (drawing) return;
      drawing = true;
      requestAnimationFrame(() => {
        drawing = false;
        renderRows();
      });
    });
    tree.addEventListener("click", onTreeClick);
    tree.addEventListener("keydown", onTreeKey);
    new ResizeObserver(() => {
      state.view.height = tree.clientHeight;
      state.view.top = tree.scrollTop;
      renderRows();
    }).observe(tree);
    $("undo").addEventListener("click", () => step(-1));
    $("redo").addEventListener("click", () => step(1));
    $("before-after").addEventListener("click", () => {
      state.showBefore = !state.showBefore;
      render();
    });
    $("clear").addEventListener("click", () => current().selection.length && push({ selection: [], run: null }));
    $("copy").addEventListener("click", copyCommand);
    $("more-lines").addEventListener("click", showMoreLines);
    $("lines").addEventListener("scroll", (event) => {
      const list = event.target;
      if (list.scrollTop + list.clientHeight > list.scrollHeight - 200) showMoreLines();
    });
    $("compare").addEventListener("click", compareModes);
    $("updates").addEventListener("change", (event) => {
      state.mode = event.target.value;
      showModeText();
    });
    $("open-demo").addEventListener("click", () => openSource({ demo: true }));
    $("open-scene").addEventListener("change", async (event) => {
      await openFile(event.target.files[0]);
      event.target.value = ""; // so that choosing the same file again opens it again
    });
    $("panel").addEventListener("keydown", onPanelKey);
    $("panel").addEventListener("cancel", (event) => {
      event.preventDefault();
      send({ type: "cancel" });
    });
    $("panel-ok").addEventListener("click", () => send({ type: "ok" }));
    $("panel-cancel").addEventListener("click", () => send({ type: "cancel" }));
    document.addEventListener("keydown", (event) => {
      const typing = event.target.closest && event.target.closest("input, select, textarea, dialog");
      if (typing || !(event.ctrlKey || event.metaKey) || event.key.toLowerCase() !== "z" && event.key !== "y") return;
      step(event.key === "y" || event.shiftKey ? 1 : -1);
      event.preventDefault();
    });
    // A file dropped anywhere opens; without this the browser would navigate away to show it.
    const hint = $("drop-hint");
    document.addEventListener("dragover", (event) => {
      event.preventDefault();
      hint.hidden = false;
    });
    document.addEventListener("dragleave", (event) => {
      if (!event.relatedTarget) hint.hidden = true;
    });
    document.addEventListener("drop", (event) => {
      event.preventDefault();
      hint.hidden = true;
      openFile(event.dataTransfer.files[0]);
    });
  }

  function showModeText() {
    const mode = state.modes.find((m) => m.name === state.mode);
    $("updates-text").textContent = mode ? mode.text : "";
  }

  async function start() {
    wire();
    setBusy(true);
    try {
      const { host } = await instance(state.mode);
      state.modes = host.updateModes();
      const select = $("updates");
      for (const { name } of state.modes) select.append(new Option(name, name, false, name === state.mode));
      showModeText();
      buildCommands(host.commands());
      setBusy(false);
      await openSource({ demo: true });
      document.body.dataset.ready = "true";
    } catch (error) {
      setBusy(false);
      $("scene-name").textContent = "The module could not be started: " + ((error && error.message) || error);
    }
  }

  start();
})();
