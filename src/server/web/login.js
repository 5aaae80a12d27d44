// The login page: posts the user and password as JSON and opens the remote on success.
"use strict";
(function () {
  let lang = window.sonaroLanguage();
  const form = document.getElementById("login-form");
  const problem = document.getElementById("login-problem");
  const translate = () => window.sonaroTranslate(document, lang);
  translate();
  document.getElementById("language").addEventListener("click", () => {
    lang = lang === "en" ? "zh" : "en";
    window.localStorage.setItem("sonaro.language", lang);
    translate();
  });
  form.addEventListener("submit", async (event) => {
    event.preventDefault();
    problem.hidden = true;
    const button = form.querySelector("button[type=submit]");
    button.disabled = true;
    try {
      const reply = await fetch("/login", {
        method: "POST",
        headers: { "Content-Type": "application/json" },
        credentials: "same-origin",
        body: JSON.stringify({ user: form.user.value.trim(), password: form.password.value })
      });
      if (reply.ok) {
        window.location.replace("/");
        return;
      }
      const wait = reply.headers.get("Retry-After");
      problem.textContent = reply.status === 429 ? window.sonaroText(lang, "loginWait", wait || "?")
        : reply.status === 503 ? window.sonaroText(lang, "loginBusy")
          : window.sonaroText(lang, "loginFailed");
      problem.hidden = false;
      form.password.select();
    } catch (e) {
      problem.textContent = window.sonaroText(lang, "serverLost");
      problem.hidden = false;
    } finally {
      button.disabled = false;
    }
  });
}());
