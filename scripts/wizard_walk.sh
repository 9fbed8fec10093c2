# Walks setup.exe through its four pages under Wine, the way a person
# would, and saves a screenshot of each page. Sourced by scripts/demo.sh
# and by the GUI test (tests/gui/wizard_gui_test.sh); needs Wine, Xvfb,
# xdotool and ImageMagick.
#
# The wizard runs in a Wine virtual desktop (an 800 x 600 X window of its
# own), so screenshots show the window with its frame whatever the display
# is, and clicks land at known places. Which page shows is read from the
# pixels: page 1 has the white install-folder field, page 2 the progress bar
# at the right end of its row; neither shows on pages 0 and 3.
#
# WALK_DPI (default 96) is the DPI the wizard is drawn at (the prefix's
# HKCU\Control Panel\Desktop\LogPixels): every place below is given at 96
# DPI and scaled to it, as the wizard scales its form.
#
# ImageMagick and xdotool run in the C locale: both compare names without
# regard to case, which the Turkish locale breaks ("info:" became a file).
#
# Every wait is bounded; a step that does not come in time fails the walk
# with a message on standard error.
#
#   walk_display_start [use_current]   sets DISPLAY: the current one when
#                                      asked and usable, else a new Xvfb
#   walk_display_stop                  ends the Xvfb started here
#   walk_wizard EXE SHOTDIR FOLDER [LOCALE [ARGS...]]
#                                      runs EXE (WINEPREFIX from the caller)
#                                      with ARGS in LOCALE (default: the
#                                      caller's LC_ALL), types FOLDER (a
#                                      Windows path; empty: the proposed one
#                                      stays)
#                                      on page 1, installs, saves
#                                      SHOTDIR/page0..3.png, presses "Выход"
#                                      and waits for the program's end; with
#                                      WALK_CHECK_KEYS=1 it first presses
#                                      Enter on the focused "Обзор..." (the
#                                      folder dialog opens, Esc closes it) and
#                                      on "<< Назад" (page 0 shows)
#   walk_start EXE [ARGS...]           only starts EXE with ARGS on the
#                                      virtual desktop, in WALK_LOCALE
#                                      (default: the caller's LC_ALL)
#   walk_end                           waits for the program to end (ends it
#                                      after WALK_TIMEOUT); false if it had to
#
# The locale goes to Wine alone, never to this shell: a shell that started
# before the locale was generated (scripts/demo.sh on a fresh machine
# generates it) cannot switch to it, and would warn at every command run
# with LC_ALL=C here.

WALK_DESKTOP=zfwizard
WALK_DESKTOP_SIZE=${WALK_DESKTOP_SIZE:-800x600}
WALK_DPI=${WALK_DPI:-96}
WALK_TIMEOUT=${WALK_TIMEOUT:-60}   # seconds for any one step
WALK_XVFB_PID=
WALK_WINE_PID=
WALK_DESK=
# The form's client area and where the pages begin in it.
WALK_CLIENT_W=506
WALK_CLIENT_H=319
WALK_PAGE_TOP=85

walk_fail() { echo "wizard walk: $*" >&2; return 1; }

# walk_px N: a length of the form at WALK_DPI, rounded as the wizard rounds.
walk_px() { echo $(( ($1 * WALK_DPI + 48) / 96 )); }

