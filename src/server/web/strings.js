// The page's own words in both languages; the settings' labels come from the server's catalogue.
"use strict";
window.SonaroStrings = {
  en: {
    title: "Sonaro web remote",
    login: "Log in",
    user: "User",
    password: "Password",
    loginFailed: "Wrong user or password.",
    loginWait: "Too many failed logins. Try again in {0} s.",
    loginBusy: "The server is busy. Try again.",
    logout: "Log out",
    language: "中文",
    languageName: "Switch to Chinese",
    channels: "Channels",
    matrix: "Matrix",
    automix: "Automix",
    eq: "EQ",
    presets: "Presets",
    active: "Active",
    waiting: "Waiting",
    mic: "Mic",
    line: "Line",
    phantom: "48V",
    priority: "Priority",
    mute: "Mute",
    limiter: "Limiter",
    gain: "Gain",
    input: "Input {0}",
    output: "Output {0}",
    outputShort: "M{0}",
    rename: "Rename",
    renameTitle: "Name of {0}",
    save: "Save",
    cancel: "Cancel",
    recall: "Recall",
    savePreset: "Save preset",
    presetName: "Preset name",
    noPresets: "No presets in the server's folder.",
    presetRecalled: "Preset {0} recalled; the unit confirms each setting.",
    presetSaved: "Preset {0} saved.",
    mode: "Mode",
    auto: "Auto",
    manual: "Manual",
    threshold: "Threshold",
    maxOpen: "Maximum open channels",
    holdTime: "Hold time",
    routedTo: "{0} to {1}",
    connected: "Connected",
    offline: "Offline",
    serverLost: "No connection to the server",
    reconnecting: "Reconnecting…",
    notConfirmed: "Not confirmed by the unit: {0}",
    refused: "Refused: {0}",
    unitOffline: "The unit is offline: changes wait for the next login.",
    administratorOnly: "Administrator setting",
    frequency: "Frequency",
    band: "Band",
    type: "Type",
    readOnlyCurve: "Response of the filters the unit runs (read-only)",
    signedInAs: "{0} ({1})",
    operator: "operator",
    administrator: "administrator",
    channel: "Channel",
    fader: "{0} fader"
  },
  zh: {
    title: "Sonaro 网页遥控",
    login: "登录",
    user: "用户",
    password: "密码",
    loginFailed: "用户名或密码错误。",
    loginWait: "登录失败次数过多，请 {0} 秒后再试。",
    loginBusy: "服务器忙，请再试一次。",
    logout: "退出",
    language: "EN",
    languageName: "切换到英文",
    channels: "通道",
    matrix: "矩阵",
    automix: "自动混音",
    eq: "均衡",
    presets: "预设",
    active: "开启",
    waiting: "等待",
    mic: "话筒",
    line: "线路",
    phantom: "48V",
    priority: "优先",
    mute: "哑音",
    limiter: "限制",
    gain: "增益",
    input: "输入 {0}",
    output: "输出 {0}",
    outputShort: "M{0}",
    rename: "改名",
    renameTitle: "{0} 的名称",
    save: "保存",
    cancel: "取消",
    recall: "调用",
    savePreset: "保存预设",
    presetName: "预设名称",
    noPresets: "服务器的预设文件夹中没有预设。",
    presetRecalled: "已调用预设 {0}，设备逐项确认。",
    presetSaved: "已保存预设 {0}。",
    mode: "模式",
    auto: "自动",
    manual: "手动",
    threshold: "门限",
    maxOpen: "最大话筒数",
    holdTime: "保持时间",
    routedTo: "{0} 到 {1}",
    connected: "已连接",
    offline: "离线",
    serverLost: "与服务器的连接已断开",
    reconnecting: "正在重新连接…",
    notConfirmed: "设备未确认：{0}",
    refused: "被拒绝：{0}",
    unitOffline: "设备离线：更改将在下次登录时发送。",
    administratorOnly: "管理员设置",
    frequency: "频率",
    band: "频段",
    type: "类型",
    readOnlyCurve: "设备所运行滤波器的响应（只读）",
    signedInAs: "{0}（{1}）",
    operator: "操作员",
    administrator: "管理员",
    channel: "通道",
    fader: "{0} 推子"
  }
};

// The language of the page: the one chosen before, else the browser's.
window.sonaroLanguage = function () {
  const chosen = window.localStorage.getItem("sonaro.language");
  if (chosen === "en" || chosen === "zh") return chosen;
  return (navigator.language || "en").toLowerCase().startsWith("zh") ? "zh" : "en";
};

window.sonaroText = function (lang, key, ...args) {
  const table = window.SonaroStrings[lang] || window.SonaroStrings.en;
  let text = table[key] !== undefined ? table[key] : window.SonaroStrings.en[key] || key;
  args.forEach((a, i) => { text = text.replace("{" + i + "}", a); });
  return text;
};

// Elements with data-text="key" show that key's text; data-label="key" sets their aria-label.
window.sonaroTranslate = function (root, lang) {
  document.documentElement.lang = lang === "zh" ? "zh-CN" : "en";
  root.querySelectorAll("[data-text]").forEach((el) => { el.textContent = window.sonaroText(lang, el.dataset.text); });
  root.querySelectorAll("[data-label]").forEach((el) => { el.setAttribute("aria-label", window.sonaroText(lang, el.dataset.label)); });
  root.querySelectorAll("[data-placeholder]").forEach((el) => { el.placeholder = window.sonaroText(lang, el.dataset.placeholder); });
};
