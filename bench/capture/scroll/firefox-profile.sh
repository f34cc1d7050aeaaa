# Sourced by the scrolling probes: write_firefox_profile DIR SMOOTH [EXTRA_PREF_LINES] writes a
# private profile's user.js: no first-run pages, no updates or reports, no network but loopback
# (every proxy points at the discard port). Scrolling as Firefox comes unless SMOOTH is "off"
# (smooth scrolling turned off, for a second row only).
write_firefox_profile() {
  mkdir -p "$1"
  cat >"$1/user.js" <<EOJ
$([ "$2" = off ] && echo 'user_pref("general.smoothScroll", false);')
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.enabled", false);
user_pref("app.normandy.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("network.proxy.type", 1);
user_pref("network.proxy.http", "127.0.0.1");
user_pref("network.proxy.http_port", 9);
user_pref("network.proxy.ssl", "127.0.0.1");
user_pref("network.proxy.ssl_port", 9);
${3:-}
EOJ
}