walk_display_start() {
  if [ "${1:-}" = use_current ] && [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    return 0
  fi
  local n
  for n in $(seq 57 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WALK_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do
      xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
      kill -0 "$WALK_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$WALK_XVFB_PID" 2>/dev/null
    WALK_XVFB_PID=
  done
  walk_fail "no X display could be started"
}

walk_display_stop() {
  if [ -n "$WALK_XVFB_PID" ]; then
    kill "$WALK_XVFB_PID" 2>/dev/null
    wait "$WALK_XVFB_PID" 2>/dev/null
    WALK_XVFB_PID=
  fi
}

# The X window of the virtual desktop.
# (xdotool matches names ignoring case, which in the Turkish locale no
# longer pairs "i" with "I"; the C locale does.)
walk_desktop_window() {
  LC_ALL=C timeout 5 xdotool search --name "^$WALK_DESKTOP - Wine desktop\$" 2>/dev/null | head -1
}

# walk_shot FILE: the virtual desktop as a picture; false while there is
# none (import without a window would wait for a click).
walk_shot() {
  [ -n "$WALK_DESK" ] || WALK_DESK=$(walk_desktop_window)
  [ -n "$WALK_DESK" ] || return 1
  LC_ALL=C timeout 10 import -window "$WALK_DESK" "$1" 2>/dev/null
}

# walk_window_box FILE: "W H X Y" of the wizard's window on the desktop
# picture (everything that is not the desktop's own colour).
walk_window_box() {
  LC_ALL=C convert "$1" -trim -format '%w %h %X %Y' info:- 2>/dev/null | tr -d '+'
}

# walk_region_stats FILE X Y W H [X Y W H...]: "mean stddev" (0..1, with a
# decimal point whatever the locale, read by awk in the C locale too) of
# pieces of the client area, one line each, from one run of convert.
walk_region_stats() {
  local file=$1 crops=()
  shift
  while [ $# -ge 4 ]; do
    crops+=( \( -clone 0 -crop "$(walk_px "$3")x$(walk_px "$4")+$((WALK_CX + $(walk_px "$1")))+$((WALK_CY + $(walk_px "$2")))" +repage \) )
    shift 4
  done
  LC_ALL=C convert "$file" "${crops[@]}" -delete 0 -colorspace Gray \
    -format '%[fx:mean] %[fx:standard_deviation]\n' info:- 2>/dev/null
}

# walk_locate FILE: finds the window; sets WALK_BOX (its rectangle as
# W H X Y) and WALK_CX/WALK_CY (the client area's origin on the desktop
# picture). False while no window of the form's size shows.
walk_locate() {
  local box w h x y border cw ch
  box=$(walk_window_box "$1") || return 1
  read -r w h x y <<<"$box"
  [ -n "$y" ] || return 1
  cw=$(walk_px $WALK_CLIENT_W)
  ch=$(walk_px $WALK_CLIENT_H)
  border=$(( (w - cw) / 2 ))
  [ "$border" -ge 0 ] && [ "$border" -le 12 ] || return 1
  [ $((h - ch)) -ge 10 ] && [ $((h - ch)) -le 90 ] || return 1
  WALK_BOX="$w $h $x $y"
  WALK_CX=$((x + border))
  WALK_CY=$((y + h - border - ch))
}

# walk_page FILE: 1 or 2 when that page shows, 03 for page 0 or 3.
#  - A strip inside Edit1 (24, 88, 297 x 21 on page 1) that its text does
#    not reach: white only on page 1.
#  - The right end of ProgressBar1 (24, 96, 460 x 17 on page 2), borders
#    included: a bar, empty or full, differs from the bare face that the
#    other pages show there, measured beside it where no page has anything.
walk_page() {
  walk_region_stats "$1" 260 $((WALK_PAGE_TOP + 91)) 56 14 \
    420 $((WALK_PAGE_TOP + 94)) 60 21 440 $((WALK_PAGE_TOP + 140)) 60 20 |
    LC_ALL=C awk 'NR == 1 { em = $1; es = $2 } NR == 2 { bm = $1; bs = $2 } NR == 3 { f = $1 }
         END {
           d = bm - f; if (d < 0) d = -d
           if (em > 0.99 && es < 0.01) print 1
           else if (bs > 0.02 || d > 0.03) print 2
           else print "03"
         }'
}

# walk_save FILE DEST: the window's part of a desktop picture.
walk_save() {
  local w h x y
  read -r w h x y <<<"$WALK_BOX"
  LC_ALL=C convert "$1" -crop "${w}x${h}+${x}+${y}" +repage "$2"
}

# walk_wait_page WANT TMPFILE: takes pictures until page WANT shows.
walk_wait_page() {
  local want=$1 tmp=$2 deadline=$((SECONDS + WALK_TIMEOUT))
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$WALK_WINE_PID" 2>/dev/null || { walk_fail "the wizard ended before page $want"; return 1; }
    if walk_shot "$tmp" && { [ -n "$WALK_BOX" ] || walk_locate "$tmp"; } &&
       [ "$(walk_page "$tmp")" = "$want" ]; then
      return 0
    fi
    sleep 0.2
  done
  walk_fail "page $want did not show within ${WALK_TIMEOUT}s"
}

# walk_differs A B: how many pixels of two desktop pictures differ.
walk_differs() {
  LC_ALL=C compare -metric AE "$1" "$2" null: 2>&1 >/dev/null | cut -d' ' -f1 | cut -d. -f1
}

# walk_wait_differs BEFORE TMPFILE more|less N: takes pictures until one
# differs from BEFORE in more (or fewer) than N pixels: a dialog opened, or
# closed again.
walk_wait_differs() {
  local deadline=$((SECONDS + WALK_TIMEOUT)) n
  while [ $SECONDS -lt $deadline ]; do
    if walk_shot "$2"; then
      n=$(walk_differs "$1" "$2")
      if [ "$3" = more ]; then [ "${n:-0}" -gt "$4" ] && return 0
      else [ "${n:-999999}" -lt "$4" ] && return 0; fi
    fi
    sleep 0.2
  done
  return 1
}

# walk_click X Y: a click at a point of the client area.
walk_click() {
  local desk
  desk=$(walk_desktop_window)
  [ -n "$desk" ] || return 1
  timeout 5 xdotool mousemove --window "$desk" $((WALK_CX + $(walk_px "$1"))) \
    $((WALK_CY + $(walk_px "$2"))) click 1
}

walk_key() { timeout 5 xdotool key --clearmodifiers "$@"; }

walk_start() {
  local loc=${WALK_LOCALE:-${LC_ALL:-}}
  WALK_DESK=
  WALK_BOX=
  env ${loc:+LC_ALL="$loc"} wine explorer "/desktop=$WALK_DESKTOP,$WALK_DESKTOP_SIZE" "$@" \
    >/dev/null 2>&1 &
  WALK_WINE_PID=$!
}

walk_end() {
  local deadline=$((SECONDS + WALK_TIMEOUT)) ended=0
  while kill -0 "$WALK_WINE_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
  if kill -0 "$WALK_WINE_PID" 2>/dev/null; then
    wineserver -k 2>/dev/null
  else
    ended=1
  fi
  wait "$WALK_WINE_PID" 2>/dev/null
  timeout "$WALK_TIMEOUT" wineserver -w 2>/dev/null
  [ $ended = 1 ]
}

walk_wizard() {
  local exe=$1 shots=$2 folder=$3 loc=${4:-${LC_ALL:-}}
  shift $(($# < 4 ? $# : 4))
  local tmp
  tmp=$(mktemp -d)
  mkdir -p "$shots"
  rm -f "$shots"/page[0-3].png

  WALK_LOCALE=$loc walk_start "$exe" "$@"
  local ok=0
  walk_walk_pages "$tmp" "$shots" "$folder" && ok=1
  # The program ends by itself after "Выход"; otherwise it is ended here.
  if ! walk_end; then
    [ $ok = 1 ] && walk_fail "the wizard did not end after \"Выход\""
    ok=0
  fi
  rm -rf "$tmp"
  [ $ok = 1 ]
}

# On page 1: Enter on the focused "Обзор..." opens the folder dialog (Esc
# closes it), Enter on the focused "<< Назад" goes back to page 0, and
# Enter there ("Дальше >>" has the focus again) comes back.
walk_focused_buttons() {
  local tmp=$1
  walk_click 150 $((WALK_PAGE_TOP + 98))
  walk_key Tab
  sleep 0.5
  walk_shot "$tmp/before.png" || return 1
  walk_key Return
  walk_wait_differs "$tmp/before.png" "$tmp/now.png" more 2000 ||
    { walk_fail "Enter on \"Обзор...\" opened no folder dialog"; return 1; }
  sleep 0.5
  walk_key Escape
  walk_wait_differs "$tmp/before.png" "$tmp/now.png" less 300 ||
    { walk_fail "Esc did not close the folder dialog"; return 1; }
  walk_key Tab Tab
  sleep 0.3
  walk_key Return
  walk_wait_page 03 "$tmp/now.png" || { walk_fail "Enter on \"<< Назад\" did not show page 0"; return 1; }
  walk_key Return
  walk_wait_page 1 "$tmp/now.png" || { walk_fail "Enter on page 0 did not show page 1 again"; return 1; }
}

walk_walk_pages() {
  local tmp=$1 shots=$2 folder=$3

  # Page 0: the window is there once the start-up has read the package.
  walk_wait_page 03 "$tmp/now.png" || return 1
  sleep 0.5  # the last repaint of the start-up
  walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/page0.png"
  # A click on the white band brings the keyboard to the window, then
  # Enter: "Дальше >>". A key sent before Wine has moved the focus is lost,
  # so both are repeated until page 1 shows.
  local try
  for try in 1 2 3 4 5; do
    walk_click 300 60
    sleep 0.3
    walk_key Return
    WALK_TIMEOUT=4 walk_wait_page 1 "$tmp/now.png" 2>/dev/null && break
  done
  [ "$(walk_page "$tmp/now.png")" = 1 ] || { walk_fail "page 1 did not show after Enter"; return 1; }
  if [ "${WALK_CHECK_KEYS:-0}" = 1 ]; then walk_focused_buttons "$tmp" || return 1; fi

  # Page 1: the folder typed over the proposed one (an empty one keeps
  # it), then Enter.
  walk_click 150 $((WALK_PAGE_TOP + 98))
  if [ -n "$folder" ]; then
    walk_key End shift+Home BackSpace
    timeout 20 xdotool type --delay 20 "$folder"
  fi
  sleep 0.3
  walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/page1.png"
  walk_key Return

  # Page 2 lasts as long as the install: every picture of it is kept, the
  # last one is the page's screenshot; then page 3, taken for it only when
  # two pictures in a row show it (a page just shown, its progress bar not
  # painted yet, looks like page 3 for a moment on a busy machine).
  local deadline=$((SECONDS + WALK_TIMEOUT)) page seen2=0 seen3=0
  while :; do
    kill -0 "$WALK_WINE_PID" 2>/dev/null || { walk_fail "the wizard ended during the install"; return 1; }
    [ $SECONDS -lt $deadline ] || { walk_fail "page 3 did not show within ${WALK_TIMEOUT}s"; return 1; }
    # The window stays where it is: no need to find it again.
    walk_shot "$tmp/now.png" || continue
    page=$(walk_page "$tmp/now.png")
    if [ "$page" = 2 ]; then
      walk_save "$tmp/now.png" "$shots/page2.png"
      seen2=1
      seen3=0
    elif [ "$page" = 03 ]; then
      seen3=$((seen3 + 1))
      [ $seen3 -ge 2 ] && break
      sleep 0.3
    fi
  done
  sleep 0.5
  walk_shot "$tmp/now.png" && walk_save "$tmp/now.png" "$shots/page3.png"

  # Page 3: Enter on "Выход".
  walk_key Return
  [ $seen2 = 1 ] || walk_fail "page 2 was never seen (no page2.png)"
}
