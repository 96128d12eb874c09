// QzHost: the real module, compiled to WebAssembly with hostsim's scene reader
// and host (qz_lasso.js, loaded before this file), as the page uses it. Every
// answer comes from the C++ side in JSON; nothing here knows what a command
// does. A classic script, so that the page opens from disk.
"use strict";

(function (global) {
  class QzSceneError extends Error {
    constructor(message, line) {
      super(message);
      this.name = "QzSceneError";
      this.line = line;
    }
  }

  const UPDATE_MODES = [
    {
      name: "deferred",
      text: "The host applies the lines a command sends after the command returns, so the command reads the selection as it was when it started.",
    },
    {
      name: "live",
      text: "The host applies each line at once and hands the command a fresh selection list after every change.",
    },
    {
      name: "snapshot",
      text: "The host applies each line at once, so items' selected flags change, but hands the command a fresh selection list only when it looks the list up again.",
    },
  ];

  // The panel event as the C++ side reads it; a TypeError for one it does not know.
  function encodeEvent(event) {
    const type = event && event.type;
    if (type === "ok" || type === "cancel") return type;
    if (type === "text" && typeof event.text === "string") return "text\n" + event.text;
    if (type === "choose" && Number.isInteger(event.item) && event.item >= 0) return "choose\n" + event.item;
    if (type === "key") {
      let code = event.key;
      if (typeof code === "string" && code.length > 0 && [...code].length === 1) code = code.codePointAt(0);
      if (Number.isInteger(code) && code >= 0 && code <= 0xffffffff) return "key\n" + code;
    }
    throw new TypeError("QzHost: a panel event is {type: 'text', text}, {type: 'choose', item}, " +
                        "{type: 'key', key}, {type: 'ok'} or {type: 'cancel'}, not " + JSON.stringify(event));
  }

  function sceneOf(reply) {
    const answer = JSON.parse(reply);
    if (answer.error !== undefined) throw new QzSceneError(answer.error, answer.line);
    return answer;
  }

  class QzHost {
    constructor(module) {
      this._module = module;
      this._busy = false;
      this._commands = JSON.parse(module.ccall("qz_commands", "string", [], [])).map((name) => ({ name }));
      this._panelStep = null;
      module.qzPanelStep = (view) => this._panelStep(view);
    }

    // One module instance, with its own remembered pattern and kind.
    static async create() {
      if (typeof global.createQzLasso !== "function") throw new Error("QzHost: qz_lasso.js is not loaded");
      return new QzHost(await global.createQzLasso());
    }

    commands() {
      return this._commands.map((command) => ({ ...command }));
    }

    updateModes() {
      return UPDATE_MODES.map((mode) => ({ ...mode }));
    }

    openDemo() {
      this._idle();
      return sceneOf(this._module.ccall("qz_open_demo", "string", [], []));
    }

    openScene(fileName, bytes) {
      this._idle();
      if (!(bytes instanceof Uint8Array)) throw new TypeError("QzHost.openScene: the bytes are a Uint8Array");
      const module = this._module;
      const buffer = module._malloc(Math.max(1, bytes.length));
      try {
        module.HEAPU8.set(bytes, buffer);
        return sceneOf(module.ccall("qz_open_scene", "string", ["string", "number", "number"],
                                    [String(fileName), buffer, bytes.length]));
      } finally {
        module._free(buffer);
      }
    }

    async run({ command, selection = [], updates = "deferred", panel = null }) {
      this._idle();
      this._busy = true;
      let failure = null;
      // Asked with the panel as it stands; a callback that fails or answers
      // with something unknown cancels the panel, and the run then fails too.
      this._panelStep = async (viewJson) => {
        if (failure !== null) return "cancel";
        if (panel === null) return "ok";
        try {
          return encodeEvent(await panel(JSON.parse(viewJson)));
        } catch (error) {
          failure = error;
          return "cancel";
        }
      };
      try {
        const ids = selection.map((id) => String(id)).join(" ");
        const reply = await this._module.ccall("qz_run", "string", ["string", "string", "string"],
                                               [String(command), ids, String(updates)], { async: true });
        if (failure !== null) throw failure;
        const outcome = JSON.parse(reply);
        if (outcome.error !== undefined) throw new Error("QzHost.run: " + outcome.error);
        return outcome;
      } finally {
        this._busy = false;
        this._panelStep = null;
      }
    }

    // Times a command on the open scene as "hostsim time --json" does, at least
    // `repeat` times (each beside its floor): one entry of its "commands". A
    // panel is confirmed, with `pattern` typed first unless it is empty. For
    // benchmarks: it takes seconds on a large scene, and the page's clock is
    // coarse, so a walk of a few microseconds reads as too little to time.
    time({ command, selection = [], pattern = "", repeat = 7 }) {
      this._idle();
      const ids = selection.map((id) => String(id)).join(" ");
      const outcome = JSON.parse(this._module.ccall("qz_time", "string", ["string", "string", "string", "number"],
                                                    [String(command), ids, String(pattern), repeat]));
      if (outcome.error !== undefined) throw new Error("QzHost.time: " + outcome.error);
      return outcome;
    }

    // While a run waits for its panel the module is suspended: nothing else may call into it.
    _idle() {
      if (this._busy) throw new Error("QzHost: a run is still waiting for its panel");
    }
  }

  QzHost.QzSceneError = QzSceneError;
  global.QzHost = QzHost;
  global.QzSceneError = QzSceneError;
})(typeof window !== "undefined" ? window : globalThis);
