#!/usr/bin/env bash
# The real program, driven as a user drives it, on an X server without a window manager (run under
# xvfb-run), against the stand-in program:
#   1. paste an author's share link, collect, download all videos: every file byte for byte what the
#      stand-in serves; screenshots of the table while downloads run and when all are done;
#   2. another author with slow videos into another folder, close the window while six downloads run:
#      the program ends within 5 s and leaves no temporary and no short file.
# Nothing here can read the window's texts, so the end of a collection is seen on the screen: the
# button shows the same pixels as before the click once its caption is back at "提取视频".
#
# usage: real_program_run.sh KESTRANO KESTRANO_STANDIN X11_CLOSE_WINDOW
# E2E_SCREENSHOT_DIR: where to keep the screenshots (default: deleted with the run's folder).
set -euo pipefail

program=$1 standin=$2 close_window=$3
work=$(mktemp -d)
standin_pid= program_pid=
cleanup() {
  [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null || true
  [[ -n $standin_pid ]] && kill "$standin_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
shots=${E2E_SCREENSHOT_DIR:-}
[[ -n $shots ]] && mkdir -p "$shots"
window=
fail() {
  echo "FAIL: $*" >&2
  [[ -n $shots && -n $window ]] && import -window "$window" "$shots/e2e-failure.png"
  if [[ -s $work/program.err ]]; then echo "--- the program's stderr:" >&2; tail -n 60 "$work/program.err" >&2; fi
  exit 1
}
now_ms() { date +%s%3N; }

# poll SECONDS COMMAND...: runs COMMAND until it succeeds; fails after SECONDS.
poll() {
  local limit=$(( $(now_ms) + $1 * 1000 )); shift
  until "$@"; do
    (( $(now_ms) < limit )) || return 1
    sleep 0.05
  done
}

# --- the stand-in and the program ------------------------------------------------------------------
"$standin" --port 0 --idle-exit-seconds 300 > "$work/standin.out" &
standin_pid=$!
poll 10 test -s "$work/standin.out" || fail "the stand-in printed no port"
port=$(head -n1 "$work/standin.out")
origin="http://127.0.0.1:$port"

# A copy of the executable, so that its settings file (beside it) lands in the run's folder; a home
# of its own, whose desktop holds the default output folder.
mkdir -p "$work/app" "$work/home/.config" "$work/home/runtime"
chmod 700 "$work/home/runtime"
cp "$program" "$work/app/kestrano"
out1="$work/home/Desktop/全民小视频下载目录"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home/runtime" \
  KESTRANO_SERVICE_ORIGIN="$origin" "$work/app/kestrano" 2> "$work/program.err" &
program_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Kestrano$' | head -n1) || fail "no window"
eval "$(xdotool getwindowgeometry --shell "$window")"   # X, Y, WIDTH, HEIGHT
[[ $WIDTH == 867 && $HEIGHT == 573 ]] || fail "window of ${WIDTH}x$HEIGHT"

# Places in the client area, from the form.
click_at() { xdotool mousemove --sync $((X + $1)) $((Y + $2)) click "${3:-1}"; }
rest_mouse() { xdotool mousemove --sync $((X + 430)) $((Y + 4)); }   # over the bare background
shot() { import -window root -crop "$3x$4+$((X + $1))+$((Y + $2))" +repage "$5"; }
button_shot() { shot 710 70 136 24 "$1"; }
table_shot() { shot 16 142 834 412 "$1"; }
same() { compare -metric AE "$1" "$2" null: 2>/dev/null; }

type_into() {  # type_into X Y TEXT: replaces an edit box's text
  click_at "$1" "$2"
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 1 "$3"
}

link_for() {
  echo "https://quanmin.baidu.com/feedvideoui/api?pd=author_share_mvideo&ucenter=ext%3D%257B%2522metiaId%2522%253A%25221642318903520147%2522%252C%2522authorType%2522%253A%2522media%2522%252C%2522authorId%2522%253A%2522$1%2522%257D"
}

# Pastes the author's link, clicks the button, sees the caption change and waits until it is back.
# The authors given here answer each page after 300 ms, so the changed caption shows long enough.
collect() {
  type_into 300 48 "$(link_for "$1")"
  rest_mouse
  button_shot "$work/idle.png"
  click_at 778 82
  click_at 300 48    # the focus back in the link box, as for the picture above
  rest_mouse
  running() { button_shot "$work/now.png" && ! same "$work/idle.png" "$work/now.png"; }
  poll 15 running || fail "the caption did not change on the click"
  collected() { button_shot "$work/now.png" && same "$work/idle.png" "$work/now.png"; }
  poll 60 collected || fail "the collection of $1 did not end"
}

# Right-click in the list, then the menu's second entry, "下载全部视频", with the keyboard. The menu
# is a window of its own; the keys wait for it, and the pointer leaves it first, so that no entry is
# active when the keys start counting from the top.
visible_windows() { xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | wc -l; }
menu_open() { (( $(visible_windows) >= 2 )); }
menu_closed() { (( $(visible_windows) == 1 )); }
download_all() {
  click_at 300 175 3
  poll 15 menu_open || fail "the context menu did not open"
  rest_mouse
  xdotool key Down Down Return
  poll 15 menu_closed || fail "the context menu stayed open"
}

count() { find "$1" -maxdepth 1 -name "$2" 2>/dev/null | wc -l; }

# --- 1. collect and download everything ------------------------------------------------------------
videos=20 size=300000
collect "v${videos}_p8_fstall300_playsize$size.trickle2"
download_all
poll 30 test "$(count "$out1" '*.part')" -gt 0 || fail "no download started"
[[ -n $shots ]] && import -window "$window" "$shots/e2e-downloads-running.png"
all_done() { [[ $(count "$out1" '*.mp4') == "$videos" && $(count "$out1" '*.part') == 0 ]]; }
poll 120 all_done || fail "not every video was downloaded"
for k in $(seq 0 $((videos - 1))); do
  id=$(printf '1%09d' "$k")
  curl -sf "$origin/video/size$size/$id.mp4" -o "$work/expected.mp4"
  cmp -s "$work/expected.mp4" "$out1/作品$((k + 1)).mp4" || fail "作品$((k + 1)).mp4 differs from what was served"
done
# The statuses are written just after the files: the table is done when it stops changing.
table_shot "$work/t1.png"
settled() { table_shot "$work/t2.png"; same "$work/t1.png" "$work/t2.png" && return 0; mv "$work/t2.png" "$work/t1.png"; return 1; }
poll 10 settled || fail "the table kept changing"
[[ -n $shots ]] && import -window "$window" "$shots/e2e-downloads-done.png"
echo "collected and downloaded $videos videos, identical to what was served"

# --- 2. close the window while six downloads run -------------------------------------------------------
out2="$work/out2"
type_into 300 82 "$out2"
collect "v8_p8_fstall300_playsize5000000.trickle10"
download_all
poll 60 test "$(count "$out2" '*.part')" -ge 6 || fail "six downloads did not start"
closed_at=$(now_ms)
"$close_window" "$window" || fail "cannot send the close"
gone() { ! kill -0 "$program_pid" 2>/dev/null; }
poll 10 gone || fail "the program did not end"
ended_ms=$(( $(now_ms) - closed_at ))
wait "$program_pid" || fail "the program ended with status $?"
program_pid=
(( ended_ms < 5000 )) || fail "the program took $ended_ms ms to end"
[[ $(count "$out2" '*.part') == 0 ]] || fail "temporary files were left"
for f in "$out2"/*.mp4; do
  [[ -e $f ]] || continue
  [[ $(stat -c %s "$f") == 5000000 ]] || fail "$f is shorter than served"
done
grep -q "out2" "$work/app/配置文件.ini" || fail "the settings file does not hold the last folder"
echo "closed during 6 downloads: ended after $ended_ms ms, no temporary or short file"
