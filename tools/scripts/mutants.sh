#!/usr/bin/env bash
# Mutation check: plants each small fault listed below, one at a time, in a scratch copy
# of the sources, builds the unit tests there and runs them. A fault the tests let
# through means a test does not catch what it claims; every one must be caught.
#
#   tools/scripts/mutants.sh [SCRATCH-DIR]    (default build-mutants/; reused when run again)
#
# Takes a few minutes: the first build is a full one, then each fault rebuilds one file.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tools/scripts/deps.sh
vl_install_missing

scratch=$(mkdir -p "${1:-build-mutants}" && cd "${1:-build-mutants}" && pwd)
copy=$scratch/src
build=$scratch/build

# One fault a line: file | text found exactly once | what it becomes | the fault.
# "\n" in the texts stands for a line end.
read -r -d '' MUTANTS <<'EOF' || true
main_window/life_cycle.cpp|    Timer1.setEnabled(false);\n|| Form_Unload leaves the watchdog running
main_window/life_cycle.cpp|    files.closeAll();\n|| the files are not closed at exit
main_window/life_cycle.cpp|SettingsChanged = asked && opened ? -1 : 0;|SettingsChanged = -1;| start-up leaves the settings marked for writing
main_window/life_cycle.cpp|SettingsChanged = asked && opened ? -1 : 0;|SettingsChanged = 0;| the first start forgets the port chosen
main_window/life_cycle.cpp|SettingsChanged = asked && opened ? -1 : 0;|SettingsChanged = asked ? -1 : 0;| a first start keeps a port that would not open
main_window/life_cycle.cpp|!failedFirst && tryOpenCommPort();|tryOpenCommPort();| a first start reports a port that will not open twice
main_window/life_cycle.cpp|asked && !MSComm1.portOpen();|asked;| a first start opens the link once
main_window/life_cycle.cpp|(!starting_|(true| a first start ended in its dialog keeps a port never opened
main_window/vorbix_loader.cpp|c->setEnabled(!busy);|c->setEnabled(!busy && c != &FILE_SAVE);| "file save" stays disabled after a download
main_window/vorbix_loader.cpp|    MSComm1.output("\r");\n|| opening the link sends no CR
download/download.cpp|step([&] { Text1.setSelText(listed); });|Text1.setSelText(listed);| a listing error escapes the receive step
download/download.cpp|case platform::comm::EvRxParity: RxError = -1; break;|case platform::comm::EvRxParity: break;| line errors do not mark the line
download/download.cpp|    if (TimeoutTicks != 0) return;|    if (TimeoutTicks > 1) return;| the watchdog ends one tick early
download/download.cpp|if (RxLine.size() < RxLineLimit) RxLine.append(in, 0, RxLineLimit - RxLine.size());|RxLine += in;| an endless line is kept whole
download/frame_check.cpp|if ((sum & 255u) != k)|if ((sum & 127u) != k)| the checksum ignores the top bit
platform/posix/file_io.cpp|    syncFolderOf(out.target);\n|| the folder is not synced after a save
platform/posix/file_io.cpp|            if (errno == EINTR) continue;\n            throw fromErrno(errno, what);|            return;| a journal that cannot grow goes untold
platform/posix/file_io.cpp|links == Links::Refuse ? O_NOFOLLOW : 0;|0;| the journal is read through a link
platform/posix/file_io.cpp|    if (links == Links::Follow) {|    if (true) {| the journal is written through a link
platform/file_io.cpp|        if (size > limit)|        if (false)| a journal of any size is read whole
platform/file_io.cpp|} else if (sizeOf(h, path) > 0) {|} else if (false) {| an ended program's journal waits while a name is free
platform/posix/file_io.cpp|errno != EWOULDBLOCK;|true;| a second program takes the journal another one holds
platform/posix/file_io.cpp|LOCK_NB);  // in use|LOCK_UN);  // in use| a start removes the temporary file of a save under way
main_window/journal.cpp|keepAside(".unread", "that could not be read",\n                  file_->name() + ": not of a format this version knows");|file_->remove();| a journal of another format is deleted
main_window/journal.cpp|    if (crc32(piece) != *crc) return std::nullopt;\n|| an entry that fails its check is restored
main_window/journal.cpp|        keepAside(".damaged", "that is damaged", damage);\n|| a damaged journal is dropped untold
main_window/journal.cpp|    file_ = nullptr;\n}|}| the journal is changed after the shut-down
main_window/journal.cpp|    if (!unsynced_ |    if (!pending_ | the end record is answered while a sync has not returned
main_window/vorbix_loader.cpp|    if (unloading_) return;\n|| the port opens again after the shut-down
main_window/life_cycle.cpp|journal.end(by == EndedBy::System);|journal.end(false);| a signal or a log-out deletes the unsaved records
main_window/life_cycle.cpp|    if (unloading_) return;\n    unloading_ = true;|    unloading_ = true;| a signal while the exit box is open starts the shut-down over
main_window/life_cycle.cpp|end normally.\n            msgBox(e.description(), platform::Icon::Critical);|end normally.| a failed PORT.DAT write at exit goes untold
platform/fatal.cpp|    std::_Exit(EXIT_FAILURE);|    std::_Exit(EXIT_SUCCESS);| an untrapped error ends the process as a success
platform/fatal.cpp|    if (g_failing) return;\n|| handlers run while the error report is open
platform/posix/line_decoder.cpp|errors.push_back(data.size());|errors.push_back(data.size() + 1);| a line error lands one byte late
port_settings/port_setei.cpp|port < 10 ?|port <= 10 ?| a wrong PORT caption ("com 10")
port_settings/settings_format.cpp|    if (v > INT16_MAX) return std::nullopt;\n|| a port number beyond 16 bits is taken
port_settings/settings_file.cpp|SettingsFile, platform::io::Links::Refuse);|SettingsFile);| PORT.DAT is written through a link
port_settings/settings_file.cpp|    BPS_ = "57600";|    BPS_ = "9600";| the wrong default speed
record_files/file_commands.cpp|    SettingsChanged = -1;\n|| "file save" does not mark the settings for writing
record_files/file_form.cpp|        main.Text1.setText("");\n|| a load adds to the records instead of replacing them
record_files/file_form.cpp|        Drive1.setDrive(main.fileSystem.homePlace());\n|| the file dialog stays on a place that fails
record_files/file_form.cpp|        platform::logLine("file load: " + e.description());\n|| a failed load loses its reason
EOF

rm -rf "$copy"
mkdir -p "$copy"
git ls-files -z | xargs -0 cp --parents -t "$copy"
cmake -S "$copy" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVL_GUI=OFF -DVL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target unit_tests >/dev/null
"$build/unit_tests" --gtest_brief=1 >/dev/null 2>&1 || { echo "the unit tests fail without any fault" >&2; exit 1; }

# plant FILE FROM TO: replaces the one occurrence of FROM; fails when there is not exactly one.
plant() {
  FROM=$2 TO=$3 perl -0pi -e '
    BEGIN { ($from, $to) = map { s/\\n/\n/gr } @ENV{qw(FROM TO)} }
    $n = () = /\Q$from\E/g;
    die "found $n times\n" if $n != 1;
    s/\Q$from\E/$to/;' "$copy/$1"
}

total=0 caught=0 survivors=()
while IFS='|' read -r file from to what; do
  [ -n "$file" ] || continue
  total=$((total + 1))
  cp "$file" "$copy/$file"
  if ! plant "$file" "$from" "$to"; then
    echo "mutant $total ($file): its text is not in the source once; update the list" >&2
    exit 1
  fi
  if ! cmake --build "$build" -j"$(nproc)" --target unit_tests >/dev/null 2>&1; then
    echo "mutant $total ($file):$what: does not build; update the list" >&2
    exit 1
  fi
  if (timeout 300 "$build/unit_tests" --gtest_brief=1) >/dev/null 2>&1; then
    survivors+=("$file:$what")
  else
    caught=$((caught + 1))
  fi
  cp "$file" "$copy/$file"
done <<<"$MUTANTS"
cmake --build "$build" -j"$(nproc)" --target unit_tests >/dev/null

echo "mutants caught by the unit tests: $caught of $total"
for s in "${survivors[@]}"; do echo "  not caught: $s"; done
[ "$caught" = "$total" ]
