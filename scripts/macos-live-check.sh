#!/usr/bin/env bash
# The helper against a real application on a Mac: TextEdit with a known text, a capture of its
# selection and of the copy probe, an insert from behind another application, a 1 ms deadline and
# a SIGTERM; the person's own clipboard is saved first and put back at the end, whatever happens.
# Needs Accessibility and event posting for the terminal (or /bin/bash) that runs it.
#
#   scripts/macos-live-check.sh [path/to/larkspin-helper]
#
# Prints "N passed, N failed" and exits non-zero when a check failed.
set -u

helper=${1:-build/larkspin-helper}
if [[ "$(uname -s)" != Darwin ]]; then
  echo "macos-live-check: this runs on macOS only" >&2
  exit 2
fi
if [[ ! -x "$helper" ]]; then
  echo "macos-live-check: no helper at $helper" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/larkspin-live.XXXXXX")
here=$(cd "$(dirname "$0")" && pwd)
if ! clang -fobjc-arc -Wall -Wextra -framework AppKit -o "$work/pasteboard-watch" \
  "$here/macos-pasteboard-watch.m"; then
  echo "macos-live-check: the pasteboard watcher does not build" >&2
  rm -rf "$work"
  exit 2
fi
watcher=
passed=0
failed=0

check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
  fi
}

# The general pasteboard, every item and type byte for byte, to a folder and back (JXA over
# AppKit: pbcopy and pbpaste know only text).
pasteboard() {
  osascript -l JavaScript - "$@" <<'JXA'
ObjC.import('AppKit');
ObjC.import('Foundation');
function run(argv) {
  const [what, dir] = argv;
  const pb = $.NSPasteboard.generalPasteboard;
  const fm = $.NSFileManager.defaultManager;
  if (what === 'save') {
    fm.createDirectoryAtPathWithIntermediateDirectoriesAttributesError(dir, true, $(), null);
    const manifest = [];
    const items = pb.pasteboardItems;
    for (let i = 0; i < (items.isNil() ? 0 : items.count); i++) {
      const item = items.objectAtIndex(i);
      const types = [];
      for (let t = 0; t < item.types.count; t++) {
        const type = item.types.objectAtIndex(t).js;
        const data = item.dataForType(type);
        if (!data.isNil()) {
          data.writeToFileAtomically(`${dir}/${i}-${t}`, true);
          types.push([type, `${i}-${t}`]);
        }
      }
      manifest.push(types);
    }
    $(JSON.stringify(manifest)).writeToFileAtomicallyEncodingError(
        `${dir}/manifest.json`, true, $.NSUTF8StringEncoding, null);
    return '';
  }
  if (what === 'restore') {
    const manifest = JSON.parse($.NSString.stringWithContentsOfFileEncodingError(
        `${dir}/manifest.json`, $.NSUTF8StringEncoding, null).js);
    pb.clearContents;
    const items = $.NSMutableArray.array;
    for (const types of manifest) {
      const item = $.NSPasteboardItem.alloc.init;
      for (const [type, file] of types) {
        item.setDataForType($.NSData.dataWithContentsOfFile(`${dir}/${file}`), type);
      }
      items.addObject(item);
    }
    if (items.count > 0) {
      pb.writeObjects(items);
    }
    return '';
  }
  if (what === 'types') {
    const seen = [];
    const items = pb.pasteboardItems;
    for (let i = 0; i < (items.isNil() ? 0 : items.count); i++) {
      const item = items.objectAtIndex(i);
      for (let t = 0; t < item.types.count; t++) {
        seen.push(item.types.objectAtIndex(t).js);
      }
    }
    return seen.join('\n');
  }
  if (what === 'set') {
    pb.clearContents;
    const item = $.NSPasteboardItem.alloc.init;
    item.setStringForType(dir, 'public.utf8-plain-text');
    item.setStringForType(`<b>${dir}</b>`, 'public.html');
    pb.writeObjects($.NSArray.arrayWithObject(item));
    return '';
  }
  return 'unknown: ' + what;
}
JXA
}

# Starts the pasteboard watcher (one process sampling every 2 ms: the markers are on the
# pasteboard only for the tens of milliseconds of a paste) and returns once it samples.
start_watch() {
  local seconds=$1 out=$2
  rm -f "$out"
  "$work/pasteboard-watch" "$seconds" "$out" &
  watcher=$!
  for _ in $(seq 1 100); do
    [[ -s "$out" ]] && return 0
    sleep 0.05
  done
  return 1
}

frontmost() {
  osascript -e 'tell application "System Events" to name of first process whose frontmost is true' 2>/dev/null
}

same_pasteboard() {
  local before=$1
  rm -rf "$work/now"
  pasteboard save "$work/now"
  diff -r "$before" "$work/now" >/dev/null
}

reply_has() {
  local reply=$1 text=$2
  [[ "$reply" == *"$text"* ]]
}

