#!/bin/sh
# The main job: sets up and builds Quillbox, creates a fresh archive in
# demo-home/ (or the directory given), imports every bundled sample listed
# in samples/MANIFEST with its format, then lists the databases and the
# messages of each database by thread (mail by date).
#
# samples/MANIFEST lines:
#   FORMAT|PATH|MASKS[|OPTIONS]     import the directory samples/PATH with
#                                   --format FORMAT --mask MASKS and OPTIONS
#   #maildb NAME|ADDRESS|ALT,ALT    create this mail database; the lines after
#                                   it import with --mail-db NAME
#   # ...                           a comment
set -e
cd "$(dirname "$0")/.."
# QB_CLI names an already built quillbox-cli (setup and build are skipped).
if [ -z "$QB_CLI" ]; then
  sh scripts/setup.sh
  sh scripts/build.sh
fi
HOME_DIR="${1:-demo-home}"
CLI=${QB_CLI:-./build/quillbox-cli}
rm -rf "$HOME_DIR"
$CLI --home "$HOME_DIR" init

MAILDB=""
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    "#maildb "*)
      entry=${line#\#maildb }
      name=${entry%%|*}
      rest=${entry#*|}
      address=${rest%%|*}
      alts=""
      case "$rest" in *"|"*) alts=${rest#*|} ;; esac
      set -- maildb create "$name" --address "$address"
      oldifs=$IFS
      IFS=,
      for a in $alts; do
        [ -n "$a" ] && set -- "$@" --alt "$a"
      done
      IFS=$oldifs
      $CLI --home "$HOME_DIR" "$@"
      MAILDB=$name
      ;;
    "#"* | "")
      ;;
    *)
      format=${line%%|*}
      rest=${line#*|}
      path=${rest%%|*}
      rest=${rest#"$path"}
      rest=${rest#|}
      mask=${rest%%|*}
      options=""
      case "$rest" in *"|"*) options=${rest#*|} ;; esac
      echo
      echo "== $format: samples/$path"
      set -- --quiet --home "$HOME_DIR" import --format "$format" --dir "samples/$path"
      [ -n "$mask" ] && set -- "$@" --mask "$mask"
      [ -n "$MAILDB" ] && set -- "$@" --mail-db "$MAILDB"
      # Exit code 1 (nothing new in a sample) is no fault; a failure is shown
      # and the demo goes on with the next sample.
      # shellcheck disable=SC2086
      $CLI "$@" $options || { rc=$?; [ $rc -eq 1 ] || echo "!! the import of samples/$path failed (exit code $rc)"; }
      ;;
  esac
done < samples/MANIFEST

echo
echo "== Databases"
$CLI --home "$HOME_DIR" databases
$CLI --home "$HOME_DIR" databases | awk 'NR > 1 { print $1 }' | while read -r id; do
  kind=$($CLI --home "$HOME_DIR" databases | awk -v id="$id" '$1 == id { print $(NF-4) }')
  echo
  if [ "$kind" = "Mail" ]; then
    echo "== Mail of database $id, newest first"
    $CLI --home "$HOME_DIR" list "$id" --by date
  else
    echo "== Threads of database $id"
    $CLI --home "$HOME_DIR" list "$id" --by thread
  fi
done
