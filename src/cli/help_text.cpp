#include "cli/help_text.h"

namespace tarvix::cli {
namespace {

constexpr std::string_view kProgramHelp =
    R"(Usage: tarvix-cli COMMAND [OPTION]... ARCHIVE [PATTERN]...
  or:  tarvix-cli create|add [OPTION]... ARCHIVE PATH...
  or:  tarvix-cli --help | --version
List, extract and check the files of a Fallout 1 or Fallout 2 DAT archive, and
write Fallout 2 ones.

Commands:
  list      print the paths of the entries that the PATTERNs select
  extract   write the selected entries below a folder, unpacked and checked
  check     check every entry of the archive
  info      print what the archive holds
  which     print which source's copy of a path the game reads
  create    write a new archive of files and folders
  add       add files to an archive, replacing entries of the same path
  delete    remove the entries that the PATTERNs select

Options:
  -h, --help     display this help and exit
      --version  output version information and exit

'tarvix-cli COMMAND --help' describes one command and its options.

In place of ARCHIVE, list, extract, check, info and which take a stack of
sources, read as the game reads them: the first source that has a path wins,
paths compared ignoring the case of A-Z; every other argument is a PATTERN.
  -L, --layer SOURCE  an archive or a folder; repeat it, the first one wins
      --game DIR      the game's own stack from fallout2.cfg (or fallout.cfg)
                        in DIR: patch000.dat, critter patches, critter.dat,
                        master patches, master.dat

A PATTERN selects entries by their internal path, ignoring case: '*' stands for
any run of characters, '?' for one, '/' for the '\' between folders. A PATTERN
without wildcards names one entry, or one folder and everything below it.
Without a PATTERN, every entry is selected; a PATTERN that selects nothing is
an error.

Exit status: 0 when everything asked for was done, 1 when some entries failed
or 'check' found problems, 2 for a wrong command line or a refused archive,
130 after Ctrl+C (143 after SIGTERM, 129 after SIGHUP).
)";

constexpr std::string_view kCreateHelp =
    R"(Usage: tarvix-cli create [OPTION]... ARCHIVE PATH...
Write a new archive of the files at the PATHs (a folder stands for every file
below it), each under its path relative to DIR, with '\' between folders and
the letters' case kept. The entries are sorted as the game looks them up
(ignoring the case of A-Z); two paths that differ only in that case, or a
path with an empty, '.' or '..' component, a control character, a backslash
or a character Windows-1252 cannot hold, are refused and nothing is written.
Symbolic links are never followed: each is named and skipped (exit status 1).
The archive is written beside ARCHIVE and renamed over it when complete.

  -0 .. -9     zlib level (default 9, as the game's archives: header 78 DA);
                 -0 stores every file; a file that packing does not make
                 smaller is stored
  -C DIR       take the PATHs in DIR and name entries relative to it
      --force  replace ARCHIVE when it exists (otherwise: exit 2)
  -q           show no progress line
  -h, --help   display this help and exit
)";

constexpr std::string_view kAddHelp = R"(Usage: tarvix-cli add [OPTION]... ARCHIVE PATH...
Add the files at the PATHs to ARCHIVE as 'create' names them, replacing every
entry the game would take for the same path (ignoring the case of A-Z);
create ARCHIVE when it does not exist. The entries kept are copied as stored,
never unpacked. The new archive is written beside ARCHIVE and renamed over it
when complete, so ARCHIVE is never half-changed.

  -0 .. -9     zlib level (default 9); -0 stores every file
  -C DIR       take the PATHs in DIR and name entries relative to it
  -q           show no progress line
  -h, --help   display this help and exit
)";

constexpr std::string_view kDeleteHelp =
    R"(Usage: tarvix-cli delete [OPTION]... ARCHIVE PATTERN...
Remove every entry that a PATTERN selects (as for 'list'). When a PATTERN
selects nothing, ARCHIVE is left as it was and the exit status is 1. The
entries kept are copied as stored; the new archive is written beside ARCHIVE
and renamed over it when complete.

  -q           show no progress line
  -h, --help   display this help and exit
)";

constexpr std::string_view kListHelp = R"(Usage: tarvix-cli list [OPTION]... ARCHIVE [PATTERN]...
Print the internal path of every entry that a PATTERN selects (every entry
without one), one a line, in directory order. Control characters in names are
printed as '?'; --json gives the exact names.

  -l, --long   print the packing (stored, zlib or type N), the real size, the
                 packed size and the offset before each path
      --json   print one JSON array of objects with path, type, real_size,
                 packed_size and offset (and path_bytes_hex for a name with
                 bytes that mean nothing in Windows-1252)
  -L, --layer SOURCE  read a stack of sources instead of ARCHIVE (repeatable,
                        the first wins); see 'tarvix-cli --help'
      --game DIR      read the game's own stack in DIR instead of ARCHIVE
  -h, --help   display this help and exit