no_markers() {
  ! pasteboard types | grep -q '^org\.nspasteboard\.'
}

answered_terminated() {
  local status=$1 reply=$2
  [[ $status -eq 0 ]] && reply_has "$reply" '"detail":"terminated"'
}

# --- setup ------------------------------------------------------------------------------------

pasteboard save "$work/person"
trap '[[ -n "$watcher" ]] && kill "$watcher" 2>/dev/null; pasteboard restore "$work/person"; osascript -e "tell application \"TextEdit\" to quit saving no" >/dev/null 2>&1; rm -rf "$work"' EXIT

pasteboard set "live check clipboard"
pasteboard save "$work/known"

printf 'alpha bravo charlie\n' >"$work/live.txt"
open -a TextEdit "$work/live.txt"
for _ in $(seq 1 50); do
  front=$(frontmost)
  [[ "$front" == TextEdit ]] && break
  sleep 0.2
done
textedit=$(pgrep -x TextEdit | head -n 1)
check "TextEdit is in front" test "${front:-}" = TextEdit

# The caret at the start, then the first word selected.
osascript -e 'tell application "System Events" to key code 126 using {command down}'
osascript -e 'tell application "System Events" to key code 124 using {option down, shift down}'
sleep 0.3

# --- capture ----------------------------------------------------------------------------------

reply=$(printf '{"probe": false}' | "$helper" capture)
check "capture reads the selection through accessibility" \
  reply_has "$reply" '"input":{"kind":"selection","text":"alpha","truncated":false,"via":"ax"}'
check "capture names TextEdit" reply_has "$reply" '"bundleId":"com.apple.TextEdit"'

# No selection: the probe presses Command-C, nothing is copied, the pasteboard stays.
osascript -e 'tell application "System Events" to key code 124'
sleep 0.2
reply=$(printf '{"probeTimeoutMs": 300}' | "$helper" capture)
check "the copy probe runs when accessibility reports no selection" \
  reply_has "$reply" '"probe":{"changed":false,"ran":true,"restored":false}'
check "the copy probe leaves the pasteboard as it was" same_pasteboard "$work/known"

# --- insert from behind -----------------------------------------------------------------------

osascript -e 'tell application "Finder" to activate'
sleep 0.5
front_before=$(frontmost)
check "the pasteboard watcher samples" start_watch 6 "$work/types"
reply=$(printf '{"pid": %s, "text": " delta", "into": {"kind": "focus", "mode": "afterSelection"}}' \
  "$textedit" | "$helper" insert)
front_after=$(frontmost)
wait "$watcher"
watcher=
activated=$(sed -n 's/.*"activated":\([a-z]*\).*/\1/p' <<<"$reply")
echo "     insert reply: $reply"
echo "     activation: reply activated=${activated:-absent}; in front before: ${front_before:-?}," \
  "after: ${front_after:-?}"
sed 's/^/     watch: /' "$work/types"
check "Finder was in front before the insert" test "$front_before" = Finder
check "insert answers activated:true" test "$activated" = true
check "TextEdit came to the front" test "$front_after" = TextEdit
check "insert answers ok, verified and restored" \
  reply_has "$reply" '{"activated":true,"ok":true,"restored":true,"verified":"yes"}'
check "the pasteboard comes back byte for byte" same_pasteboard "$work/known"
check "the markers were on the pasteboard during the paste" \
  grep -qx 'org.nspasteboard.TransientType' "$work/types"
check "both markers: AutoGeneratedType too" \
  grep -qx 'org.nspasteboard.AutoGeneratedType' "$work/types"
check "no marker is left afterwards" no_markers
reply=$(printf '{"probe": false}' | "$helper" capture)
check "TextEdit's text has the insert (read through accessibility)" \
  reply_has "$reply" 'alpha delta bravo'

# --- deadline and termination -----------------------------------------------------------------

reply=$(printf '{"pid": %s, "text": "x", "deadlineMs": 1, "into": {"kind": "focus", "mode": "afterSelection"}}' \
  "$textedit" | "$helper" insert)
check "a 1 ms deadline answers timedOut" reply_has "$reply" '"error":"timedOut"'
check "after the deadline the pasteboard is intact" same_pasteboard "$work/known"

printf '{"pid": %s, "text": "y", "verifyTimeoutMs": 5000, "into": {"kind": "focus", "mode": "afterSelection"}}' \
  "$textedit" >"$work/slow.json"
"$helper" insert <"$work/slow.json" >"$work/terminated.out" &
insert=$!
sleep 0.15
kill -TERM "$insert"
wait "$insert"
status=$?
reply=$(cat "$work/terminated.out")
check "SIGTERM answers timedOut with exit status 0" answered_terminated "$status" "$reply"
check "after SIGTERM the pasteboard is intact" same_pasteboard "$work/known"

echo "$passed passed, $failed failed"
((failed == 0))
