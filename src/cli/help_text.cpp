#include "cli/help_text.h"

namespace tarvix::cli {
namespace {

constexpr std::string_view kProgramHelp =
    R"(Usage: tarvix-cli COMMAND [OPTION]... ARCHIVE [PATTERN]...
  or:  tarvix-cli --help | --version
List, extract and check the files of a Fallout 1 or Fallout 2 DAT archive.

Commands:
  list      print the paths of the entries that the PATTERNs select
  extract   write the selected entries below a folder, unpacked and checked
  check     check every entry of the archive
  info      print what the archive holds

Options:
  -h, --help     display this help and exit
      --version  output version information and exit

'tarvix-cli COMMAND --help' describes one command and its options.

A PATTERN selects entries by their internal path, ignoring case: '*' stands for
any run of characters, '?' for one, '/' for the '\' between folders. A PATTERN
without wildcards names one entry, or one folder and everything below it.
Without a PATTERN, every entry is selected; a PATTERN that selects nothing is
an error.

Exit status: 0 when everything asked for was done, 1 when some entries failed
or 'check' found problems, 2 for a wrong command line or a refused archive,
130 after Ctrl+C.
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
  -h, --help   display this help and exit
)";

constexpr std::string_view kExtractHelp =
    R"(Usage: tarvix-cli extract [OPTION]... ARCHIVE [PATTERN]...
Write every entry that a PATTERN selects (every entry without one) below DIR, at
its full internal path. Type 1 entries are unpacked and must give exactly their
real size with a valid Adler-32; Type 0 entries are written as stored. Fallout 1
LZSS entries are decoded and must give exactly their size. Existing
files are replaced. Each entry that fails is named on standard error.

  -C DIR       write below DIR, which must exist, instead of the current folder
      --flat   make no folders: every file straight into DIR, a later entry
                 replacing an earlier one of the same name
      --raw    write the stored bytes without unpacking; a zlib stream that
                 begins 78 DA becomes NAME.gz (without the gzip trailer)
  -q           show no progress line
  -h, --help   display this help and exit
)";

constexpr std::string_view kCheckHelp = R"(Usage: tarvix-cli check [OPTION]... ARCHIVE
Check every entry: its stored bytes lie in the archive's data area (before the
entry list), its Type is known (0 or 1), a Type 1 entry unpacks to exactly its
real size with a valid Adler-32 and ends exactly at its packed size, a Type 0
entry's sizes agree, and its name could be extracted safely. Prints one
'PATH: PROBLEM' line per problem, then the number of entries and problems.

  -q           show no progress line
  -h, --help   display this help and exit
)";

constexpr std::string_view kInfoHelp = R"(Usage: tarvix-cli info [OPTION]... ARCHIVE
Print what the archive holds: entries, folders, the deepest folder level, the
stored and real byte totals, the numbers of packed, stored and other-type
entries, and the TreeSize and DataSize of its trailer.

      --json   print one JSON object instead
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
    }
    return kProgramHelp;
}

}  // namespace tarvix::cli
