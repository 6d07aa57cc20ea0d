# Sourced by the tests that find our controls on the accessibility bus (AT-SPI, through
# Debian's pyatspi): it runs the script again inside a session bus of its own, sources
# display_session.sh, and starts the accessibility bus on that display. The sourcing script
# sets what display_session.sh needs. Exit status 77 (skipped) without the tools or the bus.
if ! /usr/bin/python3 -c "import pyatspi" 2>/dev/null || ! command -v dbus-run-session >/dev/null ||
   [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
  echo "SKIPPED: $what needs python3-pyatspi, dbus and at-spi2-core (scripts/setup-deps.sh installs them)"
  exit 77
fi

# A session bus of our own; the display comes inside it.
if [ -z "${RYN_ON_TEST_BUS:-}" ]; then
  export RYN_ON_TEST_BUS=1
  # The session daemon's own complaints (an fd limit it may not raise) are not ours.
  exec dbus-run-session -- bash "$0" "$@" 2> >(grep -v '^dbus-daemon\[' >&2)
fi
source "$here/display_session.sh"

# The accessibility bus, started by hand on this display rather than activated by a bus
# daemon that never saw DISPLAY; the toolkit's bridge to it is what the other tests leave out.
unset NO_AT_BRIDGE GTK_A11Y GTK_MODULES
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus_pid=$!
trap 'kill "$bus_pid" 2>/dev/null || true; cleanup' EXIT
# Asked only once it is there: a question before would have the bus daemon start another.
bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q "boolean true"
}
for _ in $(seq 100); do bus_up && break; sleep 0.1; done
bus_up || {
  echo "SKIPPED: $what: no accessibility bus came up"
  exit 77
}