Over a stack, the effective entries are listed in the game's order (paths
compared byte by byte after folding A-Z to a-z); --long adds the winning
source and the sources it hides ('-' for none) before the path, --json adds
"source" and "shadows".
)";

constexpr std::string_view kExtractHelp =
    R"(Usage: tarvix-cli extract [OPTION]... ARCHIVE [PATTERN]...
Write every entry that a PATTERN selects (every entry without one) below DIR, at
its full internal path. Type 1 entries are unpacked and must give exactly their
real size with a valid Adler-32; Type 0 entries are written as stored. Fallout 1
LZSS entries are decoded and must give exactly their size. Existing files are
replaced. Each entry that fails is named on standard error, and so is each
entry whose file a later entry of the same run replaced.

  -C DIR, --directory=DIR
               write below DIR, which must exist, instead of the current folder
      --flat   make no folders: every file straight into DIR, a later entry
                 replacing an earlier one of the same name
      --raw    write the stored bytes without unpacking; a zlib stream that
                 begins 78 DA becomes NAME.gz (without the gzip trailer)
  -v, --verbose
               print the path below DIR of each file written
  -q           show no progress line
  -L, --layer SOURCE  read a stack of sources instead of ARCHIVE (repeatable,
                        the first wins); see 'tarvix-cli --help'
      --game DIR      read the game's own stack in DIR instead of ARCHIVE
  -h, --help   display this help and exit

Over a stack, each effective entry is written from the source that wins it.
)";

constexpr std::string_view kCheckHelp = R"(Usage: tarvix-cli check [OPTION]... ARCHIVE
Check every entry: its stored bytes lie within the file, its Type is known (0
or 1), a Type 1 entry unpacks to exactly its real size with a valid Adler-32
and ends exactly at its packed size, a Type 0 entry's sizes agree, and its name
could be extracted safely. Prints one 'PATH: PROBLEM' line per problem, then
'PATH: note: ...' lines, which are not problems: entries whose stored bytes lie
outside the data area (in the entry list or the trailer, where extraction still
reads them) or overlap another entry's, names with a component longer than the
255 bytes (UTF-8) a Linux file name may have, entries out of the order the game
looks them up in, and paths the game cannot tell apart (equal but for the case
of A-Z); then the number of entries and problems (and of notes, if any).

  -q           show no progress line
  -L, --layer SOURCE  read a stack of sources instead of ARCHIVE (repeatable,
                        the first wins); see 'tarvix-cli --help'
      --game DIR      read the game's own stack in DIR instead of ARCHIVE
  -h, --help   display this help and exit

Over a stack, the effective entries are checked, each in the source that wins
it (a damaged copy that is hidden does not count), and each problem line
begins with that source: 'SOURCE: PATH: PROBLEM'.
)";

constexpr std::string_view kInfoHelp = R"(Usage: tarvix-cli info [OPTION]... ARCHIVE
Print what the archive holds: entries, folders, the deepest folder level, the
stored and real byte totals, the numbers of packed, stored and other-type
entries, and the TreeSize and DataSize of its trailer.

      --json   print one JSON object instead
  -L, --layer SOURCE  read a stack of sources instead of ARCHIVE (repeatable,
                        the first wins); see 'tarvix-cli --help'
      --game DIR      read the game's own stack in DIR instead of ARCHIVE
  -h, --help   display this help and exit

Over a stack: each source in order with its number of entries, then the
number of effective entries and of shadowed ones (copies a winner hides).
)";

constexpr std::string_view kWhichHelp =
    R"(Usage: tarvix-cli which [OPTION]... (ARCHIVE | -L SOURCE... | --game DIR) PATH...
For each PATH ('/' or '\' between folders, any case), print the source whose
entry the game reads and that entry's path, 'SOURCE: PATH', then, indented by
two spaces, each source whose copy it hides, in the stack's order. A PATH that
no source has is named on standard error, and the exit status is 1.

  -L, --layer SOURCE  read a stack of sources instead of ARCHIVE (repeatable,
                        the first wins); see 'tarvix-cli --help'
      --game DIR      read the game's own stack in DIR instead of ARCHIVE
  -h, --help   display this help and exit
)";

}  // namespace

std::string_view HelpText(std::optional<Command> command) {
    if (!command) return kProgramHelp;
    switch (*command) {
        case Command::List:
            return kListHelp;
        case Command::Extract:
            return kExtractHelp;
        case Command::Check:
            return kCheckHelp;
        case Command::Info:
            return kInfoHelp;
        case Command::Which:
            return kWhichHelp;
        case Command::Create:
            return kCreateHelp;
        case Command::Add:
            return kAddHelp;
        case Command::Delete:
            return kDeleteHelp;
    }
    return kProgramHelp;
}

}  // namespace tarvix::cli
