#include "tools/vorlane-gsk/Arguments.h"

#include <algorithm>
#include <array>

namespace vorlane::gsk {
namespace {

// The options a command takes, as bits.
enum Option : unsigned { NoOptions = 0, Json = 1, DryRun = 2, Search = 4 };

struct CommandInfo {
    const char* name;
    const char* synopsis;
    size_t minOperands;
    size_t maxOperands;
    unsigned options;
    const char* summary;
    const char* details;
};

constexpr size_t Unbounded = SIZE_MAX;

const std::array<CommandInfo, 7> Commands = {{
    {"show", "show [--json] FILE", 1, 1, Json, "list a gallery's entries, window geometry, folders and images",
     "Prints the entries of the gallery file FILE in order (index from 0 and path), the window geometry\n"
     "stored with it (left, top, width, height), InitialDir, ManagerName and the gallery's name as the\n"
     "window's caption shows it, and the number, size and depth of its images (the placeholder and one\n"
     "thumbnail per entry).\n"
     "\n"
     "  --json   print one JSON object instead, for scripts:\n"
     "           {\"file\", \"managerName\", \"name\", \"initialDir\", \"iniManagerName\", \"formLeft\",\n"
     "            \"formTop\", \"formWidth\", \"formHeight\", \"images\": {\"count\", \"width\", \"height\",\n"
     "            \"bitsPerPixel\"}, \"entries\": [path, ...]}\n"
     "\n"
     "Texts are shown as UTF-8; a gallery made on Windows (Shift_JIS) is converted for display."},
    {"add", "add FILE PICTURE...", 2, Unbounded, NoOptions,
     "add pictures with their thumbnails, creating FILE if needed",
     "Appends each PICTURE, in the order given, with its 32x32 thumbnail, as the window's add command does,\n"
     "then saves FILE. Pictures are stored by their absolute path. A path that does not exist is added\n"
     "all the same, with the placeholder as its thumbnail. InitialDir becomes the folder of the first\n"
     "PICTURE. \".bmp\" files (any letter case) are read as bitmaps; PNG, WebP, GIF and AVIF pictures\n"
     "are known by their content, whatever their name; everything else is read as JPEG.\n"
     "\n"
     "When FILE does not exist, a new gallery is created with the tool's placeholder picture and\n"
     "ManagerName set to FILE's absolute path. When a picture cannot be read, nothing is saved and FILE\n"
     "stays as it was. FILE must end in \".gsk\".\n"
     "\n"
     "On a terminal, standard error shows how many pictures are added so far."},
    {"remove", "remove FILE INDEX", 2, 2, NoOptions, "remove one entry and its thumbnail",
     "Removes entry INDEX (counted from 0, as `show` lists them) and its thumbnail, then saves FILE.\n"
     "The picture file itself is not touched."},
    {"move", "move FILE FROM TO", 3, 3, NoOptions, "move an entry as a drag in the window does",
     "Moves entry FROM so that it stands just before entry TO, as dropping it on TO in the window does,\n"
     "then saves FILE. Moving down, the entry ends at TO-1; moving up, at TO. Moving an entry onto itself\n"
     "or onto the next entry changes nothing. Both indexes count from 0. TO may also be the number of\n"
     "entries, the place after the last one: the entry then becomes the last (as two drags in the window\n"
     "do: onto the last entry, then the last entry back onto it)."},
    {"thumbs", "thumbs FILE OUT.png", 2, 2, NoOptions, "write all images side by side into a PNG",
     "Writes OUT.png: every image of the gallery side by side, 32x32 each, the placeholder first and then\n"
     "one thumbnail per entry in order. Transparent pixels of a mask are transparent in the PNG."},
    {"check", "check FILE", 1, 1, NoOptions, "read a gallery file strictly and report damage",
     "Reads FILE as the program does and checks that it is whole: both component streams, one image more\n"
     "than there are entries, 32x32 images, and nothing after the image list. Prints \"FILE: ok\" with the\n"
     "counts and exits 0; on damage prints the error (the program's own message) and exits 1."},
    {"relink", "relink FILE [--dry-run] FROM TO", 2, 3, DryRun | Search,
     "point entries at where their pictures are now",
     "   or: vorlane-gsk relink FILE [--dry-run] --search DIR\n"
     "\n"
     "With FROM and TO, every entry in the folder FROM or below it is rewritten to the same path relative\n"
     "to the folder TO. FROM may be a Windows folder (C:\\写真, \\\\server\\share\\写真), as galleries made on\n"
     "Windows hold them, or a folder of this system. Windows folders are compared as Windows compares\n"
     "them: ASCII letters in either case, \"\\\" and \"/\" alike; folders of this system exactly. Entries of\n"
     "a gallery made on Windows are read as Shift_JIS; the new paths are in this system's encoding.\n"
     "\n"
     "With --search DIR, every entry whose picture is not here is looked for by its file name in DIR and\n"
     "the folders below it (letter case aside for a Windows entry). An entry is rewritten only when\n"
     "exactly one file of that name is found; when several are, they are listed and the entry is kept.\n"
     "\n"
     "Each entry is reported on a line of its own: \"found\" when its picture is here (after the change),\n"
     "\"missing\" when it is not, \"ambiguous\" with the candidates below it. Entries that do not change\n"
     "keep their bytes, and every thumbnail is kept. FILE is replaced as a whole, and only when an entry\n"
     "changed. On a terminal, standard error shows how many files the search has seen so far.\n"
     "\n"
     "  --dry-run   report what would change and leave FILE as it is"},
}};

const CommandInfo* FindCommand(const std::string& name)
{
    const auto it =
        std::find_if(Commands.begin(), Commands.end(), [&](const CommandInfo& c) { return name == c.name; });
    return it == Commands.end() ? nullptr : &*it;
}

} // namespace

Invocation ParseArguments(const std::vector<std::string>& arguments)
{
    Invocation result;
    if (arguments.empty())
        throw UsageError("no command given");
    const std::string& first = arguments.front();
    if (first == "--help" || first == "-h") {
        result.action = Invocation::Action::Help;
        return result;
    }
    if (first == "--version") {
        result.action = Invocation::Action::Version;
        return result;
    }
    if (first == "help") {
        result.action = Invocation::Action::Help;
        if (arguments.size() > 1) {
            if (!FindCommand(arguments[1]))
                throw UsageError("unknown command '" + arguments[1] + "'");
            result.command = arguments[1];
        }
        return result;
    }
    const CommandInfo* info = FindCommand(first);
    if (!info)
        throw UsageError("unknown command '" + first + "'");
    result.command = first;

    bool optionsEnded = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            result.operands.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            result.action = Invocation::Action::Help;
            return result;
        } else if (argument == "--json" && (info->options & Json)) {
            result.json = true;
        } else if (argument == "--dry-run" && (info->options & DryRun)) {
            result.dryRun = true;
        } else if (argument == "--search" && (info->options & Search)) {
            result.search = true;
        } else {
            throw UsageError(std::string(info->name) + ": unknown option '" + argument + "'");
        }
    }
    if (result.operands.size() < info->minOperands)
        throw UsageError(std::string(info->name) + ": missing operand (usage: " + ToolName + " " + info->synopsis +
                         ")");
    if (result.operands.size() > info->maxOperands)
        throw UsageError(std::string(info->name) + ": too many operands (usage: " + ToolName + " " + info->synopsis +
                         ")");
    return result;
}

std::string HelpText(const std::string& command)
{
    if (const CommandInfo* info = FindCommand(command))
        return std::string("Usage: ") + ToolName + " " + info->synopsis + "\n" + info->summary + ".\n\n" +
               info->details + "\n";

    std::string text = std::string("Usage: ") + ToolName +
                       " COMMAND [OPTION...] FILE [ARGUMENT...]\n"
                       "Reads and edits Vorlane gallery files (.gsk) without the window.\n\nCommands:\n";
    for (const CommandInfo& c : Commands) {
        std::string line = std::string("  ") + c.synopsis;
        line.resize(std::max<size_t>(line.size() + 2, 26), ' ');
        text += line + c.summary + "\n";
    }
    text += std::string("\nRun '") + ToolName + " COMMAND --help' (or '" + ToolName +
            " help COMMAND') for one command.\n"
            "Exit status: 0 on success, 1 when the command fails (errors go to standard error), 2 on wrong usage.\n";
    return text;
}

} // namespace vorlane::gsk
