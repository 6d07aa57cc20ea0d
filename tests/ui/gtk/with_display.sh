#!/usr/bin/env bash
# Runs a command with the GTK backend on a display of its own: a fresh Xvfb server on a free
# display number (xvfb-run -a), at a fixed screen size so that centred forms land the same
# way every time. Arguments: the command and its arguments.
set -euo pipefail
export RYNFILER_UI=${RYNFILER_UI_UNDER_TEST:-gtk}
# The tests' own mode: the headless loop answers the modal forms (drivers, scripted dialogs)
# on the real windows. A user's RYNFILER_UI=gtk waits for the user instead.
export RYNFILER_UI_SCRIPTED=${RYNFILER_UI_SCRIPTED-1}
# No desktop session here: keep GLib from looking for one.
export GDK_BACKEND=x11 NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
# A peer that misuses the toolkit fails the test rather than printing a warning.
export G_DEBUG=fatal-criticals
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$@"
